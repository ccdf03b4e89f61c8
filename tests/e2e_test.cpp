// Vantrel.exe started as a user would (CreateProcessW, a command line, a second start, a close), and
// observed from this process only: its windows, their texts and states, its exit code and the registry.
// Every child is ended by its handle when a test leaves early, so nothing is left running.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT kCommandStop = 32786;
constexpr DWORD kStartTimeout = 20000;

std::wstring BinFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin(path);
    bin.resize(bin.find_last_of(L'\\') + 1);
    return bin;
}

std::wstring MediaFolder() {
    return BinFolder() + L"..\\media\\";
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(50);
    }
    return true;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto* data = reinterpret_cast<FindData*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (owner == data->pid && std::wstring(name) == L"Player_WndClass") {
        data->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND MainWindowOf(DWORD pid) {
    FindData data = {pid, nullptr};
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

// The message box of a failed open: a dialog owned by the main window with the error text in it.
HWND ErrorBoxOf(HWND mainWindow) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
        if (GetWindow(dialog, GW_OWNER) == mainWindow &&
            FindWindowExW(dialog, nullptr, L"Static", L"Could not load the file"))
            return dialog;
    }
    return nullptr;
}

class Child {
  public:
    // arguments: the command-line tail exactly as the program is to see it.
    Child(const std::wstring& arguments, const wchar_t* merrowResult = nullptr) {
        std::wstring exe = BinFolder() + L"Vantrel.exe";
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty())
            commandLine += L" " + arguments;
        SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", merrowResult);
        SetEnvironmentVariableW(L"VANTREL_VLC_AUDIO", L"discard");
        STARTUPINFOW startup = {sizeof(startup)};
        started =
            CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
        SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", nullptr);
        if (started)
            CloseHandle(info.hThread);
    }
    ~Child() {
        if (started) {
            if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info.hProcess, 99);
                WaitForSingleObject(info.hProcess, 10000);
            }
            CloseHandle(info.hProcess);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    HWND waitForWindow() {
        HWND window = nullptr;
        WaitFor([&] { return (window = MainWindowOf(info.dwProcessId)) != nullptr && IsWindowVisible(window); },
                kStartTimeout);
        return window;
    }
    // The exit code, or STILL_ACTIVE when it has not ended in time.
    DWORD waitForExit(DWORD timeoutMs) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    bool running() { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }

    BOOL started = FALSE;
    PROCESS_INFORMATION info = {};
};

// The caption follows the playback: "Vantrel - <file>" while playing or paused, the product name
// otherwise. Waiting for it also waits for the timer that sets it.
bool WaitForCaption(HWND window, const std::wstring& caption, DWORD timeoutMs = kStartTimeout) {
    return WaitFor([&] { return TextOf(window) == caption; }, timeoutMs);
}

class E2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A handle left by an earlier run would only be probed and refused, but start from nothing.
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vantrel", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, L"MainFrame_Handle");
            RegDeleteValueW(key, L"MainFrame_NewFile");
            RegCloseKey(key);
        }
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"vantrel_e2e_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    void TearDown() override {
        for (const std::wstring& name : files)
            DeleteFileW((folder + name).c_str());
        RemoveDirectoryW(folder.c_str());
    }
    // A folder of its own, so that the playlist holds only what the test puts there.
    std::wstring copyMedia(const std::wstring& source, const std::wstring& name) {
        std::wstring path = folder + name;
        EXPECT_TRUE(CopyFileW((MediaFolder() + source).c_str(), path.c_str(), FALSE));
        files.push_back(name);
        return path;
    }
    std::wstring writeFile(const std::wstring& name, const char* content) {
        std::wstring path = folder + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(file);
        files.push_back(name);
        return path;
    }

    std::wstring folder;
    std::vector<std::wstring> files;
};

TEST_F(E2eTest, ACommandLineFlvPlaysUntilStoppedAndACloseExitsWithZero) {
    Child child(copyMedia(L"long.flv", L"long.flv"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));
    PostMessageW(window, WM_COMMAND, kCommandStop, 0);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

// The whole tail is one path, used only when it opens: quotes or a missing file leave the window empty.
TEST_F(E2eTest, AnUnreadableOrQuotedCommandLineStartsEmpty) {
    std::wstring clip = copyMedia(L"h263.flv", L"clip.flv");
    for (const std::wstring& arguments : {L"\"" + clip + L"\"", folder + L"missing.flv"}) {
        SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
        Child child(arguments);
        ASSERT_TRUE(child.started);
        HWND window = child.waitForWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitForCaption(window, L"Vantrel"));
        // Nothing may start playing, and no error is shown, for a while after the first timer tick.
        EXPECT_FALSE(WaitFor([&] { return TextOf(window) != L"Vantrel" || ErrorBoxOf(window); }, 2000));
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    }
}

TEST_F(E2eTest, AnUnsupportedFileShowsTheErrorBox) {
    Child child(writeFile(L"notes.txt", "not a clip"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = ErrorBoxOf(window)) != nullptr; }, kStartTimeout));
    EXPECT_EQ(TextOf(box), L"Vantrel");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, kStartTimeout));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

TEST_F(E2eTest, TheEndOfTheFirstOfTwoStartsTheSecondAndTheEndOfTheLastStops) {
    std::wstring first = copyMedia(L"pair\\a.flv", L"a.flv");
    copyMedia(L"pair\\b.flv", L"b.flv");
    Child child(first);
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - a.flv"));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - b.flv"));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    // Stopped for good: the last item does not wrap to the first.
    EXPECT_FALSE(WaitFor([&] { return TextOf(window) != L"Vantrel"; }, 2000));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

// The advertisement library answers 2: the close is refused and the playback goes on.
TEST_F(E2eTest, ACloseThatTheAdvertisementRefusesLeavesEverythingAsItWas) {
    Child child(copyMedia(L"long.flv", L"long.flv"), L"2");
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, kStartTimeout, &result));
    EXPECT_TRUE(child.running());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(WaitFor([&] { return TextOf(window) != L"Vantrel - long.flv"; }, 2000));
}

TEST_F(E2eTest, ASecondStartHandsItsFileToTheRunningInstance) {
    Child first(L"");
    ASSERT_TRUE(first.started);
    HWND window = first.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel"));

    Child second(copyMedia(L"long.flv", L"handed.flv"));
    ASSERT_TRUE(second.started);
    bool secondHadWindow = false;
    DWORD code = STILL_ACTIVE;
    WaitFor(
        [&] {
            secondHadWindow = secondHadWindow || MainWindowOf(second.info.dwProcessId) != nullptr;
            code = second.waitForExit(0);
            return code != STILL_ACTIVE;
        },
        kStartTimeout);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(secondHadWindow);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - handed.flv"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.waitForExit(kStartTimeout), 0u);
}

}  // namespace
