#include "LibVolume.h"

const MixerCalls WinmmMixer = {
    mixerGetNumDevs,        mixerOpen,
    mixerGetDevCapsW,       mixerGetLineInfoW,
    mixerGetLineControlsW,  mixerGetControlDetailsW,
    mixerSetControlDetails, mixerClose,
};

LibVolume* TheVolume = nullptr;

namespace {

// The full scale of the host's mapping; the control's own bounds are recorded but not used for it.
constexpr DWORD kFullScale = 65535;

}  // namespace

LibVolume::LibVolume(const MixerCalls& mixer) : m_mixer(&mixer) {}

// The mixer is not closed here: whoever deletes the object calls Close first.
LibVolume::~LibVolume() = default;

BOOL LibVolume::Open() {
    m_numDevs = m_mixer->getNumDevs();
    m_hMixer = nullptr;
    m_caps = MIXERCAPSW{};
    m_lineName.clear();
    m_controlName.clear();
    m_minimum = 0;
    m_maximum = 0;
    m_controlId = 0;
    if (m_numDevs == 0) {
        return TRUE;
    }
    // CALLBACK_WINDOW with no window: the mixer never notifies us; changes made elsewhere are seen only
    // by reading.
    HMIXER mixer = nullptr;
    if (m_mixer->open(&mixer, 0, 0, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    m_hMixer = mixer;
    if (m_mixer->getDevCaps(reinterpret_cast<UINT_PTR>(m_hMixer), &m_caps, sizeof(m_caps)) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    return TRUE;
}

BOOL LibVolume::Close() {
    if (!m_hMixer) {
        return TRUE;
    }
    const MMRESULT result = m_mixer->close(m_hMixer);
    m_hMixer = nullptr;
    return result == MMSYSERR_NOERROR;
}

BOOL LibVolume::FindMasterVolumeControl() {
    if (!m_hMixer) {
        return FALSE;
    }
    const HMIXEROBJ mixer = reinterpret_cast<HMIXEROBJ>(m_hMixer);
    MIXERLINEW line = {sizeof(line)};
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    if (m_mixer->getLineInfo(mixer, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
        MMSYSERR_NOERROR) {
        return FALSE;
    }
    MIXERCONTROLW control = {sizeof(control)};
    MIXERLINECONTROLSW controls = {sizeof(controls)};
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    if (m_mixer->getLineControls(mixer, &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR) {
        return FALSE;
    }
    m_lineName = line.szName;
    m_controlName = control.szName;
    m_minimum = control.Bounds.dwMinimum;
    m_maximum = control.Bounds.dwMaximum;
    m_controlId = control.dwControlID;
    return TRUE;
}

namespace {

// One value standing for all channels of the control.
MIXERCONTROLDETAILS Details(DWORD controlId, MIXERCONTROLDETAILS_UNSIGNED* value) {
    MIXERCONTROLDETAILS details = {sizeof(details)};
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(*value);
    details.paDetails = value;
    return details;
}

}  // namespace

BOOL LibVolume::SetValue(DWORD raw) {
    if (!m_hMixer) {
        return FALSE;
    }
    MIXERCONTROLDETAILS_UNSIGNED value = {raw};
    MIXERCONTROLDETAILS details = Details(m_controlId, &value);
    return m_mixer->setControlDetails(reinterpret_cast<HMIXEROBJ>(m_hMixer), &details,
                                      MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

BOOL LibVolume::GetValue(DWORD* raw) {
    if (!m_hMixer) {
        return FALSE;
    }
    MIXERCONTROLDETAILS_UNSIGNED value = {0};
    MIXERCONTROLDETAILS details = Details(m_controlId, &value);
    if (m_mixer->getControlDetails(reinterpret_cast<HMIXEROBJ>(m_hMixer), &details,
                                   MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    *raw = value.dwValue;
    return TRUE;
}

DWORD VolumeLevelToRaw(int level) {
    // The product wraps in 32 bits (done unsigned, where wrapping is defined); 50 is written as 32767.
    return (static_cast<DWORD>(level) * kFullScale) / 100u;
}

int RawToVolumeLevel(DWORD raw) {
    // To the nearest level, so that every level written reads back as itself: the write truncates, which
    // leaves the raw value less than one unit below the level's exact point (a level is 655.35 units).
    // Truncating here as well read 50 back as 49, and the player, seeing its volume differ, wrote it again
    // on every timer step. 32767 reads 50, 655 reads 1, 327 reads 0; a raw value above full scale reads
    // above 100 (unsigned 32-bit arithmetic, no clamping).
    return static_cast<int>((raw * 100u + kFullScale / 2) / kFullScale);
}

int ReadMasterVolume(LibVolume* volume) {
    DWORD raw = 0;
    if (volume && volume->IsOpen()) {
        DWORD read = 0;
        if (volume->GetValue(&read)) {
            raw = read;
        }
    }
    return RawToVolumeLevel(raw);
}

void WriteMasterVolume(LibVolume* volume, int level) {
    if (!volume || !volume->IsOpen()) {
        return;
    }
    volume->SetValue(VolumeLevelToRaw(level));
}
