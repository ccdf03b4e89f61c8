// The folder playlist: the extension test, folder loading on real folders, the path order and the current
// mark, refused indices, and reads from a second thread while the list is rebuilt.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "PlayListData.h"
#include "TextUtil.h"

namespace {

TEST(PlayListSupport, ExtensionTextContainsAnEntry) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"D:\\media\\clip.FLV", true},
        {L"D:\\media\\clip.flv2", true},
        {L"D:\\media\\clip.xswf", true},
        {L"D:\\media\\clip.swf", true},
        {L"D:\\media\\clip.swf.bak", false},
        {L"D:\\media\\clip.fla", false},
        {L"D:\\media\\clip.fl", false},
        {L"D:\\media\\clip", false},
        {L"clip", false},
        {L"D:\\my.swf\\clip", true},  // the folder's dot starts the tested text
        {L"D:\\old.clips\\clip", false},
        {L"D:\\media\\clip.\uFF26\uFF2C\uFF36", false},  // full-width capitals are not lowered
        {L"D:\\media\\clip.SW\u00C6", false},
        {L"D:\\media\\clip.\u00C0FLV", true},  // the ASCII part still holds flv
    };
    PlayListData list;
    EXPECT_STREQ(list.supportedExtensions(), L"flv;swf");
    EXPECT_TRUE(list.alwaysTrue());
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(list.isSupported(path), expected) << WideToUtf8(path);
}

TEST(PlayListOrder, PathOrderIsOrdinalByCodeUnit) {
    // Each pair: the first path orders strictly before the second.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"D:\\m\\B.flv", L"D:\\m\\a.flv"},
        {L"D:\\m\\clip.flv", L"D:\\m\\clip1.flv"},
        {L"D:\\m\\clip10.flv", L"D:\\m\\clip2.flv"},
        {L"D:\\m\\clip.flv", L"D:\\m\\clip.flv2"},
        {L"D:\\m\\z.flv", L"D:\\m\\\u00E9.flv"},
        {L"D:\\m\\\u00E9.flv", L"D:\\m\\\xD83D\xDE00.flv"},  // unsigned units: a surrogate is above U+00E9
    };
    for (const auto& [first, second] : cases) {
        PlayItem a{0, first}, b{0, second};
        EXPECT_TRUE(PlayListData::sortsAfter(b, a)) << WideToUtf8(first);
        EXPECT_FALSE(PlayListData::sortsAfter(a, b)) << WideToUtf8(first);
        EXPECT_FALSE(PlayListData::sortsAfter(a, a));
    }
}

// A scratch folder with named files, removed at the end.
class PlayListFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        root_ = std::wstring(temp) + L"vantrel_playlist_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        DeleteFolder(root_, nullptr);
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
        root_ += L"\\";
    }
    void TearDown() override {
        root_.pop_back();
        DeleteFolder(root_, nullptr);
    }
    std::wstring Path(const std::wstring& name) const { return root_ + name; }
    void MakeFiles(std::initializer_list<const wchar_t*> names) const {
        for (const wchar_t* name : names) {
            FILE* file = _wfopen(Path(name).c_str(), L"wb");
            ASSERT_NE(file, nullptr) << WideToUtf8(name);
            fclose(file);
        }
    }
    static std::vector<std::pair<std::wstring, int>> Entries(const PlayListData& list) {
        std::vector<std::pair<std::wstring, int>> entries;
        for (int i = 0; i < list.count(); ++i)
            entries.emplace_back(list.pathAt(i), list.isCurrentAt(i));
        return entries;
    }

    std::wstring root_;  // with its trailing backslash
};

