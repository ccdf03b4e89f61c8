#pragma once
#include <windows.h>

namespace Gdiplus {
class Image;
}

extern const wchar_t kCreditText[];     // "Powered by Tarnwell"
extern const wchar_t kCreditAddress[];  // the maker's home page
constexpr COLORREF kLinkColor = RGB(192, 192, 192);

void HyperlinkInit(HINSTANCE instance);
void HyperlinkUninit(HINSTANCE instance);
HWND CreateHyperlink(int width, int height, HWND parent, int x, int y, HFONT font);
HWND CreateCreditLink(HFONT font, HWND parent);
HBRUSH HyperlinkCtlColor(HWND control, HDC dc);
bool HyperlinkClick(HWND control);
// The shell call behind HyperlinkClick; ShellExecuteW unless a test puts an observer here.
using ShellOpenFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern ShellOpenFunction HyperlinkShellOpen;
void CenterWindow(HWND window);
void SetClientSize(HWND window, SIZE client);
// Where a text's ink ends, in pixels right of where it starts, and its advance (what GetTextExtentPoint32W
// reports), both in a font. Found by drawing the text once off screen: fonts whose glyphs are drawn wider
// or narrower than their advances (Wine's own stand-in fonts among them) end their ink past or short of
// the advance. An underline is left out of the ink. Both are the advance when the text cannot be drawn.
struct TextInk {
    int advance;
    int inkRight;
    int height;
};
TextInk MeasureTextInk(HFONT font, const wchar_t* text, int length);
// The caller owns the image; the memory behind it lives as long as the image does.
Gdiplus::Image* LoadResourceImage(HRSRC resource, HMODULE module);

// Facilities no path of the program calls.
int DestroyHyperlink(HWND link);
int DestroyCreditLink(HWND link);
LRESULT SendItemMessage(HWND dialog, int itemId, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDlgItemRect(HWND dialog, int itemId, RECT* out);
bool GetChildRect(HWND child, HWND reference, RECT* out);
HFONT CreateFaceFont(const wchar_t* face, int height, int weight, BYTE italic, BYTE underline);
int DestroyWnd(HWND window);
int DeleteGdiObject(HGDIOBJ object);
POINT ResolveChildPos(int x, int y, HWND parent, int width, int height);
