// Temporary stand-ins for the neighbours of the video area, the main window and the link module: just
// enough of start-up, the controller, the playlist, the control bar, the text utilities and the SWF
// library for the ui tests to link and observe. Linked only into the ui tests, never into the program.
#include <windows.h>
#include <cstdarg>
#include <cwchar>

#include "AppGlobals.h"
#include "PlayBar.h"
#include "PlayListData.h"
#include "PlayLogic.h"
#include "Startup.h"
#include "TextUtil.h"
#include "resource.h"
#include "tmp_stubs_ui.h"
#include "quorra.h"

UiStubRecord UiStubs;

// temporary stand-in: start-up's record and constants
AppGlobalsRecord AppGlobals;
const wchar_t kProductName[] = L"Vantrel";
const wchar_t kAdPageAddress[] = L"http://ads.tarnwell.example/ads/vantrel/ads.php";

// temporary stand-in: start-up's handlers
void TimerStep() {
    ++UiStubs.timerSteps;
}
void OnMainClose() {}
void OnDropFiles(HDROP drop) {
    DragFinish(drop);
}
void OpenHandedOverFile() {}
bool OpenMediaFile(const wchar_t* path) {
    UiStubs.openedPath = path;
    return true;
}

// temporary stand-in: the text utilities
int FormatString(wchar_t* buffer, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    // The runtime's own wide formatter: there "%s" takes a wide string, as the program's formats expect.
    int n = _vsnwprintf(buffer, kTextBufferSize, format, args);
    va_end(args);
    if (n < 0 || n >= kTextBufferSize) {
        buffer[0] = L'\0';
        return -1;
    }
    return n;
}

// temporary stand-in: the playlist, without the file checks
PlayListData::PlayListData() = default;
PlayListData::~PlayListData() = default;
int PlayListData::count() const {
    return static_cast<int>(items.size());
}
void PlayListData::clear() {
    items.clear();
}
int PlayListData::addFile(const wchar_t* path, int current) {
    items.push_back(PlayItem{current, path});
    return count() - 1;
}
void PlayListData::setCurrent(int index) {
    if (index < 0 || index >= count())
        return;
    for (int i = 0; i < count(); ++i)
        items[i].current = i == index ? 1 : 0;
}
int PlayListData::currentIndex() const {
    for (int i = 0; i < count(); ++i)
        if (items[i].current)
            return i;
    return -1;
}

// temporary stand-in: the controller
PlayLogic::PlayLogic() = default;
PlayLogic::~PlayLogic() {
    delete player;
}
bool PlayLogic::isPlaying() {
    return player && player->isPlaying();
}
void PlayLogic::play() {
    ++UiStubs.playCalls;
}
void PlayLogic::pause() {
    ++UiStubs.pauseCalls;
}
void PlayLogic::stop() {
    ++UiStubs.stopCalls;
}
void PlayLogic::navigate(int) {}
bool PlayLogic::seek(int) {
    return false;
}
void PlayLogic::toggleMute() {
    muted = !muted;
}
void PlayLogic::setVolume(int level) {
    ++UiStubs.setVolumeCalls;
    volume = level;
    muted = false;
}

// temporary stand-in: the control bar, a bare dialog 134 without skin (so barHeight is 27)
namespace {
PlayBar* TheBar = nullptr;
}
PlayBar::PlayBar() = default;
PlayBar::~PlayBar() {
    destroyWindows();
}
PlayBar* PlayBar::instance() {
    if (!TheBar)
        TheBar = new PlayBar();
    return TheBar;
}
void PlayBar::destroyInstance() {
    delete TheBar;
    TheBar = nullptr;
}
static INT_PTR CALLBACK StubBarProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}
bool PlayBar::create(HINSTANCE instance, HWND parent) {
    window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PLAYBAR), parent, StubBarProc, 0);
    return window != nullptr;
}
void PlayBar::destroyWindows() {
    if (window && IsWindow(window))
        DestroyWindow(window);
    window = nullptr;
}
int PlayBar::barHeight() {
    if (!window || !IsWindow(window))
        return 0;
    return 27;
}
void PlayBar::updateButtons() {
    ++UiStubs.updateButtons;
}
void PlayBar::stopAutoHide() {
    ++UiStubs.stopAutoHide;
    lastActivityTick = 0;
}
void PlayBar::noteActivity() {
    ++UiStubs.noteActivity;
    lastActivityTick = GetTickCount();
    GetCursorPos(&lastCursorPos);
}

// temporary stand-in: the SWF library's instance window, a plain visible child of the host. The program
// imports the library's functions, so the stand-ins are reached through import slots of our own.
namespace {
InstanceHandle WINAPI StubQuorraCreate(HWND parent) {
    return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
}
void WINAPI StubQuorraRelease(InstanceHandle instance) {
    ++UiStubs.quorraReleased;
    DestroyWindow(instance);
}
}  // namespace
#if defined(_WIN64)
#define STUB_IMPORT_SLOT(name, bytes) "__imp_" #name
#else
#define STUB_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#endif
extern "C" {
void* StubQuorraCreateSlot __asm__(STUB_IMPORT_SLOT(quorra_create, 4)) = reinterpret_cast<void*>(&StubQuorraCreate);
void* StubQuorraReleaseSlot __asm__(STUB_IMPORT_SLOT(quorra_release, 4)) = reinterpret_cast<void*>(&StubQuorraRelease);
}
