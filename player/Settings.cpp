// The window placement kept between runs, and the hand-over of a file to an instance already running.
//
// Hand-over protocol: the running instance publishes its main window's handle as "MainFrame_Handle", and
// takes it back when it closes. A second start that names a file takes the product's hand-over mutex and
// looks for a running player: the published window when it answers WM_MAINFRAME_PROBE (only a player
// answers 0x81F7, and one whose close has gone ahead no longer does), else any other player's main window
// that answers it, so a handle left by a player that ended never sends the file into a new window while
// another player runs. The start writes the path as "MainFrame_NewFile", closes the key and sends
// WM_MAINFRAME_NEWFILE, waiting (bounded) for the answer. A receiver that takes the value removes it and
// answers with the message's own number, so one value is never opened twice and a later start never finds
// an old path; any other answer, or none, leaves the file with the sender, which removes its value and
// opens the file itself. Holding the mutex from the search to the answer keeps two starts from sharing the
// one value: each file is taken once, in the order the starts got the mutex. Whatever fails on the way (no
// lock, no answer, a write refused, a path longer than the receiver takes) leaves the file to the second
// start.
#include "Settings.h"

#include <cwchar>
#include <vector>

#include "AppGlobals.h"
#include "TextUtil.h"
#include "UniqueHandle.h"

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
constexpr DWORD kPlacementSize = sizeof(WINDOWPLACEMENT);           // 44
constexpr DWORD kNewFileBytes = kTextBufferSize * sizeof(wchar_t);  // 520

// A running instance whose user-interface thread stopped pumping would keep the new start waiting for ever;
// after this long it counts as no instance and the new start runs by itself.
constexpr UINT kProbeTimeoutMs = 5000;
// The receiver only takes the value while it handles the message (the file is opened later), so its
// answer comes as soon as its thread looks for messages; opening a file in between can take a while.
constexpr UINT kDeliveryTimeoutMs = 10000;
// Ten starts at once queue behind each other, each holding the lock for one probe and one delivery.
constexpr DWORD kLockTimeoutMs = 60000;

UniqueHkey OpenSettingsKey() {
    wchar_t path[kTextBufferSize];
    if (FormatString(path, L"Software\\%s\\%s", L"Tarnwell", GetProductKeyName()) < 0)
        return UniqueHkey();
    return UniqueHkey(OpenOrCreateReadWriteKey(HKEY_CURRENT_USER, path));
}

UniqueHkey OpenHandOverKey(const wchar_t* productName) {
    wchar_t path[kTextBufferSize];
    if (!productName || FormatString(path, L"Software\\%s", productName) < 0)
        return UniqueHkey();
    return UniqueHkey(OpenOrCreateKey(HKEY_CURRENT_USER, path));
}

// A player waits for the lock to publish its window while a start that holds it may be asking that very
// window (it answers as a player before it publishes): the messages sent to this thread are answered
// meanwhile, or both would wait for each other until the start gave up.
DWORD WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        DWORD waited = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (waited != WAIT_OBJECT_0 + 1)
            return waited;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages only
    }
}

// The product's hand-over mutex, held from the search for a running player to the receiver's answer, and
// by the instance that publishes its handle. Not owned when the mutex cannot be made or had in time.
class HandOverLock {
  public:
    explicit HandOverLock(const wchar_t* productName) {
        wchar_t name[kTextBufferSize];
        if (!productName || FormatString(name, L"%s.HandOver", productName) < 0)
            return;
        mutex_.reset(CreateMutexW(nullptr, FALSE, name));
        if (!mutex_)
            return;
        // An instance that ended while holding it leaves it abandoned: the values are still consistent,
        // since every step under the lock leaves them so.
        DWORD waited = WaitAnsweringSentMessages(mutex_.get(), kLockTimeoutMs);
        owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0;
    }
    ~HandOverLock() {
        if (owned_)
            ReleaseMutex(mutex_.get());
    }
    HandOverLock(const HandOverLock&) = delete;
    HandOverLock& operator=(const HandOverLock&) = delete;
    explicit operator bool() const { return owned_; }

