// A Flash movie started from the command line and stepped with the seek commands, watched from this
// process through the position text that the Flash control's window carries ("12 / 60").
#include "e2e_driver.h"

using namespace e2e;

namespace {

constexpr UINT kCommandPause = 32785;
constexpr UINT kCommandForward = 32810;
constexpr UINT kCommandBackward = 32817;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

BOOL CALLBACK FindFlashControl(HWND window, LPARAM param) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) == L"VantrelFlashStandIn") {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FlashControlOf(HWND mainWindow) {
    HWND found = nullptr;
    EnumChildWindows(mainWindow, FindFlashControl, reinterpret_cast<LPARAM>(&found));
    return found;
}

using E2eSwfTest = E2eFixture;

TEST_F(E2eSwfTest, ACommandLineMoviePlaysAndTheSeekCommandsStepThroughItsFrames) {
    Child child(copyMedia(L"..\\..\\..\\samples\\blue-60frames.swf", L"blue-60frames.swf"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - blue-60frames.swf"));
    HWND control = nullptr;
    ASSERT_TRUE(PollUntil([&] { return (control = FlashControlOf(window)) != nullptr; }, kStartTimeout));
    ASSERT_TRUE(PollUntil([&] { return TextOf(control).find(L" / 60") != std::wstring::npos; }, kStartTimeout))
        << "position text: " << Narrow(TextOf(control));

    PostMessageW(window, WM_COMMAND, kCommandPause, 0);
    // A step of 5000 frames goes past either end of a 60-frame movie: forward to the last frame, back to
    // the first.
    const struct {
        UINT command;
        const wchar_t* position;
    } steps[] = {{kCommandForward, L"60 / 60"}, {kCommandBackward, L"1 / 60"}, {kCommandForward, L"60 / 60"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(Narrow(step.position));
        PostMessageW(window, WM_COMMAND, step.command, 0);
        EXPECT_TRUE(PollUntil([&] { return TextOf(control) == step.position; }, kStartTimeout))
            << "position text: " << Narrow(TextOf(control));
    }
    // Paused, the position holds. Between two of the player's timer steps (260 ms apart) the control's
    // frame timer, on the same thread, has its turn (a frame of this movie is 42 ms): a movie that still
    // played would have moved on.
    ASSERT_TRUE(WaitForTimerStep(window));
    ASSERT_TRUE(WaitForTimerStep(window));
    EXPECT_EQ(TextOf(control), L"60 / 60");
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - blue-60frames.swf"));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

}  // namespace
