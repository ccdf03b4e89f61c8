// What an instance of the SWF library shows on the virtual display: black where no movie is drawn, the
// host's black over the movie's own colour, and the movie's picture following the dialog's size.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "flash_control_host.h"
#include "quorra.h"
#include "swf_writer.h"
#include "test_util.h"

namespace {

const wchar_t kHostClass[] = L"QuorraVideoTestHost";

// Polls the screen until the point shows the colour; the dialog and the control paint on their own time.
testing::AssertionResult Shows(HWND window, int x, int y, COLORREF expected) {
    COLORREF seen = 0;
    const bool ok = PumpUntil(
        [&] {
            RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            seen = CaptureScreen(window).pixel(x, y);
            return seen == expected;
        },
        10000);
    if (ok)
        return testing::AssertionSuccess();
    char text[96];
    snprintf(text, sizeof(text), "(%d, %d) shows 0x%06lx, not 0x%06lx", x, y, seen, expected);
    return testing::AssertionFailure() << text;
}

TEST(QuorraVideo, BlackWithoutAMovieBlackOverTheMoviesColourAndThePictureFollowsTheSize) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kHostClass;
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, kHostClass, L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 700, 500,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(host, nullptr);
    HWND instance = quorra_create(host);
    ASSERT_NE(instance, nullptr);
    MoveWindow(instance, 0, 0, 320, 240, TRUE);
    EXPECT_TRUE(Shows(instance, 160, 120, RGB(0, 0, 0))) << "the empty dialog";

    TempFolder temp;
    swf::MovieOptions blue;
    blue.frameCount = 50;
    blue.showFrames = 50;
    blue.background = 0x0000FF;
    ASSERT_EQ(quorra_open(instance, temp.Write(L"blue.swf", swf::WriteMovie(blue)).c_str()), TRUE);
    ASSERT_EQ(quorra_pause(instance), TRUE);
    // The last frame: the control's position strip runs along its whole bottom edge, light on black.
    quorra_setTime(instance, 49);
    EXPECT_TRUE(Shows(instance, 160, 120, RGB(0, 0, 0))) << "the movie's blue shows through";
    EXPECT_TRUE(Shows(instance, 318, 238, RGB(255, 255, 255))) << "no picture in the dialog's corner";

    MoveWindow(instance, 0, 0, 600, 400, TRUE);
    EXPECT_TRUE(Shows(instance, 598, 398, RGB(255, 255, 255))) << "the picture did not follow the dialog";
    EXPECT_TRUE(Shows(instance, 300, 200, RGB(0, 0, 0)));

    quorra_release(instance);
    DestroyWindow(host);
}

}  // namespace
