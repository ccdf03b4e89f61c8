#include "FileTypes.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <vector>

#include "ComPtr.h"
#include "Settings.h"
#include "TextUtil.h"
#include "UniqueHandle.h"

namespace {

const wchar_t kUserClasses[] = L"Software\\Classes\\";
const wchar_t kRegisteredApplications[] = L"SOFTWARE\\RegisteredApplications";
const wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// The shell's application-association registration object and the one method used of it, declared here
// by their identifiers so that nothing depends on which SDK declares them.
const CLSID kAssociationClass = {0x591209C7, 0x767B, 0x42B2, {0x9F, 0xBA, 0x44, 0xEE, 0x46, 0x15, 0xF2, 0xC7}};
const IID kAssociationInterface = {0x4E530B0A, 0xE611, 0x4C77, {0xA3, 0xAC, 0x90, 0x31, 0xD0, 0x22, 0x28, 0x1B}};
enum AssociationType { kFileExtension = 0 };
struct AssociationRegistration : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryCurrentDefault(LPCWSTR, int, int, LPWSTR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryAppIsDefault(LPCWSTR, int, int, LPCWSTR, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryAppIsDefaultAll(int, LPCWSTR, BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAppAsDefault(LPCWSTR, LPCWSTR, int) = 0;
};

// Each name is put into key paths: one with a backslash, or "." or "..", would name another key than
// the application's (the machine's SOFTWARE key, another vendor's key, the classes root itself), and an
// empty one the key above. Control characters are not legal in key names.
bool IsKeyName(const wchar_t* name, size_t maxLength) {
    if (!name || !name[0] || wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
        return false;
    size_t length = 0;
    for (const wchar_t* c = name; *c; ++c, ++length) {
        if (*c < 0x20 || *c == 0x7F || *c == L'\\' || length >= maxLength)
            return false;
    }
    return true;
}

bool ValidAppName(const wchar_t* appName) {
    return IsKeyName(appName, kMaxAppNameLength);
}

bool ValidProgId(const wchar_t* progId) {
    return IsKeyName(progId, kMaxProgIdLength);
}

// With an empty ProgId prefix the ProgId is the extension itself, and removing the ProgId's key would
// remove the shared extension key whole. Key names compare without regard to case.
bool DistinctKeys(const wchar_t* progId, const wchar_t* extension) {
    return _wcsicmp(progId, extension) != 0;
}

// "." followed by at least one character that a key name may hold.
bool ValidExtension(const wchar_t* extension) {
    return IsKeyName(extension, kMaxKeyNameLength) && extension[0] == L'.';
}

// The text of a key's default value, or empty when the key or the value is missing or not a string.
std::wstring DefaultValue(HKEY key) {
    wchar_t data[kTextBufferSize] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return std::wstring(data, wcsnlen(data, kTextBufferSize));
}

bool IsEmptyKey(HKEY key) {
    DWORD subkeys = 1;
    DWORD values = 1;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

// An extension's key is shared: other programs keep their OpenWithProgids and the like under it, and its
// default may name another program by now. Only a default that still names this ProgId is removed, and
// the key only when nothing else is left in it.
void RemoveExtensionDefault(HKEY root, const std::wstring& path, const wchar_t* progId) {
    UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
        return;
    bool ours = DefaultValue(key.get()) == progId;
    if (ours)
        RegDeleteValueW(key.get(), nullptr);
    bool empty = ours && IsEmptyKey(key.get());
    key.reset();
    if (empty)
        RegDeleteKeyW(root, path.c_str());
}

// A program path with a blank must be quoted, or the shell splits the command at the blank.
std::wstring QuotedWhenBlank(const std::wstring& path) {
    return path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
}

// Extension, ProgId and description of one list entry; false for an entry that cannot be registered.
bool DeriveNames(const std::wstring& entry,
                 const wchar_t* progIdPrefix,
                 std::wstring& extension,
                 std::wstring& progId,
                 std::wstring& description) {
    if (entry.empty())
        return false;
    extension = entry[0] == L'.' ? entry : L"." + entry;
    progId = std::wstring(progIdPrefix ? progIdPrefix : L"") + extension;
    description = extension.substr(1) + L" file";
    return ValidExtension(extension.c_str()) && ValidProgId(progId.c_str()) &&
           DistinctKeys(progId.c_str(), extension.c_str());
}

// The module's path in its short form; the long form when the short one cannot be had.
bool ProgramPath(HMODULE module, std::wstring& path) {
    wchar_t longPath[kTextBufferSize] = {};
    DWORD n = GetModuleFileNameW(module, longPath, kTextBufferSize);
    if (n == 0 || n >= static_cast<DWORD>(kTextBufferSize))
        return false;
    wchar_t shortPath[kTextBufferSize] = {};
    DWORD s = GetShortPathNameW(longPath, shortPath, kTextBufferSize);
    path = (s > 0 && s < static_cast<DWORD>(kTextBufferSize)) ? shortPath : longPath;
    return true;
}

// Formats one key path; an empty text when it does not fit, which every caller then skips.
std::wstring KeyPath(const wchar_t* format, const wchar_t* value) {
    wchar_t buffer[kTextBufferSize];
    return FormatString(buffer, format, value) < 0 ? std::wstring() : std::wstring(buffer);
}

// Closes a key whose close is part of the caller's result.
LONG CloseKey(UniqueHkey& key) {
    return RegCloseKey(key.release());
}

BYTE WindowsMajorVersion() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return LOBYTE(LOWORD(GetVersion()));
#pragma GCC diagnostic pop
}

}  // namespace

int SetStringValue(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* data) {
    if (!data)
        return 0;
    DWORD characters = static_cast<DWORD>(wcslen(data));
    if (!name)
        return RegSetValueW(root, path, REG_SZ, data, characters * 2) == ERROR_SUCCESS ? 1 : 0;
    if (!root)
        return 0;
    UniqueHkey key(OpenOrCreateKey(root, path));
    if (!key)
        return 0;
    LONG set = RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), (characters + 1) * 2);
    LONG closed = CloseKey(key);
    return set == ERROR_SUCCESS && closed == ERROR_SUCCESS ? 1 : 0;
}

int DeleteSubKey(HKEY root, const wchar_t* path, const wchar_t* child) {
    // An empty path or child would name the key above it: the root itself, or the parent.
    if (!child)
        return path && path[0] && SHDeleteKeyW(root, path) == ERROR_SUCCESS ? 1 : 0;
    if (!child[0])
        return 0;
    if (!root)
        return 0;
    UniqueHkey parent(OpenOrCreateKey(root, path));  // a missing parent is created, empty
    if (!parent)
        return 0;
    LONG deleted = SHDeleteKeyW(parent.get(), child);
    LONG closed = CloseKey(parent);
    return deleted == ERROR_SUCCESS && closed == ERROR_SUCCESS ? 1 : 0;
}

void SetUserClassesDefault(const wchar_t* keyPath, const wchar_t* data) {
    if (!keyPath || !data)
        return;
    std::wstring path = std::wstring(kUserClasses) + keyPath;
    RegSetValueW(HKEY_CURRENT_USER, path.c_str(), REG_SZ, data, static_cast<DWORD>(wcslen(data) * 2));
}

void DeleteKeyTree(HKEY root, const wchar_t* keyPath, const wchar_t* prefix) {
    // An empty key path would remove the root's or the prefix's whole tree.
    if (!keyPath || !keyPath[0])
        return;
    std::wstring path = prefix ? std::wstring(prefix) + keyPath : std::wstring(keyPath);
    SHDeleteKeyW(root, path.c_str());
}

std::wstring UserChoicePath(const wchar_t* keyPath) {
    return std::wstring(keyPath) + L"\\UserChoice";
}

void RegisterCapabilities(const wchar_t* appName, const wchar_t* progId, const wchar_t* extension) {
    if (!ValidAppName(appName) || !ValidProgId(progId) || !ValidExtension(extension))
        return;
    std::wstring capabilities = KeyPath(L"SOFTWARE\\%s\\Capabilities", appName);
    std::wstring associations = KeyPath(L"SOFTWARE\\%s\\Capabilities\\FileAssociations", appName);
    SetStringValue(HKEY_LOCAL_MACHINE, capabilities.c_str(), L"ApplicationName", appName);
    SetStringValue(HKEY_LOCAL_MACHINE, associations.c_str(), extension, progId);
    SetStringValue(HKEY_LOCAL_MACHINE, kRegisteredApplications, appName, capabilities.c_str());
}

void UnregisterCapabilities(const wchar_t* appName) {
    // An empty name would make the first path the machine's whole SOFTWARE key, and the value the
    // registered-applications key's default; a backslash or dots another vendor's key: refuse them.
    if (!ValidAppName(appName))
        return;
    const std::wstring capabilities = KeyPath(L"SOFTWARE\\%s\\Capabilities", appName);
    const std::wstring machineKey = KeyPath(L"SOFTWARE\\%s", appName);
    // What this facility wrote is the Capabilities tree; the application's key goes with it only when
    // nothing else was kept there.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, capabilities.c_str(), nullptr);
    UniqueHkey machine;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, machineKey.c_str(), 0, KEY_READ, machine.put()) == ERROR_SUCCESS) {
        bool empty = IsEmptyKey(machine.get());
        machine.reset();
        if (empty)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, machineKey.c_str());
    }
    // The value is ours only while it still points at our capabilities.
    UniqueHkey registered(OpenOrCreateKey(HKEY_LOCAL_MACHINE, kRegisteredApplications));
    if (registered) {
        wchar_t data[kTextBufferSize] = {};
        DWORD size = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(registered.get(), appName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ && capabilities == data)
            RegDeleteValueW(registered.get(), appName);
    }
}

