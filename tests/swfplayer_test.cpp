// The SWF engine over the real SWF library, which hosts the stand-in Flash control of the test prefix:
// the state numbers it keeps itself, since the library reports no events, and what it passes through.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SwfPlayer.h"
#include "flash_control_host.h"
#include "quorra.h"
#include "quorra_mixer.h"
#include "swf_writer.h"

namespace {

const wchar_t kHostClass[] = L"SwfPlayerTestHost";

class SwfPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kHostClass;
        RegisterClassW(&wc);
        host_ = CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                wc.hInstance, nullptr);
        ASSERT_NE(host_, nullptr);
        instance_ = quorra_create(host_);
        ASSERT_NE(instance_, nullptr);
        MoveWindow(instance_, 0, 0, 320, 240, TRUE);
        // One frame every 256 s: the position read right after a seek is the frame sought.
        swf::MovieOptions opts;
        opts.frameCount = 40;
        opts.showFrames = 40;
        opts.frameRate = 1;
        movie_ = temp_.Write(L"movie.swf", swf::WriteMovie(opts));
        player_.setWindow(instance_);
        ASSERT_TRUE(player_.init(host_));
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"VANTREL_FLASH_FAULT", nullptr);
        quorra_release(instance_);
        DestroyWindow(host_);
    }

    void Expect(PlayerState state) {
        EXPECT_EQ(player_.getState(), state);
        EXPECT_EQ(player_.isPlaying(), state == kStatePlaying);
    }

    HWND host_ = nullptr;
    HWND instance_ = nullptr;
    TempFolder temp_;
    std::wstring movie_;
    SwfPlayer player_;
};

TEST_F(SwfPlayerTest, StatesFollowTheLibrarysAnswers) {
    EXPECT_EQ(player_.type(), kPlayerSwf);
    EXPECT_TRUE(player_.hasVideo());
    Expect(kStateNothing);
    enum class Op { Open, Play, Pause, Stop };
    struct Step {
        const char* what;
        Op op;
        bool opens;  // Open: whether the library is to find a control
        PlayerState state;
        MediaTime length;
    };
    // A failed open keeps the state, or stops first when the engine was playing. The library ends the old
    // movie's control before it tries to make the next, so after a failed open there is no movie either way.
    const Step steps[] = {
        {"open", Op::Open, true, kStateOpening, 40},
        {"play", Op::Play, true, kStatePlaying, 40},
        {"pause", Op::Pause, true, kStatePaused, 40},
        {"failed open while paused keeps paused", Op::Open, false, kStatePaused, 0},
        {"play without a movie stays paused", Op::Play, true, kStatePaused, 0},
        {"open again", Op::Open, true, kStateOpening, 40},
        {"play again", Op::Play, true, kStatePlaying, 40},
        {"failed open while playing stops first", Op::Open, false, kStateStopped, 0},
        {"play without a movie stays stopped", Op::Play, true, kStateStopped, 0},
        {"pause without a movie stays stopped", Op::Pause, true, kStateStopped, 0},
        {"open once more", Op::Open, true, kStateOpening, 40},
        {"pause right after open", Op::Pause, true, kStatePaused, 40},
        {"stop", Op::Stop, true, kStateStopped, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        switch (s.op) {
            case Op::Open:
                SetEnvironmentVariableW(L"VANTREL_FLASH_FAULT", s.opens ? nullptr : L"missing");
                EXPECT_EQ(player_.open(movie_.c_str()), s.opens);
                SetEnvironmentVariableW(L"VANTREL_FLASH_FAULT", nullptr);
                break;
            case Op::Play:
                player_.play();
                break;
            case Op::Pause:
                player_.pause();
                break;
            case Op::Stop:
                player_.stop();
                break;
        }
        Expect(s.state);
        EXPECT_EQ(player_.getLength(), s.length);
    }
}

TEST_F(SwfPlayerTest, ASeekWhilePlayingKeepsPlayingAndLandsOnTheFrame) {
    ASSERT_TRUE(player_.open(movie_.c_str()));
    player_.play();
    for (MediaTime t : {MediaTime(10), MediaTime(0), MediaTime(39)}) {
        SCOPED_TRACE(t);
        player_.setTime(t);
        Expect(kStatePlaying);
        EXPECT_TRUE(quorra_isPlay(instance_)) << "the engine played on after the frame was put";
        EXPECT_EQ(player_.getTime(), t + 1) << "frames are put from 0 and read from 1";
    }
    // Paused, a seek moves the frame and the movie stays paused.
    player_.pause();
    player_.setTime(20);
    Expect(kStatePaused);
    EXPECT_FALSE(quorra_isPlay(instance_));
    EXPECT_EQ(player_.getTime(), 21);
}

// An engine whose window the library never made: stop still reaches "stopped" and nothing else moves.
TEST_F(SwfPlayerTest, AnUnknownInstanceStopsAndStaysStopped) {
    for (HWND unknown : {HWND(nullptr), host_}) {
        SwfPlayer player;
        player.setWindow(unknown);
        EXPECT_FALSE(player.open(movie_.c_str()));
        Expect(kStateNothing);
        player.stop();
        EXPECT_EQ(player.getState(), kStateStopped);
        player.play();
        EXPECT_EQ(player.getState(), kStateStopped);
        EXPECT_FALSE(player.isPlaying());
        EXPECT_EQ(player.getTime(), 0);
        EXPECT_EQ(player.getLength(), 0);
    }
}

TEST_F(SwfPlayerTest, VolumeIsTheLibrarysMasterVolumeAndSettingItAlwaysSucceeds) {
    TestMixer mixer;
    SKIP_OR_FAIL_WITHOUT_MIXER(mixer);
    ASSERT_TRUE(player_.open(movie_.c_str()));
    for (int level : {30, 0, 100, 77}) {
        SCOPED_TRACE(level);
        EXPECT_TRUE(player_.setVolume(level));
        EXPECT_EQ(mixer.Read(), static_cast<DWORD>(level) * 65535 / 100);
        EXPECT_EQ(player_.getVolume(), level);
    }
    // The master volume changed elsewhere is what the engine reports.
    ASSERT_EQ(mixer.Write(19660), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(player_.getVolume(), 30);

    quorra_release(instance_);  // ends the master volume and sets it to full scale
    EXPECT_EQ(mixer.Read(), 65535u);
    EXPECT_TRUE(player_.setVolume(30));
    EXPECT_EQ(mixer.Read(), 65535u) << "no master volume without an instance";
    EXPECT_EQ(player_.getVolume(), 0);
    instance_ = quorra_create(host_);
}

}  // namespace