  private:
    UniqueEvent mutex_;
    bool owned_ = false;
};

void RemoveNewFile(const wchar_t* productName) {
    if (UniqueHkey key = OpenHandOverKey(productName))
        RegDeleteValueW(key.get(), L"MainFrame_NewFile");
}

// Only a player answers the probe with its number; one whose thread does not answer in time counts as none.
bool AnswersAsPlayer(HWND window) {
    DWORD_PTR answer = 0;
    return IsWindow(window) &&
           SendMessageTimeoutW(window, WM_MAINFRAME_PROBE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kProbeTimeoutMs,
                               &answer) &&
           static_cast<LRESULT>(answer) == kMainFrameProbeAnswer;
}

// The published window when it answers as a player, else the first other player's main window that does:
// the published one may have closed or ended, or be another program's window by now.
HWND FindRunningPlayer(HWND published) {
    if (published && AnswersAsPlayer(published))
        return published;
    // Listed first and asked afterwards: a window that goes while the list is made would end the walk.
    std::vector<HWND> players;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kMainWindowClass, nullptr)) != nullptr)
        if (window != published)
            players.push_back(window);
    for (HWND player : players)
        if (AnswersAsPlayer(player))
            return player;
    return nullptr;
}

}  // namespace

bool LoadWindowPlacement() {
    UniqueHkey key = OpenSettingsKey();
    if (!key)
        return false;
    WINDOWPLACEMENT placement = {};
    // Only the type and the size are checked: any 44 bytes are taken as they are.
    if (ReadPlacementValue(key.get(), &placement) == kPlacementSize) {
        AppGlobals.hasSavedPlacement = TRUE;
        AppGlobals.savedPlacement = placement;
    }
    return true;
}

bool SaveWindowPlacement() {
    UniqueHkey key = OpenSettingsKey();
    if (!key)
        return false;
    // With nothing captured the value from the last run stays as it is.
    if (AppGlobals.hasSavedPlacement)
        WritePlacementValue(key.get(), "MAIN_WP", &AppGlobals.savedPlacement);
    return true;
}

DWORD ReadPlacementValue(HKEY key, WINDOWPLACEMENT* destination) {
    if (!key || !destination)
        return 0;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, "MAIN_WP", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY ||
        size > kPlacementSize)
        return 0;
    // The value may change between the two queries; a read that did not complete is no placement.
    if (RegQueryValueExA(key, "MAIN_WP", nullptr, nullptr, reinterpret_cast<BYTE*>(destination), &size) !=
        ERROR_SUCCESS)
        return 0;
    return size;
}

const wchar_t* GetProductKeyName() {
    return L"Vantrel";
}

namespace {

HKEY OpenKeyWith(HKEY root, const wchar_t* path, REGSAM access) {
    HKEY key = nullptr;
    return RegOpenKeyExW(root, path, 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

HKEY CreateReadWriteKey(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    return RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite, nullptr, &key, nullptr) ==
                   ERROR_SUCCESS
               ? key
               : nullptr;
}

}  // namespace

HKEY OpenOrCreateReadWriteKey(HKEY root, const wchar_t* path) {
    if (!path)
        return nullptr;
    if (HKEY key = OpenKeyWith(root, path, kReadWrite))
        return key;
    return CreateReadWriteKey(root, path);
}

bool WritePlacementValue(HKEY key, const char* name, const WINDOWPLACEMENT* placement) {
    if (!key || !placement)
        return false;
    return RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(placement), kPlacementSize) ==
           ERROR_SUCCESS;
}

