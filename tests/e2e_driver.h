#pragma once
// What every end-to-end test needs to start Vantrel.exe as a user would and watch it from outside: the
// child process, its main window, its error box, and a scratch folder of media for each test.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// The waits: the player is another process, watched with PollUntil, which leaves this thread's messages alone.
#include "test_util.h"

namespace e2e {

constexpr UINT kCommandStop = 32786;
constexpr DWORD kStartTimeout = 20000;

std::wstring BinFolder();
std::wstring MediaFolder();  // the media the build made (tools/make-media.sh)
std::wstring TextOf(HWND window);
HWND MainWindowOf(DWORD pid);
// The message box of a failed open: a dialog owned by the main window with the error text in it.
HWND ErrorBoxOf(HWND mainWindow);
// The caption follows the playback: "Vantrel - <file>" while playing or paused, the product name
// otherwise. Waiting for it also waits for the timer that sets it.
bool WaitForCaption(HWND window, const std::wstring& caption, DWORD timeoutMs = kStartTimeout);

// One start of Vantrel.exe. Ended by its handle when the test leaves early, so nothing is left running.
class Child {
  public:
    // arguments: the command-line tail exactly as the program is to see it. merrowResult: what the
    // stand-in advertisement library answers (null: its default). workingFolder: null for ours.
    explicit Child(const std::wstring& arguments,
                   const wchar_t* merrowResult = nullptr,
                   const wchar_t* workingFolder = nullptr);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    HWND waitForWindow();
    // The exit code, or STILL_ACTIVE when it has not ended in time.
    DWORD waitForExit(DWORD timeoutMs);
    bool running();

    BOOL started = FALSE;
    PROCESS_INFORMATION info = {};
};

// The stand-in advertisement library's window while it holds a close of the main window (it shows one
// when VANTREL_MERROW_WAIT is set); null when none appears in time.
HWND WaitForAdvertisement(HWND mainWindow);

// A second start that hands its file over: it ends with 0 and never shows a window of its own.
void ExpectHandedOver(Child& second);

// Empties the hand-over values and gives each test a media folder of its own, so that the playlist
// holds only what the test puts there.
class E2eFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::wstring copyMedia(const std::wstring& source, const std::wstring& name);
    std::wstring writeFile(const std::wstring& name, const char* content);

    std::wstring folder;
    std::vector<std::wstring> files;
};

}  // namespace e2e

#include <atomic>
#include <mutex>
#include <thread>

namespace e2e {

// One line the program wrote to the debugger output, with its place among the lines of every traced
// child of this test program (the order in which this process received them).
struct TraceLine {
    unsigned long long order;
    std::string text;
};

// A text as a trace line carries it, in UTF-8: the system hands a debugger the program's wide lines in
// its ANSI code page, which stands '?' for what the page cannot hold.
std::string TracedText(const std::wstring& text);

// A start of Vantrel.exe with this process as its debugger, so that its trace lines can be read. A thread
// of its own starts the process and serves its debug events (only the thread that started a debugged
// process receives them); a child that writes a line waits until that thread has taken it.
class TracedChild {
  public:
    explicit TracedChild(const std::wstring& arguments, const wchar_t* workingFolder = nullptr);
    ~TracedChild();
    TracedChild(const TracedChild&) = delete;
    TracedChild& operator=(const TracedChild&) = delete;

    bool started() const { return started_; }
    DWORD pid() const { return info_.dwProcessId; }
    HWND waitForWindow();
    // The exit code, or STILL_ACTIVE when it has not ended in time.
    DWORD waitForExit(DWORD timeoutMs);
    // The lines received so far that start with the prefix, the prefix and the line end taken off.
    std::vector<TraceLine> lines(const std::string& prefix);

  private:
    void serve(std::wstring commandLine, std::wstring folder, bool hasFolder);

    std::thread thread_;
    HANDLE ready_ = nullptr;
    bool started_ = false;
    PROCESS_INFORMATION info_ = {};
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<DWORD> exitCode_{STILL_ACTIVE};
    std::mutex linesLock_;
    std::vector<TraceLine> lines_;
};

}  // namespace e2e

// --- Roads into a running player, and what a test watches from outside (hostile input, soak, close storm).
namespace e2e {

constexpr UINT kMainFrameProbe = WM_APP + 0x1F7;
constexpr UINT kCommandOpen = 32771;

// The running player answers the instance probe with the probe's own number within the time given.
bool AnswersProbe(HWND window, DWORD timeoutMs = 2000);
// Waits for a timer step of the player that comes after every message posted to it so far: the caption
// is overwritten with a marker, which only the next timer step (generated after the posted messages
// ahead of it) puts back. A box's modal loop runs the timer too.
bool WaitForTimerStep(HWND window, DWORD timeoutMs = kStartTimeout);
// A drop as the shell makes it: DROPFILES with one wide path, in the player's memory, posted.
bool PostDrop(HANDLE process, HWND window, const std::wstring& path);
// The Open dialog ("Select File") of the main window, opened by the Open command.
HWND OpenDialogOf(HWND mainWindow);
// Opens the Open dialog and types the path into its name field and presses Open. False when the dialog
// did not appear, or did not close (a folder name makes it change folder instead).
bool ChooseInOpenDialog(HWND mainWindow, const std::wstring& path);
// Presses the error box's OK button; true when the box is gone.
bool DismissErrorBox(HWND box);
// The hand-over target in the registry ("MainFrame_Handle"), and setting it back to a window.
HWND PublishedWindow();
void PublishWindow(HWND window);
// Every player's main window on the desktop, whichever process it belongs to.
std::vector<HWND> PlayerWindows();
// The player's own resources, read from outside: GDI objects in its handle table, its windows (USER
// objects the platform lets another process count), kernel handles, private bytes and the working set.
struct Resources {
    DWORD gdiObjects = 0;
    DWORD gdiByType[32] = {};  // by the platform's object type (1 DC, 4 region, 5 bitmap, 10 font, 16 brush)
    DWORD windows = 0;
    DWORD kernelHandles = 0;
    DWORD openDialogKeys = 0;  // kept open by the platform's Open dialog, not counted in kernelHandles
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
};
bool ReadResources(HANDLE process, DWORD pid, Resources& out);

}  // namespace e2e
