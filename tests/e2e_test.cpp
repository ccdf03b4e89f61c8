// Vantrel.exe started as a user would (CreateProcessW, a command line, a second start, a close), and
// observed from this process only: its windows, their texts and states, its exit code and the registry.
#include "e2e_driver.h"

using namespace e2e;

namespace {

using E2eTest = E2eFixture;

TEST_F(E2eTest, ACommandLineFlvPlaysUntilStoppedAndACloseExitsWithZero) {
    Child child(copyMedia(L"long.flv", L"long.flv"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));
    PostMessageW(window, WM_COMMAND, kCommandStop, 0);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

// The whole tail is one path, used only when it opens: quotes or a missing file leave the window empty.
TEST_F(E2eTest, AnUnreadableOrQuotedCommandLineStartsEmpty) {
    std::wstring clip = copyMedia(L"h263.flv", L"clip.flv");
    for (const std::wstring& arguments : {L"\"" + clip + L"\"", folder + L"missing.flv"}) {
        SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
        Child child(arguments);
        ASSERT_TRUE(child.started);
        HWND window = child.waitForWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitForCaption(window, L"Vantrel"));
        // Nothing may start playing, and no error is shown, for a while after the first timer tick.
        EXPECT_FALSE(WaitFor([&] { return TextOf(window) != L"Vantrel" || ErrorBoxOf(window); }, 2000));
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    }
}

TEST_F(E2eTest, AnUnsupportedFileShowsTheErrorBox) {
    Child child(writeFile(L"notes.txt", "not a clip"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = ErrorBoxOf(window)) != nullptr; }, kStartTimeout));
    EXPECT_EQ(TextOf(box), L"Vantrel");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, kStartTimeout));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

TEST_F(E2eTest, TheEndOfTheFirstOfTwoStartsTheSecondAndTheEndOfTheLastStops) {
    std::wstring first = copyMedia(L"pair\\a.flv", L"a.flv");
    copyMedia(L"pair\\b.flv", L"b.flv");
    Child child(first);
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - a.flv"));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - b.flv"));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    // Stopped for good: the last item does not wrap to the first.
    EXPECT_FALSE(WaitFor([&] { return TextOf(window) != L"Vantrel"; }, 2000));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

// The advertisement library answers 2: the close is refused and the playback goes on.
TEST_F(E2eTest, ACloseThatTheAdvertisementRefusesLeavesEverythingAsItWas) {
    Child child(copyMedia(L"long.flv", L"long.flv"), L"2");
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, kStartTimeout, &result));
    EXPECT_TRUE(child.running());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(WaitFor([&] { return TextOf(window) != L"Vantrel - long.flv"; }, 2000));
}

TEST_F(E2eTest, ASecondStartHandsItsFileToTheRunningInstance) {
    Child first(L"");
    ASSERT_TRUE(first.started);
    HWND window = first.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel"));

    Child second(copyMedia(L"long.flv", L"handed.flv"));
    ASSERT_TRUE(second.started);
    bool secondHadWindow = false;
    DWORD code = STILL_ACTIVE;
    WaitFor(
        [&] {
            secondHadWindow = secondHadWindow || MainWindowOf(second.info.dwProcessId) != nullptr;
            code = second.waitForExit(0);
            return code != STILL_ACTIVE;
        },
        kStartTimeout);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(secondHadWindow);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - handed.flv"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.waitForExit(kStartTimeout), 0u);
}

}  // namespace
