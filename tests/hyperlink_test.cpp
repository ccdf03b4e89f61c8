// The credit link and the window utilities, on real windows under Wine's null driver.
#include <cstdlib>
#include <string>

#include "ui_fixture.h"

#include <shellapi.h>

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

struct ShellCall {
    int count = 0;
    HWND owner = reinterpret_cast<HWND>(1);
    std::wstring verb;
    std::wstring file;
    bool parameters = true;
    bool directory = true;
    int show = -1;
};
ShellCall LastShellCall;

HINSTANCE WINAPI
RecordShellCall(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) {
    ++LastShellCall.count;
    LastShellCall.owner = owner;
    LastShellCall.verb = verb ? verb : L"";
    LastShellCall.file = file ? file : L"";
    LastShellCall.parameters = parameters != nullptr;
    LastShellCall.directory = directory != nullptr;
    LastShellCall.show = show;
    return reinterpret_cast<HINSTANCE>(33);
}

class HyperlinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        parent = MakeTestWindow(WS_POPUP | WS_VISIBLE, 0, 0, 400, 200);
        ASSERT_TRUE(parent);
        LastShellCall = ShellCall();
        HyperlinkShellOpen = RecordShellCall;
    }
    void TearDown() override {
        HyperlinkShellOpen = ShellExecuteW;
        DestroyWindow(parent);
    }
    RECT rectInParent(HWND child) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    HWND parent = nullptr;
};

SIZE ExtentOf(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, kCreditText, lstrlenW(kCreditText), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size;
}

// One past the last column of ink the credit text leaves, drawn without underline at x 0.
int InkRightOf(HFONT font) {
    LOGFONTW face = {};
    GetObjectW(font, sizeof(face), &face);
    face.lfUnderline = 0;
    HFONT plain = CreateFontIndirectW(&face);
    Canvas canvas(600, 80, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(canvas.dc(), plain);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(255, 255, 255));
    TextOutW(canvas.dc(), 40, 10, kCreditText, lstrlenW(kCreditText));
    SelectObject(canvas.dc(), old);
    DeleteObject(plain);
    int right = 0;
    for (int x = 0; x < 600; ++x)
        for (int y = 0; y < 80; ++y)
            if (canvas.pixel(x, y) != 0)
                right = x - 40 + 1;
    return right;
}

TEST_F(HyperlinkTest, ZeroSizeMeansTheCreditTextExtentInTheFontItIsGiven) {
    HFONT big = CreateFaceFont(L"Tahoma", -24, FW_BOLD, 0, 1);
    ASSERT_TRUE(big);
    HFONT defaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    struct Case {
        HFONT given;
        HFONT used;
    } cases[] = {{nullptr, defaultFont}, {big, big}};
    for (const Case& c : cases) {
        HWND link = CreateHyperlink(0, 0, parent, 0, 0, c.given);
        ASSERT_TRUE(link);
        RECT rect = rectInParent(link);
        SIZE extent = ExtentOf(c.used);
        EXPECT_GT(extent.cx, 0);
        // As wide as the text's ink reaches (the advances may end a little earlier or later), as high
        // as its extent.
        EXPECT_EQ(rect.right - rect.left, InkRightOf(c.used));
        EXPECT_NEAR(rect.right - rect.left, extent.cx, extent.cx / 8);
        EXPECT_EQ(rect.bottom - rect.top, extent.cy);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), c.used);
        wchar_t text[64] = {};
        GetWindowTextW(link, text, 64);
        EXPECT_STREQ(text, L"Powered by Tarnwell");
        EXPECT_EQ(GetWindowLongW(link, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_TYPEMASK),
                  WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_LEFTNOWORDWRAP);
        DestroyWindow(link);
    }
    DeleteObject(big);
}

TEST_F(HyperlinkTest, NegativeCoordinatesCountFromTheRightAndBottomEdges) {
    RECT client;
    GetClientRect(parent, &client);
    HWND right = CreateHyperlink(120, 15, parent, -5, 7, nullptr);
    HWND bottom = CreateHyperlink(120, 15, parent, 3, -5, nullptr);
    ASSERT_TRUE(right && bottom);
    RECT r = rectInParent(right);
    EXPECT_EQ(r.right, client.right - 5);
    EXPECT_EQ(r.top, 7);
    RECT b = rectInParent(bottom);
    EXPECT_EQ(b.left, 3);
    EXPECT_EQ(b.bottom, client.bottom - 5);
    DestroyWindow(right);
    DestroyWindow(bottom);
}

TEST_F(HyperlinkTest, LinksGetGreyTextOnNothingOtherStaticsAreLeftToTheSystem) {
    HWND link = CreateCreditLink(nullptr, parent);
    HWND plain = CreateWindowExW(0, L"STATIC", L"x", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    ASSERT_TRUE(link && plain);
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);

    EXPECT_EQ(HyperlinkCtlColor(plain, dc), nullptr);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);

    EXPECT_EQ(HyperlinkCtlColor(link, dc), static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), RGB(192, 192, 192));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    DeleteDC(dc);
    DestroyWindow(link);
    DestroyWindow(plain);
}

