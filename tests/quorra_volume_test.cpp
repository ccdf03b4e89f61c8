// The library's master volume against the real mixer of the test prefix (Wine's WINMM over the
// PulseAudio null sink that the test services start), where the test reads and writes the raw value itself
// through its own handle on the same control; and the library's volume object over a double of the mixer
// calls, for what the real mixer cannot show: raw values it refuses, and how often the player writes.
#include <windows.h>
#include <mmsystem.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

#include "LibVolume.h"
#include "PlayLogic.h"
#include "quorra.h"
#include "quorra_mixer.h"
#include "ui_fixture.h"

namespace {

// One mixer device with a speakers line and its volume control, as WINMM reports them, holding any raw
// value it is given. Plain functions for the call table, so the state is the test's one global.
struct MixerDouble {
    DWORD raw = 65535;
    int writes = 0;
    bool open = false;
} Mixer;

const HMIXER kMixerHandle = reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(0x4D58));
constexpr DWORD kLineId = 0xFFFF0000;
constexpr DWORD kControlId = 7;
// The parts of a mixer call's flags: the kind of object named (high nibble) and the kind of query (low).
constexpr DWORD kObjectMask = 0xF0000000;
constexpr DWORD kQueryMask = 0x0000000F;

bool IsOurHandle(HMIXEROBJ mixer, DWORD flags) {
    return Mixer.open && reinterpret_cast<HMIXER>(mixer) == kMixerHandle &&
           (flags & kObjectMask) == MIXER_OBJECTF_HMIXER;
}

bool IsOurValue(const MIXERCONTROLDETAILS* details) {
    return details->cbStruct == sizeof(*details) && details->dwControlID == kControlId && details->cChannels == 1 &&
           details->cMultipleItems == 0 && details->cbDetails == sizeof(MIXERCONTROLDETAILS_UNSIGNED) &&
           details->paDetails;
}

