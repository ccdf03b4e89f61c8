#include "e2e_driver.h"

#include <shlobj.h>
#include <winternl.h>

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
    return PollUntil([&] { return TextOf(window) == caption; }, timeoutMs);
}

// A start that fails says why: the error code goes to the test's output.
static void ReportFailedStart(const std::wstring& commandLine, DWORD error) {
    fprintf(stderr, "e2e driver: CreateProcessW failed with error %lu for %ls\n", error, commandLine.c_str());
    fflush(stderr);
}

Child::Child(const std::wstring& arguments, const wchar_t* merrowResult, const wchar_t* workingFolder) {
    std::wstring exe = BinFolder() + L"Vantrel.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", merrowResult);
    STARTUPINFOW startup = {sizeof(startup)};
    started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingFolder,
                             &startup, &info);
    const DWORD error = GetLastError();
    SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", nullptr);
    if (started)
        CloseHandle(info.hThread);
    else
        ReportFailedStart(commandLine, error);
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
    PollUntil([&] { return (window = MainWindowOf(info.dwProcessId)) != nullptr && IsWindowVisible(window); },
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

HWND WaitForAdvertisement(HWND mainWindow) {
    HWND ad = nullptr;
    PollUntil(
        [&] {
            ad = FindWindowW(L"MerrowStandIn", nullptr);
            return ad && GetWindow(ad, GW_OWNER) == mainWindow;
        },
        kStartTimeout);
    return ad && GetWindow(ad, GW_OWNER) == mainWindow ? ad : nullptr;
}

void ExpectHandedOver(Child& second) {
    bool hadWindow = false;
    DWORD code = STILL_ACTIVE;
    PollUntil(
        [&] {
            hadWindow = hadWindow || MainWindowOf(second.info.dwProcessId) != nullptr;
            return (code = second.waitForExit(0)) != STILL_ACTIVE;
        },
        kStartTimeout);
    EXPECT_EQ(code, 0u) << "the second start did not end with 0";
    EXPECT_FALSE(hadWindow) << "the second start showed a window of its own";
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

std::string Utf8(const std::wstring& wide) {
    int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
    return text;
}

std::wstring FromAnsi(const std::string& text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

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
        return Utf8(wide);
    }
    std::string text(units, '\0');
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, info.lpDebugStringData, &text[0], units, &read))
        return std::string();
    text.resize(strnlen(text.c_str(), units));
    // In the system's ANSI code page, as the program's wide lines arrive here too.
    return Utf8(FromAnsi(text));
}

}  // namespace

TracedChild::TracedChild(const std::wstring& arguments, const wchar_t* workingFolder) {
    std::wstring exe = BinFolder() + L"Vantrel.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
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
    if (!started_)
        ReportFailedStart(commandLine, GetLastError());
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
    PollUntil([&] { return (window = MainWindowOf(pid())) != nullptr && IsWindowVisible(window); }, kStartTimeout);
    return window;
}

DWORD TracedChild::waitForExit(DWORD timeoutMs) {
    if (!started_)
        return STILL_ACTIVE;
    PollUntil([&] { return ended_.load(); }, timeoutMs);
    return ended_ ? exitCode_.load() : STILL_ACTIVE;
}

std::string TracedText(const std::wstring& text) {
    int size =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &ansi[0], size, nullptr, nullptr);
    return Utf8(FromAnsi(ansi));
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

// --- Roads into a running player, and what a test watches from outside.

namespace e2e {

namespace {

constexpr wchar_t kTimerMarker[] = L"\x2022 waiting for the timer \x2022";

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOpenDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && GetWindow(window, GW_OWNER) == search->owner &&
        TextOf(window) == L"Select File") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct WindowCount {
    DWORD pid;
    DWORD count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param) {
    auto* count = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->pid)
        count->count++;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    CountChild(window, param);
    EnumChildWindows(window, CountChild, param);  // all levels below
    return TRUE;
}

// One entry of the GDI handle table that the platform keeps in each process (its address is in the
// process environment block); a used entry has a nonzero type.
struct GdiHandleEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "64-bit layout of a GDI handle entry");
constexpr DWORD kGdiTableEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;  // 64-bit process environment block

bool CountGdiObjects(HANDLE process, DWORD& count, DWORD (&byType)[32]) {
    using QueryProcess = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return false;
    UINT64 table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                           sizeof(table), &read) ||
        !table)
        return false;
    std::vector<GdiHandleEntry> entries(kGdiTableEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                           entries.size() * sizeof(GdiHandleEntry), &read))
        return false;
    count = 0;
    for (DWORD& n : byType)
        n = 0;
    for (const GdiHandleEntry& entry : entries)
        if (entry.type != 0) {
            count++;
            byType[entry.type & 0x1F]++;
        }
    return true;
}

// The name of a handle's object (its path), or empty.
std::wstring HandleName(HANDLE handle) {
    using QueryObject = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    std::vector<BYTE> info(4096);
    ULONG length = 0;
    std::wstring name;
    if (query && query(handle, 1 /* ObjectNameInformation */, info.data(), static_cast<ULONG>(info.size()),
                       &length) == 0) {
        const auto* text = reinterpret_cast<const UNICODE_STRING*>(info.data());
        if (text->Buffer)
            name.assign(text->Buffer, text->Length / sizeof(wchar_t));
    }
    return name;
}

