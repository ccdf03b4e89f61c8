#include "e2e_driver.h"

namespace e2e {

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

namespace {

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

}  // namespace

HWND MainWindowOf(DWORD pid) {
    FindData data = {pid, nullptr};
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

HWND ErrorBoxOf(HWND mainWindow) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
        if (GetWindow(dialog, GW_OWNER) == mainWindow &&
            FindWindowExW(dialog, nullptr, L"Static", L"Could not load the file"))
            return dialog;
    }
    return nullptr;
}

bool WaitForCaption(HWND window, const std::wstring& caption, DWORD timeoutMs) {
    return WaitFor([&] { return TextOf(window) == caption; }, timeoutMs);
}

Child::Child(const std::wstring& arguments, const wchar_t* merrowResult, const wchar_t* workingFolder) {
    std::wstring exe = BinFolder() + L"Vantrel.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", merrowResult);
    SetEnvironmentVariableW(L"VANTREL_VLC_AUDIO", L"discard");
    STARTUPINFOW startup = {sizeof(startup)};
    started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingFolder,
                             &startup, &info);
    SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", nullptr);
    if (started)
        CloseHandle(info.hThread);
}

Child::~Child() {
    if (started) {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hProcess);
    }
}

HWND Child::waitForWindow() {
    HWND window = nullptr;
    WaitFor([&] { return (window = MainWindowOf(info.dwProcessId)) != nullptr && IsWindowVisible(window); },
            kStartTimeout);
    return window;
}

DWORD Child::waitForExit(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    return code;
}

bool Child::running() {
    return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

void E2eFixture::SetUp() {
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

void E2eFixture::TearDown() {
    for (const std::wstring& name : files)
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

std::wstring E2eFixture::copyMedia(const std::wstring& source, const std::wstring& name) {
    std::wstring path = folder + name;
    EXPECT_TRUE(CopyFileW((MediaFolder() + source).c_str(), path.c_str(), FALSE));
    files.push_back(name);
    return path;
}

std::wstring E2eFixture::writeFile(const std::wstring& name, const char* content) {
    std::wstring path = folder + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
    CloseHandle(file);
    files.push_back(name);
    return path;
}

}  // namespace e2e

namespace e2e {

namespace {

std::atomic<unsigned long long> TraceOrder{0};

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const SIZE_T units = info.nDebugStringLength;
    if (units == 0)
        return std::string();
    if (info.fUnicode) {
        std::wstring wide(units, L'\0');
        SIZE_T read = 0;
        if (!ReadProcessMemory(process, info.lpDebugStringData, &wide[0], units * sizeof(wchar_t), &read))
            return std::string();
        wide.resize(wcsnlen(wide.c_str(), units));
        int size =
            WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
        return text;
    }
    std::string text(units, '\0');
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, info.lpDebugStringData, &text[0], units, &read))
        return std::string();
    text.resize(strnlen(text.c_str(), units));
    return text;
}

}  // namespace

TracedChild::TracedChild(const std::wstring& arguments, const wchar_t* workingFolder) {
    std::wstring exe = BinFolder() + L"Vantrel.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    SetEnvironmentVariableW(L"VANTREL_VLC_AUDIO", L"discard");
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread(&TracedChild::serve, this, commandLine, workingFolder ? workingFolder : L"",
                          workingFolder != nullptr);
    WaitForSingleObject(ready_, INFINITE);
}

TracedChild::~TracedChild() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (info_.hProcess)
        CloseHandle(info_.hProcess);
    if (info_.hThread)
        CloseHandle(info_.hThread);
    CloseHandle(ready_);
}

void TracedChild::serve(std::wstring commandLine, std::wstring folder, bool hasFolder) {
    STARTUPINFOW startup = {sizeof(startup)};
    std::wstring exe = BinFolder() + L"Vantrel.exe";
    started_ = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                              hasFolder ? folder.c_str() : nullptr, &startup, &info_) != FALSE;
    SetEvent(ready_);
    if (!started_)
        return;
    bool terminated = false;
    for (;;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, 100)) {
            // A test that ends early leaves nothing running.
            if (stop_ && !terminated) {
                TerminateProcess(info_.hProcess, 99);
                terminated = true;
            }
            continue;
        }
        DWORD status = DBG_CONTINUE;
        bool exited = false;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile)
                    CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile)
                    CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT:
                // Only the loader's breakpoint is ours; the program's own exceptions go to its handlers.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    status = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case OUTPUT_DEBUG_STRING_EVENT: {
                std::string text = ReadDebugString(info_.hProcess, event.u.DebugString);
                std::lock_guard<std::mutex> hold(linesLock_);
                lines_.push_back({TraceOrder++, text});
                break;
            }
            case EXIT_PROCESS_DEBUG_EVENT:
                exitCode_ = event.u.ExitProcess.dwExitCode;
                exited = true;
                break;
            default:
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (exited)
            break;
    }
    ended_ = true;
}

HWND TracedChild::waitForWindow() {
    HWND window = nullptr;
    WaitFor([&] { return (window = MainWindowOf(pid())) != nullptr && IsWindowVisible(window); }, kStartTimeout);
    return window;
}

DWORD TracedChild::waitForExit(DWORD timeoutMs) {
    if (!started_)
        return STILL_ACTIVE;
    WaitFor([&] { return ended_.load(); }, timeoutMs);
    return ended_ ? exitCode_.load() : STILL_ACTIVE;
}

std::vector<TraceLine> TracedChild::lines(const std::string& prefix) {
    std::vector<TraceLine> found;
    std::lock_guard<std::mutex> hold(linesLock_);
    for (const TraceLine& line : lines_) {
        if (line.text.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string rest = line.text.substr(prefix.size());
        while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r'))
            rest.pop_back();
        found.push_back({line.order, rest});
    }
    return found;
}

}  // namespace e2e
