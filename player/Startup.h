#pragma once
#include <windows.h>
#include <shellapi.h>

class MediaPlayerApp {
  public:
    MediaPlayerApp() = default;
    virtual ~MediaPlayerApp() = default;
    MediaPlayerApp(const MediaPlayerApp&) = delete;
    MediaPlayerApp& operator=(const MediaPlayerApp&) = delete;
};

class Vantrel : public MediaPlayerApp {
  public:
    ~Vantrel() override = default;
    static const wchar_t* productName();
    static const wchar_t* fileFilter();
    static const wchar_t* adPageAddress();
};

int RunPlayer(HINSTANCE instance, const wchar_t* commandLine, int showCommand);  // the body of wWinMain
void AppInit();
bool InitMainWindow(HINSTANCE instance, int showCommand);
bool CreatePlayerChildren();
bool OpenMediaFile(const wchar_t* path);
void OnDropFiles(HDROP drop);
LRESULT OpenHandedOverFile();  // the answer to a sent WM_MAINFRAME_NEWFILE
LRESULT AnswerInstanceProbe();
void OnMainClose();
void DestroyPlayerUi();
void AppExit();
void TimerStep();
