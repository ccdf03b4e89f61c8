// The copy of what the display shows, on the virtual display: a window with a frame and a caption,
// away from the screen's corner, marked in the corners of its client area.
#include <windows.h>
#include <gtest/gtest.h>

#include "test_util.h"

namespace {

constexpr COLORREF kTopLeft = RGB(255, 128, 0), kBottomRight = RGB(0, 128, 255);

LRESULT CALLBACK MarkedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PaintScope paint(window);
        RECT client;
        GetClientRect(window, &client);
        FillRect(paint.dc(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetPixel(paint.dc(), 0, 0, kTopLeft);
        SetPixel(paint.dc(), client.right - 1, client.bottom - 1, kBottomRight);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(CaptureScreen, TheCanvasIsTheClientAreaAsTheScreenShowsIt) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MarkedProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TestUtilMarked";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"marked", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 37, 23, 200, 150,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    RECT client;
    GetClientRect(window, &client);
    const int right = client.right - 1, bottom = client.bottom - 1;
    // The window reaches the display on its own time.
    EXPECT_TRUE(PumpUntil(
        [&] {
            UpdateWindow(window);
            const Canvas shot = CaptureScreen(window);
            return shot.pixel(0, 0) == kTopLeft && shot.pixel(right, bottom) == kBottomRight;
        },
        10000));
    const Canvas shot = CaptureScreen(window);
    EXPECT_EQ(shot.width(), client.right);
    EXPECT_EQ(shot.height(), client.bottom);
    EXPECT_EQ(shot.pixel(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(shot.pixel(right, bottom - 1), RGB(255, 255, 255));

    // A rectangle of the screen: here the client area's bottom-right quarter, given in screen coordinates.
    POINT middle = {client.right / 2, client.bottom / 2};
    ClientToScreen(window, &middle);
    const Canvas quarter = CaptureScreen(RECT{middle.x, middle.y, middle.x + client.right - client.right / 2,
                                              middle.y + client.bottom - client.bottom / 2});
    EXPECT_EQ(quarter.pixel(quarter.width() - 1, quarter.height() - 1), kBottomRight);
    EXPECT_EQ(quarter.pixel(0, 0), RGB(255, 255, 255));
    DestroyWindow(window);
}

}  // namespace
