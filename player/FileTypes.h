#pragma once
#include <windows.h>
#include <string>

// Registers the program as the handler of file extensions (machine-wide capabilities and per-user
// classes) and removes it again. A facility: no path of the player calls it.
void AssociateFileTypes(const wchar_t* appName,
                        const wchar_t* progIdPrefix,
                        const wchar_t* extensionList,
                        HMODULE module);
void UnassociateFileTypes(const wchar_t* appName, const wchar_t* progIdPrefix, const wchar_t* extensionList);
void AssociateFileType(HMODULE module,
                       const wchar_t* appName,
                       const wchar_t* progId,
                       const wchar_t* description,
                       const wchar_t* extension);
void UnassociateFileType(const wchar_t* progId, const wchar_t* appName, const wchar_t* extension);
void RegisterCapabilities(const wchar_t* appName, const wchar_t* progId, const wchar_t* extension);
void UnregisterCapabilities(const wchar_t* appName);
DWORD IsProcessElevated();
bool SetDefaultHandler(const wchar_t* appName, const wchar_t* extension);

int SetStringValue(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* data);
int DeleteSubKey(HKEY root, const wchar_t* path, const wchar_t* child);
void SetUserClassesDefault(const wchar_t* keyPath, const wchar_t* data);
void DeleteKeyTree(HKEY root, const wchar_t* keyPath, const wchar_t* prefix);
std::wstring UserChoicePath(const wchar_t* keyPath);

// The limits the key buffers impose; longer names are refused.
constexpr size_t kMaxAppNameLength = 220;
constexpr size_t kMaxProgIdLength = 236;
constexpr size_t kMaxKeyNameLength = 255;