TEST_F(PlayListFolder, LoadsReadablePlayableFilesSortedWithTheExactPathCurrent) {
    MakeFiles({L"b.flv", L"A.FLV", L"clip.swf", L"notes.txt", L".hidden.flv", L"noext", L"locked.flv"});
    ASSERT_TRUE(CreateDirectoryW(Path(L"sub.flv").c_str(), nullptr));
    // Held open for writing without any sharing: it does not open for reading and is left out.
    HANDLE writer = CreateFileW(Path(L"locked.flv").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);

    const std::vector<std::pair<std::wstring, int>> expected = {
        {Path(L"A.FLV"), 0}, {Path(L"b.flv"), 1}, {Path(L"clip.swf"), 0}};
    PlayListData list;
    EXPECT_EQ(list.loadFolder(Path(L"b.flv")), 3);
    EXPECT_EQ(Entries(list), expected);
    EXPECT_EQ(list.currentIndex(), 1);

    // Another letter case than the file system's: the same list, nothing current.
    EXPECT_EQ(list.loadFolder(Path(L"B.FLV")), 3);
    EXPECT_EQ(list.pathAt(1), Path(L"b.flv"));
    EXPECT_EQ(list.currentIndex(), -1);

    // Forward slashes after the last backslash: the folder is the one up to that backslash.
    EXPECT_EQ(list.loadFolder(Path(L"sub.flv/other/b.flv")), 3);
    EXPECT_EQ(list.currentIndex(), -1);

    // No backslash at all empties the list.
    std::wstring forward = Path(L"b.flv");
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    EXPECT_EQ(list.loadFolder(forward), 0);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.currentIndex(), -1);
    CloseHandle(writer);

    list.loadFolder(Path(L"b.flv"));
    EXPECT_EQ(list.loadFolder(Path(L"missing\\b.flv")), 0) << "a folder that cannot be searched";
    EXPECT_EQ(list.count(), 0);
}