TEST_F(HyperlinkTest, ClickOpensTheMakersAddressHiddenOnlyForTheCreditLink) {
    HWND credit = CreateCreditLink(nullptr, parent);
    HWND bare = CreateHyperlink(0, 0, parent, 0, 0, nullptr);
    HWND plain = CreateWindowExW(0, L"STATIC", L"x", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    ASSERT_TRUE(credit && bare && plain);

    EXPECT_FALSE(HyperlinkClick(bare));
    EXPECT_FALSE(HyperlinkClick(plain));
    EXPECT_EQ(LastShellCall.count, 0);

    EXPECT_TRUE(HyperlinkClick(credit));
    EXPECT_EQ(LastShellCall.count, 1);
    EXPECT_EQ(LastShellCall.owner, nullptr);
    EXPECT_EQ(LastShellCall.verb, L"open");
    EXPECT_EQ(LastShellCall.file, kCreditAddress);
    EXPECT_EQ(LastShellCall.file.rfind(L"http://", 0), 0u);
    EXPECT_FALSE(LastShellCall.parameters);
    EXPECT_FALSE(LastShellCall.directory);
    EXPECT_EQ(LastShellCall.show, SW_HIDE);

    // The entries outlive the window until HyperlinkUninit; DestroyCreditLink is what forgets one.
    DestroyCreditLink(credit);
    EXPECT_FALSE(IsWindow(credit));
    EXPECT_FALSE(HyperlinkClick(credit));
    DestroyWindow(bare);
    DestroyWindow(plain);
}

// The reference is the parent's window rectangle when there is one: GetParent of an owned popup is its
// owner, which gives a reference rectangle of the test's choosing.
TEST(CenterWindowTest, CentresOnTheReferenceAndKeepsInsideIt) {
    struct Case {
        RECT reference;
        SIZE window;
        POINT expected;
    } cases[] = {
        {{0, 0, 1920, 1040}, {700, 500}, {610, 270}},  {{1000, 0, 1800, 600}, {600, 200}, {1100, 200}},
        {{0, 0, 1920, 1040}, {2000, 300}, {0, 370}},   {{0, 0, 800, 400}, {300, 700}, {250, 0}},
        {{100, 50, 601, 352}, {100, 100}, {300, 151}},
    };
    for (const Case& c : cases) {
        const RECT& r = c.reference;
        HWND owner = MakeTestWindow(WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top);
        HWND window = MakeTestWindow(WS_POPUP, 5, 5, c.window.cx, c.window.cy, owner);
        ASSERT_TRUE(owner && window);
        RECT check;
        GetWindowRect(owner, &check);
        ASSERT_TRUE(EqualRect(&check, &r)) << "the owner did not get the reference rectangle";
        CenterWindow(window);
        RECT placed;
        GetWindowRect(window, &placed);
        EXPECT_EQ(placed.left, c.expected.x) << "reference left " << r.left << " width " << c.window.cx;
        EXPECT_EQ(placed.top, c.expected.y) << "reference top " << r.top << " height " << c.window.cy;
        EXPECT_EQ(placed.right - placed.left, c.window.cx);
        EXPECT_EQ(placed.bottom - placed.top, c.window.cy);
        DestroyWindow(window);
        DestroyWindow(owner);
    }
}

TEST(CenterWindowTest, WithoutParentTheWorkAreaIsTheReference) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    HWND window = MakeTestWindow(WS_POPUP, 0, 0, 200, 100);
    ASSERT_TRUE(window);
    CenterWindow(window);
    RECT placed;
    GetWindowRect(window, &placed);
    EXPECT_LE(std::abs((placed.left - work.left) - (work.right - placed.right)), 1);
    EXPECT_LE(std::abs((placed.top - work.top) - (work.bottom - placed.bottom)), 1);
    DestroyWindow(window);
    CenterWindow(nullptr);  // not a window: nothing happens
}

TEST(SetClientSizeTest, TheClientAreaGetsTheSizeAndTheWindowStaysPut) {
    const SIZE sizes[] = {{672, 450}, {300, 200}, {900, 640}};
    for (const SIZE& size : sizes) {
        HWND window = MakeTestWindow(WS_OVERLAPPEDWINDOW, 40, 30, 700, 500);
        ASSERT_TRUE(window);
        RECT before;
        GetWindowRect(window, &before);
        SetClientSize(window, size);
        RECT client;
        RECT after;
        GetClientRect(window, &client);
        GetWindowRect(window, &after);
        EXPECT_EQ(client.right, size.cx);
        EXPECT_EQ(client.bottom, size.cy);
        EXPECT_EQ(after.left, before.left);
        EXPECT_EQ(after.top, before.top);
        DestroyWindow(window);
    }
}