DWORD IsProcessElevated() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return 0;
    TOKEN_ELEVATION elevation = {};
    DWORD size = sizeof(elevation);
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)
               ? elevation.TokenIsElevated
               : 0;
}

bool SetDefaultHandler(const wchar_t* appName, const wchar_t* extension) {
    ComPtr<AssociationRegistration> registration;
    HRESULT hr = CoCreateInstance(kAssociationClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                  kAssociationInterface, registration.put_void());
    if (FAILED(hr) || !registration)
        return false;
    return SUCCEEDED(registration->SetAppAsDefault(appName, extension, kFileExtension));
}

void AssociateFileType(HMODULE module,
                       const wchar_t* appName,
                       const wchar_t* progId,
                       const wchar_t* description,
                       const wchar_t* extension) {
    if (!ValidAppName(appName) || !ValidProgId(progId) || !ValidExtension(extension) || !description)
        return;
    RegisterCapabilities(appName, progId, extension);

    SetStringValue(HKEY_CLASSES_ROOT, progId, nullptr, description);
    SetUserClassesDefault(progId, description);
    std::wstring program;
    if (ProgramPath(module, program)) {  // never an icon or command built from an unfilled buffer
        std::wstring icon = QuotedWhenBlank(program) + L",0";
        std::wstring command = QuotedWhenBlank(program) + L" %1";
        std::wstring iconKey = KeyPath(L"%s\\DefaultIcon", progId);
        std::wstring commandKey = KeyPath(L"%s\\shell\\open\\command", progId);
        if (!iconKey.empty()) {
            SetStringValue(HKEY_CLASSES_ROOT, iconKey.c_str(), nullptr, icon.c_str());
            SetUserClassesDefault(iconKey.c_str(), icon.c_str());
        }
        if (!commandKey.empty()) {
            SetStringValue(HKEY_CLASSES_ROOT, commandKey.c_str(), nullptr, command.c_str());
            SetUserClassesDefault(commandKey.c_str(), command.c_str());
        }
    }
    SetStringValue(HKEY_CLASSES_ROOT, extension, nullptr, progId);
    SetUserClassesDefault(extension, progId);

    if (WindowsMajorVersion() < 6) {
        std::wstring choice = UserChoicePath((std::wstring(kFileExts) + extension).c_str());
        SetStringValue(HKEY_CURRENT_USER, choice.c_str(), L"Progid", progId);
        return;
    }
    if (IsProcessElevated()) {
        SetDefaultHandler(appName, extension);
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
}

void UnassociateFileType(const wchar_t* progId, const wchar_t* appName, const wchar_t* extension) {
    if (!ValidAppName(appName) || !ValidProgId(progId) || !ValidExtension(extension) ||
        !DistinctKeys(progId, extension))
        return;
    DeleteKeyTree(HKEY_CLASSES_ROOT, progId, nullptr);
    DeleteKeyTree(HKEY_CURRENT_USER, progId, kUserClasses);
    RemoveExtensionDefault(HKEY_CLASSES_ROOT, extension, progId);
    RemoveExtensionDefault(HKEY_CURRENT_USER, std::wstring(kUserClasses) + extension, progId);
    UnregisterCapabilities(appName);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

namespace {

// Runs an operation for every list entry that names an extension, with its derived names, in list order.
template <typename Operation>
void ForEachExtension(const wchar_t* appName,
                      const wchar_t* progIdPrefix,
                      const wchar_t* extensionList,
                      Operation operation) {
    if (!ValidAppName(appName) || !extensionList)
        return;
    std::vector<std::wstring> entries;
    SplitList(extensionList, entries);
    for (const std::wstring& entry : entries) {
        std::wstring extension, progId, description;
        if (DeriveNames(entry, progIdPrefix, extension, progId, description))
            operation(extension, progId, description);
    }
}

}  // namespace

void AssociateFileTypes(const wchar_t* appName,
                        const wchar_t* progIdPrefix,
                        const wchar_t* extensionList,
                        HMODULE module) {
    ForEachExtension(appName, progIdPrefix, extensionList,
                     [&](const std::wstring& extension, const std::wstring& progId, const std::wstring& description) {
                         AssociateFileType(module, appName, progId.c_str(), description.c_str(), extension.c_str());
                     });
}

void UnassociateFileTypes(const wchar_t* appName, const wchar_t* progIdPrefix, const wchar_t* extensionList) {
    ForEachExtension(appName, progIdPrefix, extensionList,
                     [&](const std::wstring& extension, const std::wstring& progId, const std::wstring&) {
                         UnassociateFileType(progId.c_str(), appName, extension.c_str());
                     });
}
