#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The fixed size of the program's path and text buffers, terminator included.
constexpr int kTextBufferSize = 260;

// Formats into a buffer of exactly kTextBufferSize wide characters ("%s" takes a wide string). Returns the
// length written, or -1 with the buffer left empty when the text does not fit.
int FormatString(wchar_t* buffer, const wchar_t* format, ...);

std::wstring FileNameFromPath(const std::wstring& path);
int SplitList(const std::wstring& text, std::vector<std::wstring>& list);

// In place, into a buffer whose size the caller vouches for; SetFileExtensionBounded refuses (returns false,
// buffer unchanged) what would not fit in `capacity` characters including the terminator.
wchar_t* SetFileExtension(wchar_t* path, const wchar_t* extension, int cut);
bool SetFileExtensionBounded(wchar_t* path, size_t capacity, const wchar_t* extension, int cut);

wchar_t* GetModuleDirectory(wchar_t* buffer, DWORD size);
bool IsReadableFile(const wchar_t* path);
bool IsDirectory(const wchar_t* path);
std::wstring ParentFromPath(const std::wstring& path);

// Both throw std::range_error("bad conversion") for input that does not convert.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

std::wstring AddThousandsSeparators(const std::wstring& text);
int DeleteFolder(const std::wstring& folder, HWND owner);
int CountFilesInFolder(const wchar_t* folder, int recursive);
std::string TrimString(const std::string& text, const std::string& set);
int CopyFolder(const wchar_t* source, const wchar_t* destination);
