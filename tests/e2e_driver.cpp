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
