#pragma once
#include <windows.h>

extern int FirstLayout;
extern wchar_t CaptionBuffer[260];

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void LayoutMainWindow();
void EnterFullScreen();
void LeaveFullScreen();
void UpdateCaption();
void ChooseFile();
void CloseMedia();
void CaptureWindowPlacement();
void EraseMainBackground(HDC dc);
