// The menus and the About box as the build puts them into the program: read back from the resources
// linked into this test program (the same object the exe links) and compared with the tables the menus
// and the dialog must follow: texts with their tabs, ids, order, separators, popups, styles and sizes.
#include <windows.h>
#include <gtest/gtest.h>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "resource.h"

namespace {

// One menu entry as the system reads it back; a popup carries its entries.
struct Entry {
    std::wstring text;  // empty for a separator
    UINT id;            // 0 for a separator and for a popup
    std::vector<Entry> popup;
};

const Entry kSeparator = {L"", 0, {}};

std::vector<Entry> ReadMenu(HMENU menu) {
    std::vector<Entry> entries;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {sizeof(info)};
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 128;
        EXPECT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info)) << i;
        Entry entry;
        if (info.fType & MFT_SEPARATOR) {
            entry = kSeparator;
        } else {
            // Nothing is greyed, checked or made the default by the template: the code decides that
            // when it shows a menu.
            EXPECT_EQ(info.fState & (MFS_GRAYED | MFS_CHECKED | MFS_DEFAULT), 0u) << text;
            EXPECT_EQ(info.fType & ~MFT_STRING, 0u) << text;
            entry.text = text;
            entry.id = info.hSubMenu ? 0 : info.wID;
            if (info.hSubMenu)
                entry.popup = ReadMenu(info.hSubMenu);
        }
        entries.push_back(entry);
    }
    return entries;
}

void ExpectSame(const std::vector<Entry>& got, const std::vector<Entry>& want, const std::wstring& where) {
    ASSERT_EQ(got.size(), want.size()) << std::string(where.begin(), where.end());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "entry " << i << " of " << std::string(where.begin(), where.end()));
        EXPECT_EQ(got[i].text, want[i].text);
        EXPECT_EQ(got[i].id, want[i].id);
        ExpectSame(got[i].popup, want[i].popup, want[i].text);
    }
}

TEST(ResourcesTest, MenusHoldTheirEntriesInOrder) {
    struct Case {
        int id;
        std::vector<Entry> popups;
    };
    const Case cases[] = {
        {IDR_POPUP,
         {{L"Popup",
           0,
           {{L"Open\tCtrl+O", ID_OPEN, {}},
            kSeparator,
            {L"Play", ID_PLAY, {}},
            {L"Pause\tSpace", ID_PAUSE, {}},
            {L"Stop", ID_STOP, {}},
            {L"Previous\tPageUp", ID_PREVIOUS, {}},
            {L"Next\tPageDown", ID_NEXT, {}},
            kSeparator,
            {L"Full Screen\tF", ID_FULL_SCREEN, {}},
            {L"Leave Full Screen\tESC", ID_LEAVE_FULL_SCREEN, {}},
            kSeparator,
            {L"E&xit", ID_EXIT, {}}}},
          {L"Control",
           0,
           {{L"Mute", ID_MUTE, {}},
            {L"Move Backward", ID_MOVE_BACKWARD, {}},
            {L"Move Forward", ID_MOVE_FORWARD, {}},
            {L"Volume Up", ID_VOLUME_UP, {}},
            {L"Volume Down", ID_VOLUME_DOWN, {}}}}}},
        {IDR_MAINMENU,
         {{L"&File", 0, {{L"Open", ID_OPEN, {}}, {L"Close", ID_CLOSE, {}}, kSeparator, {L"E&xit", ID_EXIT, {}}}},
          {L"&Help", 0, {{L"&About...", IDM_ABOUT, {}}}}}},
        {IDR_TRAY, {{L"Tray", 0, {{L"Exit", ID_EXIT, {}}}}}},
    };
    static_assert(IDR_POPUP == 131 && IDR_MAINMENU == 109 && IDR_TRAY == 4, "the menus' resource ids");
    for (const Case& c : cases) {
        HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.id));
        ASSERT_TRUE(menu) << c.id;
        ExpectSame(ReadMenu(menu), c.popups, L"menu " + std::to_wstring(c.id));
        DestroyMenu(menu);
    }
}

// A reader for an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items).
class TemplateReader {
  public:
    explicit TemplateReader(const void* data) : at_(static_cast<const BYTE*>(data)) {}
    WORD word() { return take<WORD>(); }
    DWORD dword() { return take<DWORD>(); }
    short coordinate() { return take<short>(); }
    BYTE byte() { return take<BYTE>(); }
    // A string or an ordinal (0xFFFF then the number, given back as "#number"); empty for 0.
    std::wstring nameOrOrdinal() {
        WORD first = word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(word());
        std::wstring text;
        for (WORD c = first; c != 0; c = word())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }
    void alignToDword(const void* start) {
        while ((at_ - static_cast<const BYTE*>(start)) % 4)
            ++at_;
    }
    void skip(size_t bytes) { at_ += bytes; }

