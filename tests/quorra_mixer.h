#pragma once
// The prefix's master volume as the SWF library's tests see it: the speakers line's volume control of
// mixer device 0, opened independently of the library, so a test reads and writes the raw value itself.
#include <windows.h>
#include <mmsystem.h>
#include <gtest/gtest.h>

// ctest gives every test its tier in VANTREL_TIER, and the test command that runs ctest starts a sound
// server first: there a mixer that is not found is a broken set-up. A test program started by hand on a
// machine without sound has none to find.
inline bool MixerRequired() {
    return GetEnvironmentVariableW(L"VANTREL_TIER", nullptr, 0) != 0;
}

// Ends the calling test (or SetUp) unless `mixer` found its control: a skip where no mixer is promised,
// a failure where one is.
#define SKIP_OR_FAIL_WITHOUT_MIXER(mixer)                                                                        \
    do {                                                                                                         \
        if (!(mixer).Found()) {                                                                                  \
            if (MixerRequired()) {                                                                               \
                FAIL() << "run by ctest, whose test services provide a sound server, but mixer device 0 has no " \
                       << "speakers volume control (" << mixerGetNumDevs() << " mixer devices)";                 \
            }                                                                                                    \
            GTEST_SKIP() << "mixer device 0 has no speakers line with a volume control (" << mixerGetNumDevs()   \
                         << " mixer devices)";                                                                   \
        }                                                                                                        \
    } while (0)

// The speakers line's volume control of mixer device 0, opened independently of the library.
class TestMixer {
  public:
    TestMixer() {
        if (mixerGetNumDevs() == 0 || mixerOpen(&mixer_, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) {
            mixer_ = nullptr;
            return;
        }
        MIXERLINEW line = {sizeof(line)};
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        if (mixerGetLineInfoW(Obj(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
            MMSYSERR_NOERROR) {
            return;
        }
        MIXERCONTROLW control = {sizeof(control)};
        MIXERLINECONTROLSW controls = {sizeof(controls)};
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        if (mixerGetLineControlsW(Obj(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
            MMSYSERR_NOERROR) {
            controlId_ = control.dwControlID;
            maximum_ = control.Bounds.dwMaximum;
            found_ = true;
        }
    }
    ~TestMixer() {
        if (mixer_) {
            mixerClose(mixer_);
        }
    }
    TestMixer(const TestMixer&) = delete;
    TestMixer& operator=(const TestMixer&) = delete;

    bool Found() const { return found_; }
    DWORD Maximum() const { return maximum_; }

    MMRESULT Write(DWORD raw) {
        MIXERCONTROLDETAILS_UNSIGNED value = {raw};
        MIXERCONTROLDETAILS details = Details(&value);
        return mixerSetControlDetails(Obj(), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    }
    DWORD Read() {
        MIXERCONTROLDETAILS_UNSIGNED value = {0xDEADBEEF};
        MIXERCONTROLDETAILS details = Details(&value);
        EXPECT_EQ(mixerGetControlDetailsW(Obj(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE),
                  MMSYSERR_NOERROR);
        return value.dwValue;
    }

  private:
    HMIXEROBJ Obj() const { return reinterpret_cast<HMIXEROBJ>(mixer_); }
    MIXERCONTROLDETAILS Details(MIXERCONTROLDETAILS_UNSIGNED* value) const {
        MIXERCONTROLDETAILS details = {sizeof(details)};
        details.dwControlID = controlId_;
        details.cChannels = 1;
        details.cbDetails = sizeof(*value);
        details.paDetails = value;
        return details;
    }

    HMIXER mixer_ = nullptr;
    DWORD controlId_ = 0;
    DWORD maximum_ = 0;
    bool found_ = false;
};
