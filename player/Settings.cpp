// The window placement kept between runs, and the hand-over of a file to an instance already running.
//
// Hand-over protocol: the running instance publishes its main window's handle as "MainFrame_Handle". A
// second start that names a file reads it, asks the window with WM_MAINFRAME_PROBE whether it is a player
// (only a player answers 0x81F7), writes the path as "MainFrame_NewFile", closes the key and only then
// posts WM_MAINFRAME_NEWFILE, so the receiver always finds the value written. The receiver takes the value
// with TakeHandedOverFile; the value stays behind. Nothing else orders the two processes.
#include "Settings.h"

#include <cwchar>

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
    if (!path)
        return 0;
    UniqueHkey key = OpenHandOverKey(productName);
    if (!key)
        return 0;
    HWND window = ReadMainFrameHandle(key.get());
    if (!window || !IsWindow(window))
        return 0;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_MAINFRAME_PROBE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kProbeTimeoutMs,
                             &answer) ||
        static_cast<LRESULT>(answer) != kMainFrameProbeAnswer)
        return 0;
    // The path's code units without a terminator. The system counts a NUL in after all when the unit just
    // past the given size is one, so the copy ends in a non-NUL unit that lies outside the size.
    std::wstring units(path);
    const DWORD bytes = static_cast<DWORD>(units.size() * sizeof(wchar_t));
    units.push_back(L'?');
    RegSetValueExW(key.get(), L"MainFrame_NewFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(units.c_str()), bytes);
    key.reset();
    PostMessageW(window, WM_MAINFRAME_NEWFILE, 0, 0);
    return 1;
}

int PublishMainFrameHandle(const wchar_t* productName, HWND window) {
    UniqueHkey key = OpenHandOverKey(productName);
    if (!key)
        return 0;
    // Window handles carry 32 significant bits on 64-bit Windows too, so both builds share one format.
    DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
    RegSetValueExW(key.get(), L"MainFrame_Handle", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return 1;
}

std::wstring TakeHandedOverFile(const wchar_t* productName) {
    UniqueHkey key = OpenHandOverKey(productName);
    if (!key)
        return std::wstring();
    wchar_t buffer[kTextBufferSize] = {};
    if (!ReadMainFrameNewFile(key.get(), buffer))
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
