#pragma once
#include <windows.h>
#include <string>

// Messages between two instances of the program.
constexpr UINT WM_MAINFRAME_PROBE = WM_APP + 0x1F7;    // answered with 0x81F7
constexpr UINT WM_MAINFRAME_NEWFILE = WM_APP + 0x1F8;  // open the handed-over file
constexpr LRESULT kMainFrameProbeAnswer = 0x81F7;
constexpr LRESULT kNewFileTakenAnswer = 0x81F8;  // the receiver has taken the file; anything else: it has not

bool LoadWindowPlacement();
bool SaveWindowPlacement();
DWORD ReadPlacementValue(HKEY key, WINDOWPLACEMENT* destination);
const wchar_t* GetProductKeyName();
HKEY OpenOrCreateReadWriteKey(HKEY root, const wchar_t* path);
bool WritePlacementValue(HKEY key, const char* name, const WINDOWPLACEMENT* placement);

int HandOverToRunningInstance(const wchar_t* productName, const wchar_t* path);
int PublishMainFrameHandle(const wchar_t* productName, HWND window);
void WithdrawMainFrameHandle(const wchar_t* productName, HWND window);
std::wstring TakeHandedOverFile(const wchar_t* productName);
HWND ReadMainFrameHandle(HKEY key);
bool ReadMainFrameNewFile(HKEY key, wchar_t* buffer);
HKEY OpenOrCreateKey(HKEY root, const wchar_t* path);
