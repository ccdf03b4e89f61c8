// The credit link and the small window utilities.
//
// A link is a STATIC control registered again under the class name "HYPERLINK" with the hand cursor;
// its colour and its address live in two process-wide maps keyed by the window handle. The entries
// outlive their windows on purpose: the player destroys its link with DestroyWindow at teardown and
// HyperlinkUninit empties both maps at the very end. Everything here runs on the user-interface thread.
#include "Hyperlink.h"

#include <objidl.h>
#include <shellapi.h>
#include <gdiplus.h>
#include <cstring>
#include <map>
#include <string>

#include "ComPtr.h"
#include "UniqueHandle.h"

const wchar_t kCreditText[] = L"Powered by Tarnwell";
const wchar_t kCreditAddress[] = L"http://www.tarnwell.example/";

ShellOpenFunction HyperlinkShellOpen = ShellExecuteW;

namespace {

const wchar_t kHyperlinkClass[] = L"HYPERLINK";

HDC MeasureDC = nullptr;

// Function-local statics would be built on first use; these two must exist, empty, before wWinMain
// runs, because a stray HyperlinkCtlColor can reach them at any time.
std::map<HWND, COLORREF> LinkColors;
std::map<HWND, std::wstring> LinkUrls;

HFONT OrDefaultFont(HFONT font) {
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The size of the credit text in a font: as wide as its ink reaches and as high as its extent. A zero size
// when MeasureDC is missing (HyperlinkInit has not run), which CreateWindowExW then turns into an
// invisible link. The control clips what it draws, so a link exactly as wide as its text also ends its
// underline with the text, where the font draws its glyphs narrower than the advances.
SIZE MeasureCreditText(HFONT font) {
    SIZE extent = {0, 0};
    if (!MeasureDC)
        return extent;
    const TextInk ink = MeasureTextInk(font, kCreditText, lstrlenW(kCreditText));
    extent.cx = ink.inkRight;
    extent.cy = ink.height;
    return extent;
}

}  // namespace

void HyperlinkInit(HINSTANCE instance) {
    {
        WindowDC screen(nullptr);
        MeasureDC = CreateCompatibleDC(screen.get());
    }
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    if (!GetClassInfoExW(instance, L"STATIC", &info))
        return;
    info.lpszClassName = kHyperlinkClass;
    info.hInstance = instance;
    info.hCursor = LoadCursorW(nullptr, IDC_HAND);
    RegisterClassExW(&info);
}

void HyperlinkUninit(HINSTANCE instance) {
    UnregisterClassW(kHyperlinkClass, instance);
    if (MeasureDC) {
        DeleteDC(MeasureDC);
        MeasureDC = nullptr;
    }
    LinkColors.clear();
    LinkUrls.clear();
}

HWND CreateHyperlink(int width, int height, HWND parent, int x, int y, HFONT font) {
    font = OrDefaultFont(font);
    if (width == 0 || height == 0) {
        SIZE extent = MeasureCreditText(font);
        width = extent.cx;
        height = extent.cy;
    }
    if (x < 0 || y < 0) {
        POINT at = ResolveChildPos(x, y, parent, width, height);
        x = at.x;
        y = at.y;
    }
    // SS_LEFTNOWORDWRAP: a link sized to its ink can be narrower than the advances the control measures
    // for wrapping; it must clip there (the underline with it), not move its last word to a second line.
    HWND link = CreateWindowExW(0, kHyperlinkClass, kCreditText, WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_LEFTNOWORDWRAP,
                                x, y, width, height, parent, nullptr, nullptr, nullptr);
    if (!link)
        return nullptr;
    SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LinkColors[link] = kLinkColor;
    return link;
}

HWND CreateCreditLink(HFONT font, HWND parent) {
    font = OrDefaultFont(font);
    SIZE extent = MeasureCreditText(font);
    HWND link = CreateHyperlink(extent.cx, extent.cy, parent, 0, 0, font);
    if (link)
        LinkUrls[link] = kCreditAddress;
    return link;
}

HBRUSH HyperlinkCtlColor(HWND control, HDC dc) {
    auto entry = LinkColors.find(control);
    if (entry == LinkColors.end())
        return nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, entry->second);
    // Nothing behind the text: the host's black shows through.
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

bool HyperlinkClick(HWND control) {
    auto entry = LinkUrls.find(control);
    if (entry == LinkUrls.end())
        return false;
    // SW_HIDE, not SW_SHOWNORMAL: the browser decides how to show itself. Its answer is not looked at.
    HyperlinkShellOpen(nullptr, L"open", entry->second.c_str(), nullptr, nullptr, SW_HIDE);
    return true;
}

void CenterWindow(HWND window) {
    if (!IsWindow(window))
        return;
    HWND parent = GetParent(window);
    RECT own;
    GetWindowRect(window, &own);
    const int w = own.right - own.left;
    const int h = own.bottom - own.top;
    RECT reference = {};
    if (parent && IsWindow(parent))
        GetWindowRect(parent, &reference);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &reference, 0);
    int x = (reference.left + reference.right - w) / 2;
    int y = (reference.top + reference.bottom - h) / 2;
    if (x + w > reference.right)
        x = reference.right - w;
    if (y + h > reference.bottom)
        y = reference.bottom - h;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER);
}