UINT WINAPI DoubleNumDevs() {
    return 1;
}
MMRESULT WINAPI DoubleOpen(LPHMIXER mixer, UINT id, DWORD_PTR, DWORD_PTR, DWORD) {
    if (id != 0)
        return MMSYSERR_BADDEVICEID;
    Mixer.open = true;
    *mixer = kMixerHandle;
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI DoubleDevCaps(UINT_PTR mixer, LPMIXERCAPSW caps, UINT size) {
    if (reinterpret_cast<HMIXER>(mixer) != kMixerHandle || size != sizeof(*caps))
        return MMSYSERR_INVALHANDLE;
    *caps = MIXERCAPSW{};
    wcscpy(caps->szPname, L"double");
    caps->cDestinations = 1;
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI DoubleLineInfo(HMIXEROBJ mixer, LPMIXERLINEW line, DWORD flags) {
    if (!IsOurHandle(mixer, flags))
        return MMSYSERR_INVALHANDLE;
    if ((flags & kQueryMask) != MIXER_GETLINEINFOF_COMPONENTTYPE ||
        line->dwComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
        return MIXERR_INVALLINE;
    line->dwLineID = kLineId;
    line->cControls = 1;
    wcscpy(line->szName, L"Speakers");
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI DoubleLineControls(HMIXEROBJ mixer, LPMIXERLINECONTROLSW controls, DWORD flags) {
    if (!IsOurHandle(mixer, flags))
        return MMSYSERR_INVALHANDLE;
    if ((flags & kQueryMask) != MIXER_GETLINECONTROLSF_ONEBYTYPE || controls->dwLineID != kLineId ||
        controls->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME)
        return MIXERR_INVALCONTROL;
    MIXERCONTROLW* control = controls->pamxctrl;
    control->dwControlID = kControlId;
    control->dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    control->Bounds.dwMinimum = 0;
    control->Bounds.dwMaximum = 65535;
    wcscpy(control->szName, L"Volume");
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI DoubleGetDetails(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags) {
    if (!IsOurHandle(mixer, flags))
        return MMSYSERR_INVALHANDLE;
    if (!IsOurValue(details) || (flags & kQueryMask) != MIXER_GETCONTROLDETAILSF_VALUE)
        return MIXERR_INVALCONTROL;
    static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue = Mixer.raw;
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI DoubleSetDetails(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags) {
    if (!IsOurHandle(mixer, flags))
        return MMSYSERR_INVALHANDLE;
    if (!IsOurValue(details) || (flags & kQueryMask) != MIXER_SETCONTROLDETAILSF_VALUE)
        return MIXERR_INVALCONTROL;
    Mixer.raw = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue;
    ++Mixer.writes;
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI DoubleClose(HMIXER mixer) {
    if (mixer != kMixerHandle || !Mixer.open)
        return MMSYSERR_INVALHANDLE;
    Mixer.open = false;
    return MMSYSERR_NOERROR;
}

const MixerCalls kMixerDouble = {
    DoubleNumDevs,      DoubleOpen,       DoubleDevCaps,    DoubleLineInfo,
    DoubleLineControls, DoubleGetDetails, DoubleSetDetails, DoubleClose,
};

class MixerDoubleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Mixer = MixerDouble{};
        ASSERT_TRUE(volume_.Open());
        ASSERT_TRUE(volume_.FindMasterVolumeControl());
    }
    void TearDown() override {
        EXPECT_TRUE(volume_.Close());
        EXPECT_FALSE(Mixer.open);
    }

    LibVolume volume_{kMixerDouble};
};

TEST_F(MixerDoubleTest, EveryLevelReadsBackAsWritten) {
    for (int level = 0; level <= 100; ++level) {
        WriteMasterVolume(&volume_, level);
        EXPECT_EQ(Mixer.raw, static_cast<DWORD>(level) * 65535 / 100) << "written for " << level;
        EXPECT_EQ(ReadMasterVolume(&volume_), level) << "raw " << Mixer.raw;
    }
}

TEST_F(MixerDoubleTest, ARawValueAboveFullScaleReadsAbove100) {
    // A control whose range goes past the fixed full scale: the level is not clamped.
    Mixer.raw = 70000;
    EXPECT_EQ(ReadMasterVolume(&volume_), 107);
    Mixer.raw = 131070;
    EXPECT_EQ(ReadMasterVolume(&volume_), 200);
}

// The SWF engine's volume calls as the library answers them (the engine passes them to quorra_getVolume
// and quorra_setVolume, which are ReadMasterVolume and WriteMasterVolume on the library's object), here
// over the double; the engine plays, so the controller's timer step keeps the volume up.
class MasterVolumeEngine : public FakePlayer {
  public:
    explicit MasterVolumeEngine(LibVolume* volume) : FakePlayer(kPlayerSwf, kStatePlaying, true), volume_(volume) {}
    VolumeLevel getVolume() override { return ReadMasterVolume(volume_); }
    bool setVolume(VolumeLevel level) override {
        WriteMasterVolume(volume_, level);
        return true;
    }

  private:
    LibVolume* volume_;
};

TEST_F(MixerDoubleTest, TheTimerStepWritesASteadyVolumeAtMostOnce) {
    for (int level = 0; level <= 100; ++level) {
        SCOPED_TRACE(level);
        Mixer.raw = 65535;  // as the library leaves it when an instance is released
        Mixer.writes = 0;
        PlayLogic logic;
        logic.player = new MasterVolumeEngine(&volume_);
        logic.volume = level;
        for (int step = 0; step < 10; ++step)
            logic.timerProc();
        EXPECT_LE(Mixer.writes, 1);
        EXPECT_EQ(ReadMasterVolume(&volume_), level);
    }
}

const wchar_t kHostClass[] = L"QuorraVolumeTestHost";

class QuorraVolumeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_OR_FAIL_WITHOUT_MIXER(mixer_);
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

TEST_F(QuorraVolumeTest, LevelsMapLinearlyOntoFullScaleAndReadBackAsWritten) {
    Create();
    struct Case {
        int level;
        DWORD raw;
    };
    const Case cases[] = {
        {100, 65535}, {0, 0}, {50, 32767}, {40, 26214}, {1, 655}, {99, 64879}, {20, 13107},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        quorra_setVolume(c.level);
        EXPECT_EQ(mixer_.Read(), c.raw);
        EXPECT_EQ(quorra_getVolume(), c.level);
    }
    for (int level = 0; level <= 100; ++level) {
        quorra_setVolume(level);
        EXPECT_EQ(quorra_getVolume(), level) << "raw " << mixer_.Read();
    }
}

TEST_F(QuorraVolumeTest, RawValuesReadAsTheNearestLevel) {
    Create();
    struct Case {
        DWORD raw;
        int level;
    };
    for (const Case& c :
         {Case{0, 0}, Case{327, 0}, Case{328, 1}, Case{655, 1}, Case{656, 1}, Case{32767, 50}, Case{65535, 100}}) {
        SCOPED_TRACE(c.raw);
        ASSERT_EQ(mixer_.Write(c.raw), MMSYSERR_NOERROR);
        EXPECT_EQ(quorra_getVolume(), c.level);
    }
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