int HandOverToRunningInstance(const wchar_t* productName, const wchar_t* path) {
    // The receiver takes at most 260 units and needs them for a whole path: anything longer stays here.
    if (!path || !path[0] || wcslen(path) >= static_cast<size_t>(kTextBufferSize))
        return 0;
    HandOverLock lock(productName);
    if (!lock)
        return 0;
    HWND window = nullptr;
    {
        UniqueHkey key = OpenHandOverKey(productName);
        if (!key)
            return 0;
        window = FindRunningPlayer(ReadMainFrameHandle(key.get()));
        if (!window)
            return 0;
        // The path's code units without a terminator. The system counts a NUL in after all when the unit
        // just past the given size is one, so the copy ends in a non-NUL unit that lies outside the size.
        std::wstring units(path);
        const DWORD bytes = static_cast<DWORD>(units.size() * sizeof(wchar_t));
        units.push_back(L'?');
        if (RegSetValueExW(key.get(), L"MainFrame_NewFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(units.c_str()),
                           bytes) != ERROR_SUCCESS)
            return 0;
    }  // the key is closed before the receiver opens it
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_MAINFRAME_NEWFILE, 0, 0, SMTO_NORMAL, kDeliveryTimeoutMs, &answer) ||
        static_cast<LRESULT>(answer) != kNewFileTakenAnswer) {
        // Gone, not answering, or not taking it (its close went ahead): a receiver that still handles the
        // message late must find nothing, since this start now opens the file itself.
        RemoveNewFile(productName);
        return 0;
    }
    OutputDebugStringW((L"HandOverToRunningInstance: " + std::wstring(path) + L"\n").c_str());
    return 1;
}

int PublishMainFrameHandle(const wchar_t* productName, HWND window) {
    // Under the lock, so a start that is handing a file to the instance published before finishes first.
    HandOverLock lock(productName);
    UniqueHkey key = OpenHandOverKey(productName);
    if (!key)
        return 0;
    // Window handles carry 32 significant bits on 64-bit Windows too, so both builds share one format.
    DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
    RegSetValueExW(key.get(), L"MainFrame_Handle", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    // A path left by a run that ended before taking it is not this instance's to open.
    RegDeleteValueW(key.get(), L"MainFrame_NewFile");
    return 1;
}

// Without the lock: a publisher that writes its handle just before this removal loses it, and the next
// start then finds that player among the running players' windows all the same.
void WithdrawMainFrameHandle(const wchar_t* productName, HWND window) {
    UniqueHkey key = OpenHandOverKey(productName);
    if (key && window && ReadMainFrameHandle(key.get()) == window)
        RegDeleteValueW(key.get(), L"MainFrame_Handle");
}

std::wstring TakeHandedOverFile(const wchar_t* productName) {
    UniqueHkey key = OpenHandOverKey(productName);
    if (!key)
        return std::wstring();
    wchar_t buffer[kTextBufferSize] = {};
    bool read = ReadMainFrameNewFile(key.get(), buffer);
    // Taken means gone, readable or not: a second message for the same hand-over finds nothing.
    RegDeleteValueW(key.get(), L"MainFrame_NewFile");
    if (!read)
        return std::wstring();
    // A value of exactly 520 bytes fills the buffer with no terminator: its 260 units are the path.
    return std::wstring(buffer, wcsnlen(buffer, kTextBufferSize));
}

HWND ReadMainFrameHandle(HKEY key) {
    if (!key)
        return nullptr;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"MainFrame_Handle", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size > sizeof(DWORD))
        return nullptr;
    DWORD value = 0;
    RegQueryValueExW(key, L"MainFrame_Handle", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    // Sign-extended, as the system widens 32-bit window handles.
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

bool ReadMainFrameNewFile(HKEY key, wchar_t* buffer) {
    if (!key || !buffer)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"MainFrame_NewFile", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size > kNewFileBytes)
        return false;
    return RegQueryValueExW(key, L"MainFrame_NewFile", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
           ERROR_SUCCESS;
}

HKEY OpenOrCreateKey(HKEY root, const wchar_t* path) {
    if (!path)
        return nullptr;
    if (HKEY key = OpenKeyWith(root, path, kReadWrite))
        return key;
    // Write-only access still lets a sender or publisher store its value; the reads then find nothing.
    if (HKEY key = OpenKeyWith(root, path, KEY_SET_VALUE))
        return key;
    return CreateReadWriteKey(root, path);
}