TEST(LoadResourceImageTest, EmptyBrokenAndRealResources) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC empty = FindResourceW(module, MAKEINTRESOURCEW(900), L"PNG");
    ASSERT_TRUE(empty);
    EXPECT_EQ(SizeofResource(module, empty), 0u);
    EXPECT_EQ(LoadResourceImage(empty, module), nullptr);

    // Bytes that do not decode still give an image object, its failure in its status.
    HRSRC broken = FindResourceW(module, MAKEINTRESOURCEW(901), L"PNG");
    ASSERT_TRUE(broken);
    Gdiplus::Image* bad = LoadResourceImage(broken, module);
    ASSERT_NE(bad, nullptr);
    EXPECT_NE(bad->GetLastStatus(), Gdiplus::Ok);
    delete bad;

    HRSRC logo = FindResourceW(module, MAKEINTRESOURCEW(142), L"PNG");
    ASSERT_TRUE(logo);
    Gdiplus::Image* image = LoadResourceImage(logo, module);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(image->GetWidth(), 316u);
    EXPECT_EQ(image->GetHeight(), 155u);
    // The pixels are read after the load returned: the copy behind the stream must still be there.
    Canvas canvas(316, 155, RGB(0, 0, 0));
    {
        Gdiplus::Graphics graphics(canvas.dc());
        EXPECT_EQ(graphics.DrawImage(image, 0, 0, 316, 155), Gdiplus::Ok);
    }
    int lit = 0;
    for (COLORREF p : canvas.pixels())
        lit += p != 0;
    EXPECT_GT(lit, 316 * 155 / 4);
    delete image;
}

TEST_F(HyperlinkTest, FacilitiesNoPathCalls) {
    // ResolveChildPos: negative coordinates from the client's right and bottom, others unchanged.
    RECT client;
    GetClientRect(parent, &client);
    POINT p = ResolveChildPos(-5, -6, parent, 50, 20);
    EXPECT_EQ(p.x, client.right - 50 - 5);
    EXPECT_EQ(p.y, client.bottom - 20 - 6);
    p = ResolveChildPos(0, 9, parent, 50, 20);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 9);

    // CreateFaceFont: a face of 32 characters does not fit LOGFONTW and is left out; none: no font.
    EXPECT_EQ(CreateFaceFont(nullptr, 12, FW_NORMAL, 0, 0), nullptr);
    const std::wstring longFace(32, L'A');
    const std::wstring longestFace(31, L'B');
    struct Case {
        const wchar_t* face;
        const wchar_t* expected;
    } faces[] = {{L"Tahoma", L"Tahoma"}, {longFace.c_str(), L""}, {longestFace.c_str(), longestFace.c_str()}};
    for (const Case& c : faces) {
        HFONT font = CreateFaceFont(c.face, -13, FW_BOLD, 1, 1);
        ASSERT_TRUE(font);
        LOGFONTW lf = {};
        GetObjectW(font, sizeof(lf), &lf);
        EXPECT_STREQ(lf.lfFaceName, c.expected);
        EXPECT_EQ(lf.lfHeight, -13);
        EXPECT_EQ(lf.lfWeight, FW_BOLD);
        EXPECT_EQ(lf.lfItalic, 1);
        EXPECT_EQ(lf.lfUnderline, 1);
        EXPECT_EQ(lf.lfQuality, PROOF_QUALITY);
        EXPECT_EQ(lf.lfPitchAndFamily, VARIABLE_PITCH);
        DeleteGdiObject(font);
    }

    // Items of a dialog-like parent: missing ones give -1 and null and leave the output alone.
    HWND item = CreateWindowExW(0, L"STATIC", L"abc", WS_CHILD, 11, 12, 30, 10, parent, reinterpret_cast<HMENU>(77),
                                nullptr, nullptr);
    ASSERT_TRUE(item);
    EXPECT_EQ(SendItemMessage(parent, 78, WM_GETTEXTLENGTH, 0, 0), -1);
    EXPECT_EQ(SendItemMessage(parent, 77, WM_GETTEXTLENGTH, 0, 0), 3);
    RECT rect = {1, 2, 3, 4};
    EXPECT_EQ(GetDlgItemRect(parent, 78, &rect), nullptr);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(GetDlgItemRect(parent, 77, &rect), item);
    EXPECT_EQ(rect.left, 11);
    EXPECT_EQ(rect.bottom, 22);
    RECT childRect = {};
    EXPECT_TRUE(GetChildRect(item, parent, &childRect));
    EXPECT_TRUE(EqualRect(&childRect, &rect));
    EXPECT_EQ(DestroyWnd(item), 0);
    EXPECT_FALSE(IsWindow(item));
    EXPECT_FALSE(GetChildRect(item, parent, &childRect));

    // DestroyHyperlink forgets the colour and destroys the window.
    HWND link = CreateHyperlink(0, 0, parent, 0, 0, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(HyperlinkCtlColor(link, dc), nullptr);
    EXPECT_EQ(DestroyHyperlink(link), 0);
    EXPECT_FALSE(IsWindow(link));
    EXPECT_EQ(HyperlinkCtlColor(link, dc), nullptr);
    DeleteDC(dc);
}

}  // namespace
