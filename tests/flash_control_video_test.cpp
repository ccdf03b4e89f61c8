// What the stand-in Flash control paints, read back from the virtual display: the movie's background
// colour, or the colour the host put, over the control's window.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <memory>

#include "flash_control_host.h"
#include "swf_writer.h"
#include "test_util.h"

namespace {

// The same point rendered through WM_PRINTCLIENT into a bitmap of our own, with no display involved.
COLORREF PrintedPixel(HWND hwnd, int x, int y) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    const Canvas printed(rc.right, rc.bottom);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.dc()), PRF_CLIENT);
    return printed.pixel(x, y);
}

TEST(FlashControlVideo, PaintsTheMovieColourOrTheHostsColour) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    HWND host = CreateHostWindow(320, 240);
    ASSERT_NE(host, nullptr);
    const RECT rc = {0, 0, 320, 240};
    TestSite site(host, rc);
    IOleObject* ole = nullptr;
    ASSERT_EQ(
        CoCreateInstance(kFlashClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&ole)),
        S_OK);
    IDispatch* disp = nullptr;
    ASSERT_EQ(ole->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)), S_OK);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    RECT pos = rc;
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &pos), S_OK);
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(ole->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    HWND control = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&control), S_OK);

    TempFolder temp;
    swf::MovieOptions blue;
    blue.compressed = true;
    blue.frameCount = 60;
    blue.showFrames = 60;
    blue.background = 0x0000FF;
    swf::MovieOptions plain;  // no SetBackgroundColor: the player's white
    const struct {
        const char* what;
        std::vector<uint8_t> movie;
        LONG put;  // BackgroundColor put before the movie, -1 for none
        COLORREF expected;
    } cases[] = {
        {"the movie's blue", swf::WriteMovie(blue), -1, RGB(0, 0, 255)},
        {"the host's orange over the movie's blue", swf::WriteMovie(blue), 0xFF8000, RGB(255, 128, 0)},
        {"the host's black, as the SWF library puts it", swf::WriteMovie(blue), 0, RGB(0, 0, 0)},
        {"no colour in the movie: white", swf::WriteMovie(plain), -1, RGB(255, 255, 255)},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(PutInt(disp, kBackgroundColor, c.put), S_OK);
        std::wstring path = temp.Write(L"movie" + std::to_wstring(index++) + L".swf", c.movie);
        ASSERT_EQ(PutString(disp, kMovie, path), S_OK);
        // The middle of the window: away from the frame text in the corner and the strip at the bottom.
        EXPECT_TRUE(PumpUntil(
            [&] {
                UpdateWindow(control);
                return CaptureScreen(control).pixel(160, 120) == c.expected;
            },
            10000))
            << std::hex << "screen shows 0x" << CaptureScreen(control).pixel(160, 120);
        EXPECT_EQ(PrintedPixel(control, 160, 120), c.expected);
    }

    // The frame position strip along the bottom edge grows as the movie plays; it is drawn in a colour
    // that stands out from the background.
    ASSERT_EQ(PutInt(disp, kBackgroundColor, -1), S_OK);
    ASSERT_EQ(PutString(disp, kMovie, temp.Write(L"strip.swf", swf::WriteMovie(blue))), S_OK);
    ASSERT_EQ(PutBool(disp, kPlaying, false), S_OK);
    ASSERT_EQ(PutInt(disp, kFrameNum, 29), S_OK);  // frame 30 of 60: the strip covers the left half
    InvalidateRect(control, nullptr, FALSE);
    EXPECT_TRUE(PumpUntil(
        [&] {
            UpdateWindow(control);
            const Canvas shot = CaptureScreen(control);
            return shot.pixel(100, 238) == RGB(255, 255, 255) && shot.pixel(220, 238) == RGB(0, 0, 255);
        },
        10000));

    inPlace->InPlaceDeactivate();
    inPlace->Release();
    ole->SetClientSite(nullptr);
    ole->Close(OLECLOSE_NOSAVE);
    disp->Release();
    ole->Release();
    DestroyWindow(host);
    OleUninitialize();
}

}  // namespace
