// Malformed, misnamed and oddly named files (tools/make-hostile-media.sh) through every road into the
// player: its command line, the Open dialog, a drop, a second start's hand-over. Each file must reach the
// one road to opening a file with its whole path (the player's trace line "OpenMediaFile: <path>"), so a
// file missing from the corpus fails. After each file the player must still answer the instance probe,
// show "Could not load the file" only for what it cannot open or play at all (and let that box go), and
// play a good file next; at the end it closes with 0.
#include "e2e_driver.h"

using namespace e2e;

namespace {

enum class Road { CommandLine, OpenDialog, Drop, HandOver };

struct HostileFile {
    const wchar_t* name;
    bool errorBox;  // the box is shown: the open is refused, or libvlc ends the file before it played
    bool folder;    // a folder named like a movie
    // libvlc ends it in its first second with no time reported, or with only just one: whether that is
    // before it played, and before the next file comes, depends on the moment.
    bool boxMayShow = false;
};

// What is not refused outright is handed to its engine, which plays what it can and stops on the rest. A
// name without a playable extension is refused with the box; so is a file that libvlc ends (at once)
// before it ever reported a playback time, once it has ended.
const HostileFile kHostileFiles[] = {
    {L"flv-bad-signature.flv", true, false},
    {L"flv-header-only.flv", true, false},
    {L"flv-empty.flv", true, false},
    {L"flv-offset-zero.flv", true, false},
    {L"flv-offset-max.flv", true, false},
    {L"flv-tag-beyond-file.flv", true, false},
    {L"flv-unknown-tags.flv", false, false, true},
    {L"flv-garbage-script.flv", false, false},
    {L"flv-unknown-codec.flv", false, false},
    {L"flv-h264-no-config.flv", false, false},
    {L"flv-garbage-audio.flv", false, false},
    {L"flv-time-backwards.flv", true, false},
    {L"flv-flipped-h263.flv", false, false, true},
    {L"flv-flipped-h264.flv", false, false},
    {L"flv-zeros-100mb.flv", false, false, true},
    {L"swf-text.swf", false, false},
    {L"swf-random.swf", false, false},
    {L"swf-header-cut.swf", false, false},
    {L"swf-length-4gb.swf", false, false},
    {L"swf-zlib-corrupt.swf", false, false},
    {L"swf-zlib-cut.swf", false, false},
    {L"swf-lzma.swf", false, false},
    {L"swf-zero-frames.swf", false, false},
    {L"swf-65535-frames.swf", false, false},
    {L"swf-rect-31bit.swf", false, false},
    {L"swf-length-short.swf", false, false},
    {L"flv-named.swf", false, false},
    {L"swf-named.flv", true, false},
    {L"png-named.flv", false, false},
    {L"clip with spaces.flv", false, false},
    {L"\x5F71\x7247 \x30C6\x30B9\x30C8 \x00F1\x0061\x006E\x0064\x00FA.flv", false, false},
    {L"\x00E7\x00E0 et l\x00E0.swf", false, false},
    {L"noextension", true, false},
    {L"folder.flv", false, true},
};

const char kOpened[] = "OpenMediaFile: ";

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    return out;
}