// The platform's Open dialog (Wine's comdlg32) leaves its "recently visited folders" key open after
// every file it returns; the player's own code never opens that key. Those handles are counted apart.
bool IsOpenDialogMruKey(const std::wstring& name) {
    const std::wstring tail = L"\\ComDlg32\\LastVisitedMRU";
    return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

// The handles another process has open, counted one value at a time: a value names an open handle when it
// duplicates into this process. The process list's handle count is the size of the process's handle
// table here (it moves in steps of a power of two), so every handle value lies below four times it.
// The system's handle list would give them all at once, but Wine 8's server builds it by walking every
// process's table, and the table of a process still being made is walked far past its end: the server
// goes down, and every Wine program of the prefix with it, when another test starts a program meanwhile.
void CountKernelHandles(DWORD pid, DWORD tableSize, DWORD& count, DWORD& dialogKeys) {
    const bool self = pid == GetCurrentProcessId();
    HANDLE owner = self ? GetCurrentProcess() : OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
    count = 0;
    dialogKeys = 0;
    if (!owner)
        return;
    for (ULONG_PTR value = 4; value < 4 * static_cast<ULONG_PTR>(tableSize) + 4; value += 4) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(owner, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            continue;
        if (IsOpenDialogMruKey(HandleName(copy)))
            dialogKeys++;
        else
            count++;
        CloseHandle(copy);
    }
    if (!self)
        CloseHandle(owner);
}

}  // namespace

bool AnswersProbe(HWND window, DWORD timeoutMs) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, kMainFrameProbe, 0, 0, SMTO_NORMAL, timeoutMs, &answer) &&
           answer == kMainFrameProbe;
}

bool WaitForTimerStep(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kTimerMarker), SMTO_NORMAL, timeoutMs,
                             &result))
        return false;
    return PollUntil([&] { return TextOf(window) != kTimerMarker; }, timeoutMs);
}

bool PostDrop(HANDLE process, HWND window, const std::wstring& path) {
    std::vector<BYTE> block(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), 0);
    auto* drop = reinterpret_cast<DROPFILES*>(block.data());
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(block.data() + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
    // The platform passes the message's handle to the other process as a bare number, so the block is
    // put into the player's own memory; a fixed block's address is its global handle. It stays there:
    // the player's DragFinish refuses to free what its heap did not make, and a few hundred bytes a drop
    // do not count.
    void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    if (!remote || !WriteProcessMemory(process, remote, block.data(), block.size(), &written))
        return false;
    return PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

HWND OpenDialogOf(HWND mainWindow) {
    DialogSearch search = {mainWindow, nullptr};
    EnumWindows(FindOpenDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ChooseInOpenDialog(HWND mainWindow, const std::wstring& path) {
    PostMessageW(mainWindow, WM_COMMAND, kCommandOpen, 0);
    HWND dialog = nullptr;
    if (!PollUntil([&] { return (dialog = OpenDialogOf(mainWindow)) != nullptr && IsWindowVisible(dialog); },
                   kStartTimeout))
        return false;
    // The name field: an edit box, either alone (id 0x480) or inside the name combo box (id 0x47C).
    HWND name = GetDlgItem(dialog, 0x47C);
    if (name && FindWindowExW(name, nullptr, L"Edit", nullptr))
        name = FindWindowExW(name, nullptr, L"Edit", nullptr);
    if (!name)
        name = GetDlgItem(dialog, 0x480);
    if (!name)
        return false;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, kStartTimeout,
                        &result);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return PollUntil([&] { return !IsWindow(dialog); }, 5000);
}

bool DismissErrorBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return PollUntil([&] { return !IsWindow(box); }, kStartTimeout);
}

HWND PublishedWindow() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Vantrel", L"MainFrame_Handle", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return nullptr;
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
}

std::vector<HWND> PlayerWindows() {
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"Player_WndClass", nullptr)) != nullptr)
        found.push_back(window);
    return found;
}

void PublishWindow(HWND window) {
    DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Vantrel", L"MainFrame_Handle", REG_DWORD, &value, sizeof(value));
}

bool ReadResources(HANDLE process, DWORD pid, Resources& out) {
    if (!CountGdiObjects(process, out.gdiObjects, out.gdiByType))
        return false;
    WindowCount windows = {pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    HWND messageOnly = nullptr;
    while ((messageOnly = FindWindowExW(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr)
        CountChild(messageOnly, reinterpret_cast<LPARAM>(&windows));
    out.windows = windows.count;
    // Another process's handle count and memory counters come from the system's process list here
    // (GetProcessHandleCount and GetProcessMemoryInfo answer 0 for them); the page-file usage is what
    // Windows shows as private bytes.
    using QuerySystem = LONG(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> list(1 << 20);
    ULONG size = 0;
    while (query && query(SystemProcessInformation, list.data(), static_cast<ULONG>(list.size()), &size) ==
                        static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
        list.resize(list.size() * 2);
    for (size_t at = 0; query && at < list.size();) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(list.data() + at);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId)) == pid) {
            out.kernelHandles = entry->HandleCount;
            out.privateBytes = entry->VirtualMemoryCounters.PagefileUsage;
            out.workingSet = entry->VirtualMemoryCounters.WorkingSetSize;
            CountKernelHandles(pid, entry->HandleCount, out.kernelHandles, out.openDialogKeys);
            return true;
        }
        if (!entry->NextEntryOffset)
            break;
        at += entry->NextEntryOffset;
    }
    return false;
}

}  // namespace e2e