TEST_F(PlayListFolder, FolderOfNothingPlayableGivesAnEmptyList) {
    MakeFiles({L".a.flv", L"locked.swf", L"readme.txt"});
    ASSERT_TRUE(CreateDirectoryW(Path(L"one.flv").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Path(L".git").c_str(), nullptr));
    HANDLE writer = CreateFileW(Path(L"locked.swf").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    PlayListData list;
    EXPECT_EQ(list.loadFolder(Path(L"locked.swf")), 0);
    EXPECT_EQ(list.currentIndex(), -1);
    CloseHandle(writer);
}

TEST_F(PlayListFolder, AddFileOpensFirstAndSortCarriesTheCurrentMark) {
    MakeFiles({L"clip2.flv", L"clip10.flv", L"clip.flv", L"clip1.flv", L"B.flv", L"a.flv", L"clip.flv2", L"x.txt"});
    PlayListData list;
    EXPECT_EQ(list.addFile(Path(L"missing.flv").c_str(), 1), -1);
    EXPECT_EQ(list.addFile(Path(L"x.txt").c_str(), 1), -1);
    EXPECT_EQ(list.addFile(nullptr, 1), -1);
    EXPECT_EQ(list.count(), 0);

    const wchar_t* added[] = {L"clip2.flv", L"a.flv", L"clip1.flv", L"clip.flv2", L"clip10.flv", L"B.flv", L"clip.flv"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(list.addFile(Path(added[i]).c_str(), i == 1 ? 1 : 0), i);
    list.sort();
    const std::vector<std::pair<std::wstring, int>> expected = {
        {Path(L"B.flv"), 0},     {Path(L"a.flv"), 1},      {Path(L"clip.flv"), 0},  {Path(L"clip.flv2"), 0},
        {Path(L"clip1.flv"), 0}, {Path(L"clip10.flv"), 0}, {Path(L"clip2.flv"), 0},
    };
    EXPECT_EQ(Entries(list), expected);
    EXPECT_EQ(list.currentIndex(), 1);
}

// The order the sort must reproduce, step by step, for lists that hold one path more than once with
// different current flags.
std::vector<PlayItem> ExchangeSorted(std::vector<PlayItem> items) {
    for (size_t i = 0; i + 1 < items.size(); ++i)
        for (size_t j = i + 1; j < items.size(); ++j)
            if (PlayListData::sortsAfter(items[i], items[j]))
                std::swap(items[i], items[j]);
    return items;
}

TEST_F(PlayListFolder, SortMatchesTheExchangeOrderForRepeatedPaths) {
    MakeFiles({L"a.flv", L"b.flv", L"c.flv"});
    // Every arrangement of these six entries; three of them name b.flv with different flags.
    const std::vector<PlayItem> pool = {{1, Path(L"b.flv")}, {0, Path(L"b.flv")}, {0, Path(L"a.flv")},
                                        {0, Path(L"b.flv")}, {0, Path(L"c.flv")}, {1, Path(L"a.flv")}};
    std::vector<int> order = {0, 1, 2, 3, 4, 5};
    int mismatches = 0;
    do {
        PlayListData list;
        std::vector<PlayItem> reference;
        for (int k : order) {
            list.addFile(pool[k].path.c_str(), pool[k].current);
            reference.push_back(pool[k]);
        }
        list.sort();
        reference = ExchangeSorted(reference);
        for (size_t i = 0; i < reference.size(); ++i) {
            if (list.pathAt(static_cast<int>(i)) != reference[i].path ||
                list.isCurrentAt(static_cast<int>(i)) != reference[i].current) {
                ++mismatches;
                break;
            }
        }
    } while (std::next_permutation(order.begin(), order.end()) && mismatches < 5);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(PlayListFolder, RefusedIndicesChangeNothing) {
    MakeFiles({L"a.flv", L"b.flv", L"c.flv"});
    PlayListData list;
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(list.pathAt(0), L"");
    EXPECT_FALSE(list.removeAt(0));

    list.addFile(Path(L"a.flv").c_str(), 0);
    list.addFile(Path(L"b.flv").c_str(), 1);
    list.addFile(Path(L"c.flv").c_str(), 1);
    EXPECT_EQ(list.currentIndex(), 1) << "two flagged entries: the lower index";

    list.setCurrent(-1);
    list.setCurrent(3);
    EXPECT_EQ(Entries(list), (std::vector<std::pair<std::wstring, int>>{
                                 {Path(L"a.flv"), 0}, {Path(L"b.flv"), 1}, {Path(L"c.flv"), 1}}));
    EXPECT_EQ(list.isCurrentAt(-1), 0);
    EXPECT_EQ(list.isCurrentAt(3), 0);
    EXPECT_EQ(list.pathAt(-1), L"");
    EXPECT_EQ(list.pathAt(3), L"");
    EXPECT_FALSE(list.removeAt(3));
    EXPECT_FALSE(list.removeAt(-1));
    EXPECT_EQ(list.count(), 3);

    list.setCurrent(2);
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(list.isCurrentAt(1), 0);
    EXPECT_TRUE(list.removeAt(0));
    EXPECT_EQ(list.currentIndex(), 1) << "the later entries move down with their flags";
    EXPECT_TRUE(list.removeAt(1));
    EXPECT_EQ(list.currentIndex(), -1) << "removing the current entry moves no mark";
    EXPECT_EQ(list.pathAt(0), Path(L"b.flv"));

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.isSupported(L"D:\\after\\clear.flv"));
}

TEST_F(PlayListFolder, ReadsFromAnotherThreadNeverSeeAHalfBuiltList) {
    constexpr int kFiles = 60;
    for (int i = 0; i < kFiles; ++i) {
        std::wstring name = L"clip" + std::to_wstring(100 + i) + (i % 5 == 0 ? L".swf" : L".flv");
        MakeFiles({name.c_str()});
    }
    const std::wstring opened = Path(L"clip117.flv");  // index 17 of the sorted list

    PlayListData list;
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};
    std::atomic<long> inconsistent{0};
    std::thread reader([&] {
        try {
            while (!stop.load()) {
                int n = list.count();
                int current = list.currentIndex();
                if ((n != 0 && n != kFiles) || (current != -1 && current != 17))
                    ++inconsistent;
                ++reads;
            }
        } catch (...) {
            ++inconsistent;
        }
    });
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(list.loadFolder(opened), kFiles);
        if (round % 2)
            list.setCurrent(17);
    }
    // Let the reader get some reads in even on a slow machine, then stop it.
    DWORD deadline = GetTickCount() + 10000;
    while (reads.load() < 1000 && GetTickCount() < deadline)
        list.loadFolder(opened);
    stop = true;
    reader.join();
    EXPECT_GE(reads.load(), 1000);
    EXPECT_EQ(inconsistent.load(), 0);
    EXPECT_EQ(list.currentIndex(), 17);
}

}  // namespace