class Hostile : public E2eFixture {
  protected:
    void SetUp() override {
        E2eFixture::SetUp();
        // Written as every road hands it on: whole, without the "..".
        wchar_t full[MAX_PATH] = {};
        GetFullPathNameW((MediaFolder() + L"hostile\\").c_str(), MAX_PATH, full, nullptr);
        hostile = full;
        // Two good files of the two engines, each alone in its folder so that nothing moves on by itself;
        // taken in turn, so each one's caption is news.
        good[0] = copyMedia(L"long.flv", L"good-a.flv");
        goodSwfFolder = folder + L"swf\\";
        ASSERT_TRUE(CreateDirectoryW(goodSwfFolder.c_str(), nullptr));
        good[1] = goodSwfFolder + L"good-b.swf";
        ASSERT_TRUE(CopyFileW((hostile + L"good.swf").c_str(), good[1].c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileW(good[1].c_str());
        RemoveDirectoryW(goodSwfFolder.c_str());
        E2eFixture::TearDown();
    }

    // A second start with the path: it hands the file over and ends with 0 without a window, or (for what
    // does not open for reading) runs as a player of its own, which is closed again here; the running
    // player then becomes the hand-over target again.
    void handOver(HWND player, const std::wstring& path, bool staysOnItsOwn) {
        Child second(path);
        ASSERT_TRUE(second.started);
        if (staysOnItsOwn) {
            HWND own = second.waitForWindow();
            ASSERT_NE(own, nullptr) << "a second start that cannot hand over runs by itself";
            EXPECT_TRUE(AnswersProbe(own));
            PostMessageW(own, WM_CLOSE, 0, 0);
            EXPECT_EQ(second.waitForExit(kStartTimeout), 0u);
            PublishWindow(player);
            return;
        }
        ExpectHandedOver(second);
    }

    void deliver(Road road, HWND player, const std::wstring& path, bool folderPath) {
        switch (road) {
            case Road::OpenDialog:
                if (folderPath) {
                    // The dialog changes into the folder instead of returning it; nothing is opened.
                    EXPECT_FALSE(ChooseInOpenDialog(player, path));
                    HWND dialog = OpenDialogOf(player);
                    ASSERT_NE(dialog, nullptr);
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                    EXPECT_TRUE(PollUntil([&] { return !IsWindow(dialog); }, kStartTimeout));
                } else {
                    EXPECT_TRUE(ChooseInOpenDialog(player, path));
                }
                break;
            case Road::Drop: {
                DWORD pid = 0;
                GetWindowThreadProcessId(player, &pid);
                HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
                EXPECT_TRUE(PostDrop(process, player, path));
                CloseHandle(process);
                break;
            }
            case Road::HandOver:
                handOver(player, path, folderPath);
                break;
            case Road::CommandLine:
                break;
        }
    }

    // After a hostile file: the probe is answered, the box is there exactly when expected and goes away.
    void expectAfterHostile(Road road, HWND player, const HostileFile& file) {
        EXPECT_TRUE(AnswersProbe(player)) << "the player does not answer the probe within 2 s";
        // Stopped, it can end no more: a box it brought is up by the next timer step, or never comes.
        if (file.boxMayShow)
            PostMessageW(player, WM_COMMAND, kCommandStop, 0);
        ASSERT_TRUE(WaitForTimerStep(player)) << "the player's timer stopped";
        // A dropped folder reaches libvlc as it is (the drop road has no readability test), which ends it at
        // once; on the other roads it is never opened.
        const bool errorBox = file.errorBox || (file.folder && road == Road::Drop);
        HWND box = nullptr;
        if (errorBox) {
            ASSERT_TRUE(PollUntil([&] { return (box = ErrorBoxOf(player)) != nullptr; }, kStartTimeout));
            EXPECT_TRUE(DismissErrorBox(box));
        } else if (file.boxMayShow && (box = ErrorBoxOf(player)) != nullptr) {
            EXPECT_TRUE(DismissErrorBox(box));
        }
        EXPECT_EQ(ErrorBoxOf(player), nullptr);
    }

    // The next good file plays, through the same road (the command line's player gets it handed over).
    void expectGoodFileAfter(Road road, HWND player) {
        const std::wstring& path = good[turn++ % 2];
        if (road == Road::CommandLine)
            handOver(player, path, false);
        else
            deliver(road, player, path, false);
        EXPECT_TRUE(WaitForCaption(player, L"Vantrel - " + path.substr(path.find_last_of(L'\\') + 1)));
        EXPECT_EQ(ErrorBoxOf(player), nullptr) << "an error box is left over";
    }

    // The corpus file, which must be there as the table says: the drop and the Open dialog hand on a path
    // that names nothing just the same.
    std::wstring corpusPath(const HostileFile& file) {
        const std::wstring path = hostile + file.name;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "missing from the corpus";
        EXPECT_EQ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, file.folder);
        return path;
    }

    // The file reached OpenMediaFile with its whole path, as the one open since `before` opens; or, for
    // what does not get there on this road, nothing was opened since.
    void expectReachedOpen(TracedChild& player, size_t before, const std::wstring& path, bool reaches) {
        if (reaches) {
            EXPECT_TRUE(PollUntil([&] { return player.lines(kOpened).size() > before; }, kStartTimeout))
                << "never reached OpenMediaFile";
        }
        std::vector<TraceLine> opens = player.lines(kOpened);
        ASSERT_EQ(opens.size(), before + (reaches ? 1 : 0));
        if (reaches) {
            EXPECT_EQ(opens.back().text, TracedText(path));
        }
    }

    std::wstring hostile;
    std::wstring goodSwfFolder;
    std::wstring good[2];
    unsigned turn = 0;
};

class HostileTest : public Hostile, public ::testing::WithParamInterface<Road> {};

TEST_P(HostileTest, EveryFileLeavesThePlayerAnsweringAndTheNextGoodFilePlays) {
    const Road road = GetParam();
    // A folder does not open for reading, so only a drop (which does not test that) takes it to the open.
    auto reachesOpen = [road](const HostileFile& file) { return !file.folder || road == Road::Drop; };
    if (road == Road::CommandLine) {
        for (const HostileFile& file : kHostileFiles) {
            SCOPED_TRACE(Narrow(file.name));
            const std::wstring path = corpusPath(file);
            TracedChild player(path);
            ASSERT_TRUE(player.started());
            HWND window = player.waitForWindow();
            ASSERT_NE(window, nullptr);
            // A folder does not open for reading: the player starts empty, without a box.
            expectAfterHostile(road, window, file);
            expectReachedOpen(player, 0, path, reachesOpen(file));
            ASSERT_TRUE(PollUntil([&] { return PublishedWindow() == window; }, kStartTimeout));
            expectGoodFileAfter(road, window);
            PostMessageW(window, WM_CLOSE, 0, 0);
            EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
        }
        return;
    }
    TracedChild player(L"");
    ASSERT_TRUE(player.started());
    HWND window = player.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PollUntil([&] { return PublishedWindow() == window; }, kStartTimeout));
    for (const HostileFile& file : kHostileFiles) {
        SCOPED_TRACE(Narrow(file.name));
        const std::wstring path = corpusPath(file);
        const size_t before = player.lines(kOpened).size();
        deliver(road, window, path, file.folder);
        ASSERT_EQ(player.waitForExit(0), STILL_ACTIVE);
        expectAfterHostile(road, window, file);
        expectReachedOpen(player, before, path, reachesOpen(file));
        expectGoodFileAfter(road, window);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
}

// A dropped path longer than the program's buffers of 260 units opens whole: cut, it names no file.
TEST_F(Hostile, ADroppedPathOf300UnitsOpensWhole) {
    const std::wstring name = L"long drop.flv";
    const std::wstring outer = folder + std::wstring(120, L'd');
    const std::wstring inner = outer + L"\\" + std::wstring(300 - outer.size() - 2 - name.size(), L'e');
    const std::wstring path = inner + L"\\" + name;
    ASSERT_EQ(path.size(), 300u);
    ASSERT_TRUE(CreateDirectoryW(outer.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((MediaFolder() + L"long.flv").c_str(), path.c_str(), FALSE));
    {
        TracedChild player(L"");
        ASSERT_TRUE(player.started());
        HWND window = player.waitForWindow();
        ASSERT_NE(window, nullptr);
        deliver(Road::Drop, window, path, false);
        expectReachedOpen(player, 0, path, true);
        EXPECT_TRUE(WaitForCaption(window, L"Vantrel - " + name));
        EXPECT_EQ(ErrorBoxOf(window), nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
    }
    DeleteFileW(path.c_str());
    RemoveDirectoryW(inner.c_str());
    RemoveDirectoryW(outer.c_str());
}

std::string RoadName(const ::testing::TestParamInfo<Road>& info) {
    static const char* const names[] = {"CommandLine", "OpenDialog", "Drop", "HandOver"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Roads,
                         HostileTest,
                         ::testing::Values(Road::CommandLine, Road::OpenDialog, Road::Drop, Road::HandOver),
                         RoadName);

}  // namespace
