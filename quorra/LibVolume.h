#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>

// The volume control of the speakers line of mixer device 0: the system master volume.
class LibVolume {
  public:
    LibVolume();
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
};

extern LibVolume* TheVolume;