  private:
    template <typename T>
    T take() {
        T value;
        memcpy(&value, at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    const BYTE* at_;
};

// A control's class as a template names it, by its predefined ordinal or by name, in lower case.
std::wstring ClassName(const std::wstring& named) {
    if (named == L"#128")
        return L"button";
    if (named == L"#130")
        return L"static";
    std::wstring lower = named;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    return lower;
}

TEST(ResourcesTest, AboutBoxTemplate) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_ABOUTBOX), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    ASSERT_TRUE(found);
    const void* start = LockResource(LoadResource(module, found));
    ASSERT_TRUE(start);
    TemplateReader read(start);
    EXPECT_EQ(read.word(), 1);       // version
    EXPECT_EQ(read.word(), 0xFFFF);  // the extended form
    read.dword();                    // help id
    EXPECT_EQ(read.dword(), 0u);     // no extended style
    const DWORD style = read.dword();
    EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT |
                                        DS_FIXEDSYS));
    const WORD items = read.word();
    EXPECT_EQ(read.coordinate(), 0);
    EXPECT_EQ(read.coordinate(), 0);
    EXPECT_EQ(read.coordinate(), 170);
    EXPECT_EQ(read.coordinate(), 62);
    EXPECT_EQ(read.nameOrOrdinal(), L"");  // no menu
    EXPECT_EQ(read.nameOrOrdinal(), L"");  // the standard dialog class
    EXPECT_EQ(read.nameOrOrdinal(), L"About");
    EXPECT_EQ(read.word(), 8);    // points
    EXPECT_EQ(read.word(), 400);  // weight
    EXPECT_EQ(read.byte(), 0);    // not italic
    read.byte();                  // character set
    EXPECT_EQ(read.nameOrOrdinal(), L"MS Shell Dlg");

    struct Item {
        int id;
        std::wstring windowClass;
        DWORD typeMask;  // the bits of the style that give the control's kind
        DWORD type;
        short x, y, cx, cy;
        bool checkText;
        std::wstring text;
    };
    const Item expected[] = {
        {IDC_STATIC, L"static", SS_TYPEMASK, SS_ICON, 14, 14, 20, 20, false, L""},
        {IDC_ABOUT_TEXT, L"static", SS_TYPEMASK | SS_NOPREFIX, SS_LEFT | SS_NOPREFIX, 42, 14, 114, 8, true,
         L"Tessaly, Version 1.0"},
        {IDC_ABOUT_LINE2, L"static", SS_TYPEMASK | SS_NOPREFIX, SS_LEFT, 42, 26, 114, 8, false, L""},
        {IDOK, L"button", BS_TYPEMASK, BS_DEFPUSHBUTTON, 113, 41, 50, 14, true, L"OK"},
    };
    ASSERT_EQ(items, std::size(expected));
    for (const Item& want : expected) {
        SCOPED_TRACE(testing::Message() << "item " << want.id);
        read.alignToDword(start);
        read.dword();  // help id
        read.dword();  // extended style
        const DWORD itemStyle = read.dword();
        EXPECT_EQ(itemStyle & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(itemStyle & want.typeMask, want.type);
        EXPECT_EQ(read.coordinate(), want.x);
        EXPECT_EQ(read.coordinate(), want.y);
        EXPECT_EQ(read.coordinate(), want.cx);
        EXPECT_EQ(read.coordinate(), want.cy);
        EXPECT_EQ(static_cast<int>(read.dword()), want.id);
        EXPECT_EQ(ClassName(read.nameOrOrdinal()), want.windowClass);
        const std::wstring text = read.nameOrOrdinal();
        if (want.checkText) {
            EXPECT_EQ(text, want.text);
        }
        read.skip(read.word());  // creation data
    }
}

}  // namespace

// The skin and the logo carry their pixels and nothing else. Gamma, chromaticity and background-colour
// chunks change no pixel the player draws, but GDI+ under Wine runs its metadata readers over each of
// them on every load, and the bar loads fifteen images before its first paint.
BOOL CALLBACK CollectPng(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

TEST(ResourcesTest, PngImagesHoldOnlyTheirPixels) {
    HMODULE module = GetModuleHandleW(nullptr);
    std::vector<WORD> ids;
    EnumResourceNamesW(module, L"PNG", CollectPng, reinterpret_cast<LONG_PTR>(&ids));
    // The logo and the bar's fifteen: its background, the images of its eleven controls, two knobs and the
    // played part.
    EXPECT_EQ(ids.size(), 16u);
    for (WORD id : ids) {
        SCOPED_TRACE(testing::Message() << "PNG resource " << id);
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
        ASSERT_NE(found, nullptr);
        const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
        const DWORD size = SizeofResource(module, found);
        ASSERT_GT(size, 8u);
        ASSERT_EQ(std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8), 0);
        std::vector<std::string> chunks;
        for (DWORD at = 8; at + 12 <= size;) {
            const DWORD length =
                (DWORD{bytes[at]} << 24) | (DWORD{bytes[at + 1]} << 16) | (DWORD{bytes[at + 2]} << 8) | bytes[at + 3];
            const std::string type(reinterpret_cast<const char*>(bytes + at + 4), 4);
            if (chunks.empty() || chunks.back() != type)
                chunks.push_back(type);
            at += 12 + length;
        }
        EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    }
}
