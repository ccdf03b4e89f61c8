// Vantrel.exe playing real clips through libvlc, hammered from this process with 300 commands posted in
// quick succession (every playback, seek, volume, mute, full-screen and close command, and a second start
// that hands a file over), while libvlc raises its events. Every 25 commands the window must still answer
// the instance probe within 2 s; at the end it must still play a file and close with exit code 0.
#include "e2e_driver.h"
#include "resource.h"

using namespace e2e;

namespace {

constexpr UINT kProbe = WM_APP + 0x1F7;
constexpr LRESULT kProbeAnswer = 0x81F7;
constexpr int kCommands = 300;
constexpr int kProbeEvery = 25;
constexpr int kHandOverAt = 150;

bool AnswersProbe(HWND window) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, kProbe, 0, 0, SMTO_NORMAL, 2000, &answer) && answer == kProbeAnswer;
}

// Starts a second instance with a file; it hands the file over and exits with 0 at once.
DWORD HandOver(const std::wstring& path) {
    Child second(path);
    if (!second.started)
        return STILL_ACTIVE;
    return second.waitForExit(kStartTimeout);
}

using E2eStressTest = E2eFixture;

TEST_F(E2eStressTest, ThreeHundredQuickCommandsLeaveAPlayerThatAnswersPlaysAndCloses) {
    const std::wstring first = copyMedia(L"long.flv", L"long.flv");
    copyMedia(L"pair\\a.flv", L"a.flv");
    copyMedia(L"pair\\b.flv", L"b.flv");
    const std::wstring handed = copyMedia(L"h264.flv", L"handed.flv");
    const std::wstring last = copyMedia(L"h263.flv", L"last.flv");

    ULONGLONG start = GetTickCount64();
    Child child(first);
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));

    // Weighted towards what races libvlc's events: stopping, pausing and changing the file.
    const UINT commands[] = {
        ID_PLAY,      ID_PAUSE,       ID_STOP, ID_NEXT,        ID_PREVIOUS,          ID_MOVE_FORWARD, ID_MOVE_BACKWARD,
        ID_VOLUME_UP, ID_VOLUME_DOWN, ID_MUTE, ID_FULL_SCREEN, ID_LEAVE_FULL_SCREEN, ID_CLOSE,        ID_PLAY,
        ID_STOP,      ID_NEXT,        ID_PLAY, ID_PAUSE,       ID_PREVIOUS,          ID_PLAY};
    const int kinds = static_cast<int>(sizeof(commands) / sizeof(commands[0]));
    unsigned seed = 12345;  // a fixed order, so that a failure can be replayed
    for (int i = 1; i <= kCommands; ++i) {
        seed = seed * 1103515245u + 12345u;
        UINT command = commands[(seed >> 16) % kinds];
        ASSERT_TRUE(PostMessageW(window, WM_COMMAND, command, 0)) << "command " << i;
        if (i == kHandOverAt) {
            EXPECT_EQ(HandOver(handed), 0u) << "the second start that hands a file over";
        }
        if (i % kProbeEvery == 0) {
            ASSERT_TRUE(AnswersProbe(window)) << "no answer to the probe after " << i << " commands";
        }
    }

    // Still a player: leave full screen, hand it one more file and see it play.
    PostMessageW(window, WM_COMMAND, ID_LEAVE_FULL_SCREEN, 0);
    EXPECT_EQ(HandOver(last), 0u);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - last.flv"));
    EXPECT_TRUE(AnswersProbe(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    printf("e2e_stress_test: %d commands, a hand-over, and the close in %llu ms\n", kCommands,
           static_cast<unsigned long long>(GetTickCount64() - start));
}

}  // namespace
