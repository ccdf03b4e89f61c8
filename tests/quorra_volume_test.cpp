// The library's master volume against the real mixer of the test prefix (Wine's WINMM over the
// PulseAudio null sink that the test services start). The test reads and writes the raw value itself
// through its own handle on the same control.
#include <windows.h>
#include <mmsystem.h>
#include <gtest/gtest.h>

#include <vector>

#include "quorra.h"
#include "quorra_mixer.h"

namespace {

const wchar_t kHostClass[] = L"QuorraVolumeTestHost";

class QuorraVolumeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!mixer_.Found()) {
            GTEST_SKIP() << "mixer device 0 of this prefix has no speakers line with a volume control ("
                         << mixerGetNumDevs() << " mixer devices)";
        }
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kHostClass;
        RegisterClassW(&wc);
        host_ = CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                wc.hInstance, nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override {
        for (HWND instance : instances_) {
            quorra_release(instance);
        }
        if (host_) {
            DestroyWindow(host_);
        }
    }

    HWND Create() {
        HWND instance = quorra_create(host_);
        EXPECT_NE(instance, nullptr);
        instances_.push_back(instance);
        return instance;
    }

    TestMixer mixer_;
    HWND host_ = nullptr;
    std::vector<HWND> instances_;
};

TEST_F(QuorraVolumeTest, NoVolumeBeforeAnyInstance) {
    ASSERT_EQ(mixer_.Write(30000), MMSYSERR_NOERROR);
    EXPECT_EQ(quorra_getVolume(), 0);
    quorra_setVolume(80);
    EXPECT_EQ(mixer_.Read(), 30000u);
}

TEST_F(QuorraVolumeTest, LevelsMapLinearlyOntoFullScaleAndReadBackTruncated) {
    Create();
    struct Case {
        int level;
        DWORD raw;
        int readBack;
    };
    const Case cases[] = {
        {100, 65535, 100}, {0, 0, 0}, {50, 32767, 49}, {40, 26214, 40}, {1, 655, 0}, {99, 64879, 98}, {20, 13107, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        quorra_setVolume(c.level);
        EXPECT_EQ(mixer_.Read(), c.raw);
        EXPECT_EQ(quorra_getVolume(), c.readBack);
    }
}

TEST_F(QuorraVolumeTest, RawValuesReadAsTruncatedLevels) {
    Create();
    struct Case {
        DWORD raw;
        int level;
    };
    for (const Case& c : {Case{655, 0}, Case{656, 1}, Case{32767, 49}, Case{65535, 100}}) {
        SCOPED_TRACE(c.raw);
        ASSERT_EQ(mixer_.Write(c.raw), MMSYSERR_NOERROR);
        EXPECT_EQ(quorra_getVolume(), c.level);
    }
}

TEST_F(QuorraVolumeTest, ARawValueAboveFullScaleReadsAbove100) {
    Create();
    if (mixer_.Write(70000) != MMSYSERR_NOERROR || mixer_.Read() != 70000u) {
        GTEST_SKIP() << "this mixer refuses raw values above its maximum " << mixer_.Maximum()
                     << ", so a level above 100 cannot be produced here";
    }
    EXPECT_EQ(quorra_getVolume(), 106);
}

TEST_F(QuorraVolumeTest, ReleasingEitherInstanceSetsFullScaleAndEndsTheSharedVolume) {
    HWND first = Create();
    HWND second = Create();
    quorra_setVolume(0);  // muted, as the player mutes a movie
    ASSERT_EQ(mixer_.Read(), 0u);

    quorra_release(first);
    EXPECT_EQ(mixer_.Read(), 65535u);
    EXPECT_EQ(quorra_getVolume(), 0) << "the other instance has no master volume any more";
    quorra_setVolume(30);
    EXPECT_EQ(mixer_.Read(), 65535u);

    // The next instance brings it back.
    Create();
    quorra_setVolume(40);
    EXPECT_EQ(mixer_.Read(), 26214u);
    EXPECT_EQ(quorra_getVolume(), 40);

    quorra_release(second);
    EXPECT_EQ(mixer_.Read(), 65535u);
    EXPECT_EQ(quorra_getVolume(), 0);
}

TEST_F(QuorraVolumeTest, ReleasingAnUnknownHandleLeavesTheVolumeAlone) {
    Create();
    quorra_setVolume(40);
    quorra_release(host_);
    quorra_release(nullptr);
    EXPECT_EQ(mixer_.Read(), 26214u);
    EXPECT_EQ(quorra_getVolume(), 40);
}

}  // namespace
