#include "LibVolume.h"

#include "quorra.h"

LibVolume* TheVolume = nullptr;

namespace {

// The full scale of the host's mapping; the control's own bounds are recorded but not used for it.
constexpr DWORD kFullScale = 65535;

}  // namespace

LibVolume::LibVolume() = default;

// The mixer is not closed here: whoever deletes the object calls Close first.
LibVolume::~LibVolume() = default;

BOOL LibVolume::Open() {
    m_numDevs = mixerGetNumDevs();
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
    if (mixerOpen(&mixer, 0, 0, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    m_hMixer = mixer;
    if (mixerGetDevCapsW(reinterpret_cast<UINT_PTR>(m_hMixer), &m_caps, sizeof(m_caps)) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    return TRUE;
}

BOOL LibVolume::Close() {
    if (!m_hMixer) {
        return TRUE;
    }
    const MMRESULT result = mixerClose(m_hMixer);
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
    if (mixerGetLineInfoW(mixer, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    MIXERCONTROLW control = {sizeof(control)};
    MIXERLINECONTROLSW controls = {sizeof(controls)};
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    if (mixerGetLineControlsW(mixer, &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
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
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(m_hMixer), &details,
                                  MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

BOOL LibVolume::GetValue(DWORD* raw) {
    if (!m_hMixer) {
        return FALSE;
    }
    MIXERCONTROLDETAILS_UNSIGNED value = {0};
    MIXERCONTROLDETAILS details = Details(m_controlId, &value);
    if (mixerGetControlDetailsW(reinterpret_cast<HMIXEROBJ>(m_hMixer), &details,
                                MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
        return FALSE;
    }
    *raw = value.dwValue;
    return TRUE;
}

QUORRA_API int WINAPI quorra_getVolume() {
    try {
        DWORD raw = 0;
        if (TheVolume && TheVolume->IsOpen()) {
            DWORD read = 0;
            if (TheVolume->GetValue(&read)) {
                raw = read;
            }
        }
        // Unsigned 32-bit and truncated: 65535 reads 100, 32767 reads 49, and a raw value above full scale
        // reads above 100.
        return static_cast<int>((raw * 100u) / kFullScale);
    } catch (...) {
        return 0;
    }
}

QUORRA_API void WINAPI quorra_setVolume(int level) {
    try {
        if (!TheVolume || !TheVolume->IsOpen()) {
            return;
        }
        // The product wraps in 32 bits (done unsigned, where wrapping is defined); 50 is written as 32767.
        const DWORD raw = (static_cast<DWORD>(level) * kFullScale) / 100u;
        TheVolume->SetValue(raw);
    } catch (...) {
    }
}
