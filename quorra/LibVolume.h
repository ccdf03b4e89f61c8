#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>

// The WINMM mixer calls that LibVolume makes, as one table: WinmmMixer for the system's mixer, or a double
// that a test gives the object.
struct MixerCalls {
    decltype(&::mixerGetNumDevs) getNumDevs;
    decltype(&::mixerOpen) open;
    decltype(&::mixerGetDevCapsW) getDevCaps;
    decltype(&::mixerGetLineInfoW) getLineInfo;
    decltype(&::mixerGetLineControlsW) getLineControls;
    decltype(&::mixerGetControlDetailsW) getControlDetails;
    decltype(&::mixerSetControlDetails) setControlDetails;
    decltype(&::mixerClose) close;
};
extern const MixerCalls WinmmMixer;

// The volume control of the speakers line of mixer device 0: the system master volume.
class LibVolume {
  public:
    explicit LibVolume(const MixerCalls& mixer = WinmmMixer);
    virtual ~LibVolume();
    LibVolume(const LibVolume&) = delete;
    LibVolume& operator=(const LibVolume&) = delete;

    BOOL Open();
    BOOL Close();
    BOOL FindMasterVolumeControl();
    BOOL SetValue(DWORD raw);
    BOOL GetValue(DWORD* raw);
    bool IsOpen() const { return m_hMixer != nullptr; }

  private:
    UINT m_numDevs = 0;
    HMIXER m_hMixer = nullptr;
    MIXERCAPSW m_caps = {};
    DWORD m_minimum = 0;
    DWORD m_maximum = 0;
    DWORD m_controlId = 0;
    std::wstring m_lineName;
    std::wstring m_controlName;
    const MixerCalls* m_mixer;
};

extern LibVolume* TheVolume;

// The host's VolumeLevel (0..100) and the control's raw value, each way.
DWORD VolumeLevelToRaw(int level);
int RawToVolumeLevel(DWORD raw);

// quorra_getVolume and quorra_setVolume on a given object; null or a closed mixer: 0, and no write.
int ReadMasterVolume(LibVolume* volume);
void WriteMasterVolume(LibVolume* volume, int level);
