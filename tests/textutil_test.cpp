// The text and path helpers: tables for the pure text functions, real folders in the temp folder for the
// folder walkers.
#include <windows.h>
#include <gtest/gtest.h>

#include <winioctl.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "TextUtil.h"
#include "test_util.h"

namespace {

TEST(FormatString, FormatsWideArgumentsAndRefusesWhatDoesNotFit) {
    struct Case {
        std::wstring first;
        std::wstring second;
        int expected;  // -1: does not fit
    } cases[] = {
        {L"Vantrel", L"a.flv", 15},
        {L"", L"", 3},
        {std::wstring(253, L'x'), L"abc", 259},  // 259 characters and the terminator: the largest that fits
        {std::wstring(254, L'x'), L"abc", -1},   // exactly 260 characters: no room for the terminator
        {std::wstring(400, L'x'), L"abc", -1},
    };
    for (const Case& c : cases) {
        wchar_t buffer[kTextBufferSize + 16];
        wmemset(buffer, L'#', kTextBufferSize + 16);
        int n = FormatString(buffer, L"%s - %s", c.first.c_str(), c.second.c_str());
        EXPECT_EQ(n, c.expected) << c.first.size();
        if (c.expected < 0)
            EXPECT_STREQ(buffer, L"");
        else
            EXPECT_EQ(std::wstring(buffer), c.first + L" - " + c.second);
        for (int i = kTextBufferSize; i < kTextBufferSize + 16; ++i)
            ASSERT_EQ(buffer[i], L'#') << "written past the buffer at " << i;
    }
    wchar_t buffer[kTextBufferSize];
    EXPECT_EQ(FormatString(buffer, L"%02ld:%02ld:%02ld", 1L, 2L, 3L), 8);
    EXPECT_STREQ(buffer, L"01:02:03");
}

TEST(PathText, FileNameFromPath) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"D:\\dir\\a.flv", L"a.flv"}, {L"a.flv", L"a.flv"}, {L"D:\\dir\\", L""}, {L"D:/dir/a.flv", L"D:/dir/a.flv"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(FileNameFromPath(path), expected) << path;
}

