// Text and path helpers. Every path buffer here is the program's fixed kTextBufferSize; anything that would
// not fit is refused rather than cut, because a cut path names another file.
#include "TextUtil.h"

#include "UniqueHandle.h"

#include <shellapi.h>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <stdexcept>

int FormatString(wchar_t* buffer, const wchar_t* format, ...) {
    if (!buffer)
        return -1;
    buffer[0] = L'\0';
    if (!format)
        return -1;
    va_list args;
    va_start(args, format);
    // msvcrt's own _vsnwprintf: its "%s" takes a wide string, which every format of the program relies on
    // (mingw's C99 printf would read a narrow one). It returns -1 when the text does not fit, mingw's
    // formatters the would-be length, and on an exact fit it leaves no terminator: hence both tests.
    int written = _vsnwprintf(buffer, kTextBufferSize, format, args);
    va_end(args);
    if (written < 0 || written >= kTextBufferSize) {
        buffer[0] = L'\0';
        return -1;
    }
    buffer[written] = L'\0';
    return written;
}

std::wstring FileNameFromPath(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

int SplitList(const std::wstring& text, std::vector<std::wstring>& list) {
    // An entry is stored whenever something was consumed for it, the ';' included: "a;;b" has an empty
    // middle entry, while the ';' that ends "a;b;" leaves nothing behind it.
    size_t start = 0;
    while (start < text.size()) {
        size_t separator = text.find(L';', start);
        if (separator == std::wstring::npos) {
            list.push_back(text.substr(start));
            break;
        }
        list.push_back(text.substr(start, separator - start));
        start = separator + 1;
    }
    return static_cast<int>(list.size());
}

namespace {

// The dot that starts the path's extension, or null when the last dot belongs to a folder name.
wchar_t* ExtensionDot(wchar_t* path) {
    wchar_t* dot = wcsrchr(path, L'.');
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!dot || (slash && slash > dot))
        return nullptr;
    return dot;
}

bool SameTextIgnoringCase(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

wchar_t* SetFileExtension(wchar_t* path, const wchar_t* extension, int cut) {
    if (!path)
        return path;
    if (wchar_t* dot = ExtensionDot(path)) {
        if (extension && SameTextIgnoringCase(dot + 1, extension))
            return path;
        if (cut)
            *dot = L'\0';
    }
    if (extension && *extension) {
        wcscat(path, L".");
        wcscat(path, extension);
    }
    return path;
}

bool SetFileExtensionBounded(wchar_t* path, size_t capacity, const wchar_t* extension, int cut) {
    if (!path || capacity == 0)
        return false;
    size_t length = wcsnlen(path, capacity);
    if (length == capacity)
        return false;  // not terminated inside its own buffer
    size_t result = length;
    if (wchar_t* dot = ExtensionDot(path)) {
        if (extension && SameTextIgnoringCase(dot + 1, extension))
            return true;
        if (cut)
            result = static_cast<size_t>(dot - path);
    }
    if (extension && *extension)
        result += 1 + wcslen(extension);
    if (result >= capacity)
        return false;
    SetFileExtension(path, extension, cut);
    return true;
}

wchar_t* GetModuleDirectory(wchar_t* buffer, DWORD size) {
    if (!buffer || size == 0)
        return nullptr;
    DWORD length = GetModuleFileNameW(nullptr, buffer, size);
    // Older systems leave a truncated name unterminated; a failure leaves the buffer undefined.
    if (length == 0)
        buffer[0] = L'\0';
    buffer[size - 1] = L'\0';
    if (wchar_t* slash = wcsrchr(buffer, L'\\'))
        *slash = L'\0';
    return buffer;
}

bool IsReadableFile(const wchar_t* path) {
    if (!path)
        return false;
    FILE* file = _wfopen(path, L"r");
    if (!file)
        return false;
    fclose(file);
    return true;
}

bool IsDirectory(const wchar_t* path) {
    if (!path)
        return false;
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ParentFromPath(const std::wstring& path) {
    if (path.size() < 2)
        return std::wstring();
    // The last character is passed over so that "D:\dir\sub\" gives "D:\dir".
    size_t slash = path.rfind(L'\\', path.size() - 2);
    if (slash == std::wstring::npos || slash == 0)
        return std::wstring();
    return path.substr(0, slash);
}

namespace {

[[noreturn]] void BadConversion() {
    throw std::range_error("bad conversion");
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
    // Strict decoding: overlong forms, encoded surrogates, values above U+10FFFF and cut sequences all fail.
    std::wstring result;
    const size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    result.reserve(end);
    size_t i = 0;
    while (i < end) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            result.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        int trailing;
        unsigned long code;
        unsigned long minimum;
        if ((lead & 0xE0) == 0xC0) {
            trailing = 1, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            trailing = 2, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            trailing = 3, code = lead & 0x07, minimum = 0x10000;
        } else {
            BadConversion();
        }
        if (end - i <= static_cast<size_t>(trailing))
            BadConversion();
        for (int k = 1; k <= trailing; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                BadConversion();
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            BadConversion();
        if (code >= 0x10000) {
            code -= 0x10000;
            result.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            result.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        } else {
            result.push_back(static_cast<wchar_t>(code));
        }
        i += trailing + 1;
    }
    return result;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string result;
    const size_t end = text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0');
    result.reserve(end);
    for (size_t i = 0; i < end; ++i) {
        unsigned long code = static_cast<unsigned short>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF) {
            unsigned long low = i + 1 < end ? static_cast<unsigned short>(text[i + 1]) : 0;
            if (low < 0xDC00 || low > 0xDFFF)
                BadConversion();
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            BadConversion();
        }
        if (code < 0x80) {
            result.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (code >> 6)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (code >> 12)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (code >> 18)));
            result.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return result;
}

std::wstring AddThousandsSeparators(const std::wstring& text) {
    // Inserting from the right keeps the positions still to come valid.
    std::wstring result = text;
    for (ptrdiff_t position = static_cast<ptrdiff_t>(text.size()) - 3; position > 0; position -= 3)
        result.insert(static_cast<size_t>(position), 1, L',');
    return result;
}

int DeleteFolder(const std::wstring& folder, HWND owner) {
    if (!IsDirectory(folder.c_str()))
        return 1;
    // The shell takes a list ended by two NULs; 262 characters leave room for both only up to 260. A longer
    // path is refused like a non-folder: nothing is deleted.
    wchar_t source[kTextBufferSize + 2] = {};
    size_t length = wcslen(folder.c_str());
    if (length > kTextBufferSize)
        return 1;
    wmemcpy(source, folder.c_str(), length);
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = owner;
    operation.wFunc = FO_DELETE;
    operation.pFrom = source;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    SHFileOperationW(&operation);
    return 0;
}

namespace {

bool IsDotName(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// A junction or a directory link leads somewhere else, maybe back up the tree: a walker that followed it
// could go round until the path no longer fits, with two such links a level doubling the work each time.
// The walkers neither enter nor count it.
bool IsLinkedFolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

int CountFilesInFolder(const wchar_t* folder, int recursive) {
    if (!folder)
        return 0;
    // A folder, pattern or subfolder path that does not fit the buffer is not listed: it counts 0.
    wchar_t base[kTextBufferSize];
    size_t length = wcslen(folder);
    bool hasSlash = length > 0 && folder[length - 1] == L'\\';
    if (FormatString(base, hasSlash ? L"%s" : L"%s\\", folder) < 0)
        return 0;
    wchar_t pattern[kTextBufferSize];
    if (FormatString(pattern, L"%s*.*", base) < 0)
        return 0;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW(pattern, &entry));
    if (!search)
        return 0;
    int total = 0;
    do {
        if (IsDotName(entry.cFileName) || IsLinkedFolder(entry))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            wchar_t sub[kTextBufferSize];
            if (recursive && FormatString(sub, L"%s%s\\", base, entry.cFileName) >= 0)
                total += CountFilesInFolder(sub, recursive);
        } else {
            ++total;
        }
    } while (FindNextFileW(search.get(), &entry));
    return total;
}

std::string TrimString(const std::string& text, const std::string& set) {
    size_t first = text.find_first_not_of(set);
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

int CopyFolder(const wchar_t* source, const wchar_t* destination) {
    if (!source || !destination)
        return 0;
    // Refused whole (0, destination not created) when the pattern or the destination does not fit; an
    // entry whose source or destination path does not fit is left out and not counted.
    wchar_t pattern[kTextBufferSize];
    if (FormatString(pattern, L"%s\\*.*", source) < 0 || wcslen(destination) >= kTextBufferSize)
        return 0;
    CreateDirectoryW(destination, nullptr);
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW(pattern, &entry));
    if (!search)
        return 0;
    int copied = 0;
    do {
        // "." and ".." are never items to copy. When the destination exists, its own "." and ".." make
        // the probe below skip them; when it could not be created they would otherwise count as files.
        if (IsDotName(entry.cFileName) || IsLinkedFolder(entry))
            continue;
        wchar_t from[kTextBufferSize];
        wchar_t to[kTextBufferSize];
        if (FormatString(from, L"%s\\%s", source, entry.cFileName) < 0 ||
            FormatString(to, L"%s\\%s", destination, entry.cFileName) < 0)
            continue;
        // Whatever already exists at the destination stays as it is, a folder with all its contents.
        WIN32_FIND_DATAW existing;
        if (UniqueFindHandle(FindFirstFileW(to, &existing)))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            copied += CopyFolder(from, to);
        } else {
            CopyFileW(from, to, FALSE);
            ++copied;
        }
    } while (FindNextFileW(search.get(), &entry));
    return copied;
}