void SetClientSize(HWND window, SIZE client) {
    RECT outer = {};
    RECT inner = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    const int width = (outer.right - outer.left) + (client.cx - inner.right);
    const int height = (outer.bottom - outer.top) + (client.cy - inner.bottom);
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

Gdiplus::Image* LoadResourceImage(HRSRC resource, HMODULE module) {
    const DWORD size = SizeofResource(module, resource);
    if (size == 0)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return nullptr;
    UniqueHglobal block(GlobalAlloc(GMEM_MOVEABLE, size + 4));
    if (!block)
        return nullptr;
    void* copy = GlobalLock(block.get());
    if (!copy)
        return nullptr;
    CopyMemory(copy, data, size);
    GlobalUnlock(block.get());

    // The stream owns the block (fDeleteOnRelease): GDI+ may decode lazily and keeps its own reference
    // to the stream, so the copy is freed exactly when the last of the image and our reference goes.
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.put())) || !stream)
        return nullptr;
    block.release();
    return new Gdiplus::Image(stream.get());
}

TextInk MeasureTextInk(HFONT font, const wchar_t* text, int length) {
    TextInk result = {0, 0, 0};
    UniqueHdc dc(CreateCompatibleDC(nullptr));
    if (!dc || !text || length <= 0)
        return result;
    SIZE extent = {};
    {
        SelectScope withFont(dc.get(), font);
        GetTextExtentPoint32W(dc.get(), text, length, &extent);
    }
    result = {static_cast<int>(extent.cx), static_cast<int>(extent.cx), static_cast<int>(extent.cy)};
    // The same font without its underline (and strike-out), whose line would count as ink over the whole
    // advance.
    LOGFONTW face = {};
    if (!font || !GetObjectW(font, sizeof(face), &face))
        return result;
    UniqueHfont plainCopy;
    HFONT plain = font;
    if (face.lfUnderline || face.lfStrikeOut) {
        face.lfUnderline = 0;
        face.lfStrikeOut = 0;
        plainCopy.reset(CreateFontIndirectW(&face));
        plain = plainCopy.get();
    }
    // Room on both sides for glyphs that reach past their cells.
    const int margin = extent.cy + 8;
    const int width = extent.cx + 2 * margin;
    const int height = extent.cy + 2;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueHbitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!plain || !bitmap || !bits || width <= 0)
        return result;
    SelectScope withBitmap(dc.get(), bitmap.get());
    SelectScope withFont(dc.get(), plain);
    memset(bits, 0, static_cast<size_t>(width) * height * 4);
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), RGB(255, 255, 255));
    TextOutW(dc.get(), margin, 1, text, length);
    GdiFlush();
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    int last = -1;
    for (int x = width - 1; x >= 0 && last < 0; --x)
        for (int y = 0; y < height; ++y)
            if (pixels[y * width + x] & 0xFFFFFF) {
                last = x;
                break;
            }
    if (last >= 0)
        result.inkRight = last - margin + 1;
    return result;
}

int DestroyHyperlink(HWND link) {
    if (!LinkColors.empty())
        LinkColors.erase(link);
    if (IsWindow(link))
        DestroyWindow(link);
    return 0;
}

int DestroyCreditLink(HWND link) {
    if (!LinkUrls.empty())
        LinkUrls.erase(link);
    if (IsWindow(link))
        DestroyWindow(link);
    return 0;
}

LRESULT SendItemMessage(HWND dialog, int itemId, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, itemId);
    if (!item)
        return -1;
    return SendMessageW(item, message, wParam, lParam);
}

HWND GetDlgItemRect(HWND dialog, int itemId, RECT* out) {
    HWND item = GetDlgItem(dialog, itemId);
    if (!item)
        return nullptr;
    RECT rect;
    GetWindowRect(item, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ScreenToClient(dialog, &corners[0]);
    ScreenToClient(dialog, &corners[1]);
    *out = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return item;
}

bool GetChildRect(HWND child, HWND reference, RECT* out) {
    if (!IsWindow(child))
        return false;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&rect), 2);
    *out = rect;
    return true;
}

HFONT CreateFaceFont(const wchar_t* face, int height, int weight, BYTE italic, BYTE underline) {
    if (!face)
        return nullptr;
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic;
    font.lfUnderline = underline;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    // A face that does not fit LF_FACESIZE with its terminator is left out rather than cut.
    if (lstrlenW(face) < LF_FACESIZE)
        lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

int DestroyWnd(HWND window) {
    if (IsWindow(window))
        DestroyWindow(window);
    return 0;
}

int DeleteGdiObject(HGDIOBJ object) {
    if (object)
        DeleteObject(object);
    return 0;
}

POINT ResolveChildPos(int x, int y, HWND parent, int width, int height) {
    RECT client = {};
    if (x < 0 || y < 0)
        GetClientRect(parent, &client);
    POINT at = {x, y};
    if (x < 0)
        at.x = client.right - width + x;
    if (y < 0)
        at.y = client.bottom - height + y;
    return at;
}
