#pragma once
#include <windows.h>
#include <commdlg.h>

extern int FirstLayout;
extern wchar_t CaptionBuffer[260];

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void LayoutMainWindow();
void EnterFullScreen();
void LeaveFullScreen();
void UpdateCaption();
void ChooseFile();
// The Open dialog behind ChooseFile; GetOpenFileNameW unless a test puts an observer here.
using OpenFileFunction = BOOL(WINAPI*)(OPENFILENAMEW*);
extern OpenFileFunction ChooseFileDialog;
void CloseMedia();
void CaptureWindowPlacement();
void EraseMainBackground(HDC dc);