TEST(PathText, ParentFromPath) {
    const std::pair<std::wstring, std::wstring> cases[] = {{L"D:\\dir\\file.flv", L"D:\\dir"},
                                                           {L"D:\\dir\\sub\\", L"D:\\dir"},
                                                           {L"D:\\file", L"D:"},
                                                           {L"\\file", L""},
                                                           {L"file", L""},
                                                           {L"\\", L""},
                                                           {L"", L""}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(ParentFromPath(path), expected) << path;
}

TEST(PathText, SplitListKeepsEveryConsumedEntryAndAppends) {
    struct Case {
        std::wstring text;
        std::vector<std::wstring> entries;
    } cases[] = {
        {L"flv;swf", {L"flv", L"swf"}},
        {L"flv;;swf", {L"flv", L"", L"swf"}},
        {L"flv;swf;", {L"flv", L"swf"}},
        {L"", {}},
        {L";", {L""}},
        {L" flv", {L" flv"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> list;
        EXPECT_EQ(SplitList(c.text, list), static_cast<int>(c.entries.size())) << c.text;
        EXPECT_EQ(list, c.entries) << c.text;
    }
    std::vector<std::wstring> list;
    SplitList(L"flv;swf", list);
    EXPECT_EQ(SplitList(L"flv;swf", list), 4);
}

TEST(PathText, SetFileExtension) {
    struct Case {
        const wchar_t* path;
        const wchar_t* extension;
        int cut;
        const wchar_t* expected;
    } cases[] = {
        {L"D:\\dir.x\\name", L"flv", 0, L"D:\\dir.x\\name.flv"},
        {L"a.FLV", L"flv", 1, L"a.FLV"},
        {L"a.txt", L"flv", 0, L"a.txt.flv"},
        {L"a.txt", L"flv", 1, L"a.flv"},
        {L"a.txt", nullptr, 1, L"a"},
        {L"a.txt", L"", 0, L"a.txt"},
        {L"name", L"flv", 1, L"name.flv"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[kTextBufferSize];
        wcscpy(buffer, c.path);
        EXPECT_EQ(SetFileExtension(buffer, c.extension, c.cut), buffer);
        EXPECT_STREQ(buffer, c.expected) << c.path;

        wchar_t bounded[kTextBufferSize];
        wcscpy(bounded, c.path);
        EXPECT_TRUE(SetFileExtensionBounded(bounded, kTextBufferSize, c.extension, c.cut));
        EXPECT_STREQ(bounded, c.expected) << c.path;
    }
    // "a.txt" + ".flv" needs 10 characters with the terminator.
    wchar_t small[10] = L"a.txt";
    EXPECT_TRUE(SetFileExtensionBounded(small, 10, L"flv", 0));
    EXPECT_STREQ(small, L"a.txt.flv");
    wchar_t tight[9] = L"a.txt";
    EXPECT_FALSE(SetFileExtensionBounded(tight, 9, L"flv", 0));
    EXPECT_STREQ(tight, L"a.txt");
    wchar_t unterminated[3] = {L'a', L'b', L'c'};
    EXPECT_FALSE(SetFileExtensionBounded(unterminated, 3, L"x", 1));
}

TEST(PathText, AddThousandsSeparatorsAndTrim) {
    const std::pair<std::wstring, std::wstring> numbers[] = {
        {L"", L""},          {L"12", L"12"},        {L"123", L"123"},
        {L"1234", L"1,234"}, {L"12345", L"12,345"}, {L"1234567", L"1,234,567"}};
    for (const auto& [text, expected] : numbers)
        EXPECT_EQ(AddThousandsSeparators(text), expected) << text;

    struct Trim {
        std::string text, set, expected;
    } trims[] = {{" ab ", " ", "ab"}, {"   ", " ", ""}, {"", " ", ""}, {" ab ", "", " ab "}, {"xyaxbyx", "xy", "axb"}};
    for (const Trim& t : trims)
        EXPECT_EQ(TrimString(t.text, t.set), t.expected) << t.text;
}

TEST(Conversion, RoundTripsAndStopsAtTheFirstNul) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"", L""},
        {"abc", L"abc"},
        {"\xC3\xA9", L"\u00E9"},
        {"\xE2\x82\xAC", L"\u20AC"},
        {"\xEF\xBF\xBF", L"\uFFFF"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
    };
    for (const auto& [utf8, wide] : cases) {
        EXPECT_EQ(Utf8ToWide(utf8), wide) << utf8;
        EXPECT_EQ(WideToUtf8(wide), utf8) << utf8;
    }
    EXPECT_EQ(Utf8ToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(Conversion, InvalidInputFailsWithBadConversion) {
    const std::string utf8[] = {
        "\x80",                  // a lone continuation byte
        "a\xC3",                 // a sequence cut by the end
        "\xC3(",                 // a sequence cut by another character
        "\xC0\xAF",              // an overlong '/'
        "\xE0\x80\xAF",          // overlong in three bytes
        "\xED\xA0\x80",          // an encoded surrogate
        "\xF4\x90\x80\x80",      // above U+10FFFF
        "\xF8\x88\x80\x80\x80",  // five bytes
        "\xFF",
    };
    for (const std::string& text : utf8) {
        try {
            Utf8ToWide(text);
            ADD_FAILURE() << "converted invalid UTF-8 of " << text.size() << " bytes";
        } catch (const std::range_error& e) {
            EXPECT_STREQ(e.what(), "bad conversion");
        }
    }
    const std::wstring wide[] = {std::wstring(1, L'\xD800'),
                                 std::wstring(L"a\xD800"
                                              L"b"),
                                 std::wstring(1, L'\xDC00'), std::wstring(L"\xDC00\xD800")};
    for (const std::wstring& text : wide) {
        try {
            WideToUtf8(text);
            ADD_FAILURE() << "converted a lone surrogate";
        } catch (const std::range_error& e) {
            EXPECT_STREQ(e.what(), "bad conversion");
        }
    }
}

TEST(ModuleDirectory, IsTheProgramsFolderWithoutTrailingBackslash) {
    wchar_t full[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, full, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::wstring expected(full, length);
    expected.erase(expected.rfind(L'\\'));

    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(GetModuleDirectory(buffer, MAX_PATH), buffer);
    EXPECT_EQ(std::wstring(buffer), expected);
    EXPECT_EQ(GetModuleDirectory(nullptr, MAX_PATH), nullptr);
    EXPECT_EQ(GetModuleDirectory(buffer, 0), nullptr);

    wchar_t small[4];
    wmemset(small, L'#', 4);
    GetModuleDirectory(small, 4);
    EXPECT_LT(wcsnlen(small, 4), 4u) << "a cut module name must still be terminated";
}

// Wine removes a Unix symbolic link to a folder (what MakeFolderLink below makes there) neither as a
// folder nor as a file; the Unix rm does, started like ln. Left in place, the link keeps the scratch
// folder, and a later run whose process gets the same id (Wine hands them out again) cannot make it.
void RemoveUnixLink(const std::wstring& link) {
    const size_t slash = link.find_last_of(L'\\');
    std::wstring command = L"rm -f " + link.substr(slash + 1);
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\rm", &command[0], nullptr, nullptr, FALSE, 0, nullptr, link.substr(0, slash).c_str(),
                        &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    PollUntil([&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
}

// A scratch folder in the temp folder, removed with everything in it at the end.
class Folders : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        root_ = std::wstring(temp) + L"vantrel_textutil_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        RemoveTree(root_);
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(root_); }

    std::wstring Path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    void MakeFolder(const std::wstring& relative) const {
        ASSERT_TRUE(CreateDirectoryW(Path(relative).c_str(), nullptr));
    }
    void MakeFile(const std::wstring& relative, const std::string& content, DWORD attributes = 0) const {
        FILE* file = _wfopen(Path(relative).c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
        if (attributes)
            SetFileAttributesW(Path(relative).c_str(), attributes);
    }
    static std::string Content(const std::wstring& path) {
        FILE* file = _wfopen(path.c_str(), L"rb");
        if (!file)
            return "<missing>";
        std::string text;
        char chunk[256];
        size_t n;
        while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0)
            text.append(chunk, n);
        fclose(file);
        return text;
    }
    static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring item = folder + L"\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    // The link itself, never what it leads to.
                    if (!RemoveDirectoryW(item.c_str()) && !DeleteFileW(item.c_str()))
                        RemoveUnixLink(item);
                    continue;
                }
                SetFileAttributesW(item.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(item);
                else
                    DeleteFileW(item.c_str());
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring root_;
};

TEST_F(Folders, ReadableFileAndDirectoryTests) {
    MakeFile(L"a.flv", "x");
    MakeFolder(L"sub");
    EXPECT_TRUE(IsReadableFile(Path(L"a.flv").c_str()));
    EXPECT_FALSE(IsReadableFile(Path(L"missing.flv").c_str()));
    EXPECT_FALSE(IsReadableFile(nullptr));
    EXPECT_FALSE(IsDirectory(Path(L"a.flv").c_str()));
    EXPECT_TRUE(IsDirectory(Path(L"sub").c_str()));
    EXPECT_FALSE(IsDirectory(Path(L"missing").c_str()));

    // Held open for writing by someone who shares nothing: no read open succeeds.
    HANDLE writer = CreateFileW(Path(L"a.flv").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(IsReadableFile(Path(L"a.flv").c_str()));
    CloseHandle(writer);
}

TEST_F(Folders, CountFilesCountsHiddenFilesAndRecursesOnlyWhenAsked) {
    MakeFile(L"one.flv", "1");
    MakeFile(L"hidden.txt", "2", FILE_ATTRIBUTE_HIDDEN);
    MakeFolder(L"sub");
    MakeFile(L"sub\\three.swf", "3");
    MakeFolder(L"sub\\empty");
    for (const std::wstring& folder : {root_, root_ + L"\\"}) {
        EXPECT_EQ(CountFilesInFolder(folder.c_str(), 0), 2);
        EXPECT_EQ(CountFilesInFolder(folder.c_str(), 1), 3);
    }
    EXPECT_EQ(CountFilesInFolder(Path(L"missing").c_str(), 1), 0);
    EXPECT_EQ(CountFilesInFolder(nullptr, 1), 0);
    // Longer than the path buffer: refused without touching anything.
    std::wstring tooLong = root_ + L"\\" + std::wstring(kTextBufferSize, L'x');
    EXPECT_EQ(CountFilesInFolder(tooLong.c_str(), 1), 0);
}

TEST_F(Folders, CopyFolderLeavesExistingItemsAlone) {
    MakeFolder(L"src");
    MakeFile(L"src\\a.flv", "new a");
    MakeFile(L"src\\h.txt", "hidden", FILE_ATTRIBUTE_HIDDEN);
    MakeFolder(L"src\\sub");
    MakeFile(L"src\\sub\\c.swf", "c");
    MakeFolder(L"src\\kept");
    MakeFile(L"src\\kept\\d.flv", "d");
    MakeFolder(L"dst");
    MakeFile(L"dst\\a.flv", "old a");
    MakeFolder(L"dst\\kept");

    // h.txt and sub\c.swf; a.flv and the folder kept exist at the destination and are skipped whole.
    EXPECT_EQ(CopyFolder(Path(L"src").c_str(), Path(L"dst").c_str()), 2);
    EXPECT_EQ(Content(Path(L"dst\\a.flv")), "old a");
    EXPECT_EQ(Content(Path(L"dst\\h.txt")), "hidden");
    EXPECT_EQ(Content(Path(L"dst\\sub\\c.swf")), "c");
    EXPECT_FALSE(Exists(Path(L"dst\\kept\\d.flv")));

    // A fresh destination is created.
    EXPECT_EQ(CopyFolder(Path(L"src\\sub").c_str(), Path(L"fresh").c_str()), 1);
    EXPECT_EQ(Content(Path(L"fresh\\c.swf")), "c");

    EXPECT_EQ(CopyFolder(Path(L"missing").c_str(), Path(L"dst2").c_str()), 0);
    std::wstring tooLong = root_ + L"\\" + std::wstring(kTextBufferSize, L'x');
    EXPECT_EQ(CopyFolder(tooLong.c_str(), Path(L"dst3").c_str()), 0);
    EXPECT_FALSE(Exists(Path(L"dst3"))) << "a refused copy creates nothing";
    EXPECT_EQ(CopyFolder(Path(L"src").c_str(), tooLong.c_str()), 0);
}

// A folder link at `relative` that leads to `target`. A junction where the system makes them; Wine makes
// none (FSCTL_SET_REPARSE_POINT is not supported) but lists a Unix symbolic link to a folder as a folder
// that is a reparse point, so there the link is made by the Unix ln, which Wine starts like any program.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target, const std::wstring& unixTarget) {
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return false;
    HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        const std::wstring substitute = L"\\??\\" + target;
        const WORD bytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
        // REPARSE_DATA_BUFFER of a mount point: tag, data length, reserved, then four offsets and lengths
        // and the substitute name followed by an empty print name, each with its terminator.
        std::vector<BYTE> data(16 + bytes + 4, 0);
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        const WORD header[6] = {static_cast<WORD>(data.size() - 8), 0, 0, bytes, static_cast<WORD>(bytes + 2), 0};
        memcpy(data.data(), &tag, 4);
        memcpy(data.data() + 4, header, sizeof(header));
        memcpy(data.data() + 16, substitute.c_str(), bytes);
        DWORD returned = 0;
        BOOL set = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                   nullptr, 0, &returned, nullptr);
        CloseHandle(handle);
        if (set)
            return true;
    }
    RemoveDirectoryW(link.c_str());
    const size_t slash = link.find_last_of(L'\\');
    const std::wstring folder = link.substr(0, slash);
    std::wstring command = L"ln -s " + unixTarget + L" " + link.substr(slash + 1);
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The handle of a Unix process may be signalled before it has run: wait for the link to appear.
    return PollUntil([&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

// Two links on one level, back to the folder itself and up to its parent: followed, they would be walked
// round until the path no longer fits, twice as many times with every level.
TEST_F(Folders, WalkersDoNotFollowFolderLinks) {
    MakeFolder(L"src");
    MakeFile(L"src\\a.flv", "a");
    MakeFolder(L"src\\sub");
    MakeFile(L"src\\sub\\b.flv", "b");
    ASSERT_TRUE(MakeFolderLink(Path(L"src\\sub\\self"), Path(L"src\\sub"), L"."));
    ASSERT_TRUE(MakeFolderLink(Path(L"src\\sub\\up"), Path(L"src"), L".."));
    WIN32_FIND_DATAW entry;
    HANDLE probe = FindFirstFileW(Path(L"src\\sub\\up").c_str(), &entry);
    ASSERT_NE(probe, INVALID_HANDLE_VALUE);
    FindClose(probe);
    ASSERT_EQ(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        << "the link must be listed as a folder that is a reparse point";

    EXPECT_EQ(CountFilesInFolder(Path(L"src").c_str(), 1), 2);
    EXPECT_EQ(CopyFolder(Path(L"src").c_str(), Path(L"dst").c_str()), 2);
    EXPECT_EQ(Content(Path(L"dst\\sub\\b.flv")), "b");
    EXPECT_FALSE(Exists(Path(L"dst\\sub\\up")));
    EXPECT_FALSE(Exists(Path(L"dst\\sub\\self")));
}

TEST_F(Folders, DeleteFolderRemovesFoldersOnly) {
    MakeFile(L"plain.flv", "keep");
    EXPECT_EQ(DeleteFolder(Path(L"plain.flv"), nullptr), 1);
    EXPECT_EQ(Content(Path(L"plain.flv")), "keep");
    EXPECT_EQ(DeleteFolder(Path(L"missing"), nullptr), 1);
    std::wstring tooLong = root_ + L"\\" + std::wstring(kTextBufferSize, L'x');
    EXPECT_EQ(DeleteFolder(tooLong, nullptr), 1);

    MakeFolder(L"doomed");
    MakeFile(L"doomed\\a.flv", "a");
    MakeFile(L"doomed\\h.txt", "h", FILE_ATTRIBUTE_HIDDEN);
    MakeFolder(L"doomed\\sub");
    MakeFile(L"doomed\\sub\\b.swf", "b");
    EXPECT_EQ(DeleteFolder(Path(L"doomed"), nullptr), 0);
    EXPECT_FALSE(Exists(Path(L"doomed")));
    EXPECT_TRUE(Exists(Path(L"plain.flv")));
}

}  // namespace
