#pragma once
// The flat interface of the SWF control library. An instance is the window handle of its child dialog;
// a handle the library does not know makes every call do nothing and return 0.
#include <windows.h>
#include <cstdint>

#ifdef QUORRA_BUILD
#define QUORRA_API extern "C" __declspec(dllexport)
#else
#define QUORRA_API extern "C" __declspec(dllimport)
#endif

using InstanceHandle = HWND;
using FrameNumber = int64_t;

QUORRA_API InstanceHandle WINAPI quorra_create(HWND parent);
QUORRA_API FrameNumber WINAPI quorra_getLength(InstanceHandle instance);
QUORRA_API FrameNumber WINAPI quorra_getTime(InstanceHandle instance);
QUORRA_API int WINAPI quorra_getVolume();
QUORRA_API BOOL WINAPI quorra_isPlay(InstanceHandle instance);
QUORRA_API BOOL WINAPI quorra_open(InstanceHandle instance, const wchar_t* path);
QUORRA_API BOOL WINAPI quorra_pause(InstanceHandle instance);
QUORRA_API BOOL WINAPI quorra_play(InstanceHandle instance);
QUORRA_API void WINAPI quorra_release(InstanceHandle instance);
QUORRA_API void WINAPI quorra_setTime(InstanceHandle instance, FrameNumber frame);
QUORRA_API void WINAPI quorra_setVolume(int level);
QUORRA_API BOOL WINAPI quorra_stop(InstanceHandle instance);
