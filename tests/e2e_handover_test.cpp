// Second starts of Vantrel.exe that hand their files to the instance already running. The running
// instance runs under this program as its debugger: every file it opens shows as a trace line
// "OpenMediaFile: <path>", and every hand-over a second start completes as
// "HandOverToRunningInstance: <path>", so each open can be counted and put in order.
#include "e2e_driver.h"

#include <algorithm>
#include <memory>

using namespace e2e;

namespace {

constexpr UINT kNewFileMessage = WM_APP + 0x1F8;
constexpr UINT kProbeMessage = WM_APP + 0x1F7;
const char kOpened[] = "OpenMediaFile: ";
const char kHandedOver[] = "HandOverToRunningInstance: ";

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the tests' paths are ASCII
}

std::vector<std::string> Texts(const std::vector<TraceLine>& lines) {
    std::vector<std::string> texts;
    for (const TraceLine& line : lines)
        texts.push_back(line.text);
    return texts;
}

void StoreNewFile(DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vantrel", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, L"MainFrame_NewFile", 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

std::vector<BYTE> Units(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

bool NewFileStored() {
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Vantrel", L"MainFrame_NewFile", RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

class HandOver : public E2eFixture {
  protected:
    // The running instance, started empty, with its window up and its handle published.
    HWND startReceiver(const wchar_t* workingFolder = nullptr) {
        receiver.reset(new TracedChild(L"", workingFolder));
        EXPECT_TRUE(receiver->started());
        HWND window = receiver->waitForWindow();
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
        return window;
    }
    // Waits until the receiver has opened `count` files and returns their paths in the order opened.
    std::vector<std::string> opened(size_t count) {
        PollUntil([&] { return receiver->lines(kOpened).size() >= count; }, 60000);
        return Texts(receiver->lines(kOpened));
    }
    // A second start that must hand its file over: it ends with 0 and never shows a window.
    void handOver(const std::wstring& arguments, const wchar_t* workingFolder = nullptr) {
        Child second(arguments, nullptr, workingFolder);
        ASSERT_TRUE(second.started);
        ExpectHandedOver(second);
    }
    // A receiver asked to close, with its advertisement holding the close (answering `merrowResult`
    // once dismissed), and a second start's file handed over meanwhile. Returns the advertisement's
    // window, or null when there was none to hand over to.
    HWND handOverWhileClosing(const wchar_t* merrowResult, const std::wstring& path) {
        SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", merrowResult);
        SetEnvironmentVariableW(L"VANTREL_MERROW_WAIT", L"1");
        HWND window = startReceiver();
        SetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", nullptr);
        SetEnvironmentVariableW(L"VANTREL_MERROW_WAIT", nullptr);
        if (!window)
            return nullptr;
        PostMessageW(window, WM_CLOSE, 0, 0);
        HWND ad = WaitForAdvertisement(window);
        if (ad)
            handOver(L"\"" + path + L"\"");
        return ad;
    }
    void TearDown() override {
        receiver.reset();
        E2eFixture::TearDown();
    }

    std::unique_ptr<TracedChild> receiver;
};

// Ten second starts at once, each with a file of its own (quoted, with a blank, as the shell passes it):
// each file is opened once, in the order in which the starts handed them over.
TEST_F(HandOver, TenStartsAtOnceOpenEachFileOnceInTheOrderHandedOver) {
    HWND window = startReceiver();
    ASSERT_NE(window, nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 10; ++i)
        paths.push_back(copyMedia(L"h263.flv", L"clip " + std::to_wstring(i) + L".flv"));
    {
        std::vector<std::unique_ptr<TracedChild>> starts;
        for (const std::wstring& path : paths)
            starts.emplace_back(new TracedChild(L"\"" + path + L"\""));
        std::vector<TraceLine> handed;
        for (size_t i = 0; i < starts.size(); ++i) {
            SCOPED_TRACE(Narrow(paths[i]));
            ASSERT_TRUE(starts[i]->started());
            EXPECT_EQ(starts[i]->waitForExit(60000), 0u);
            EXPECT_EQ(MainWindowOf(starts[i]->pid()), nullptr);
            std::vector<TraceLine> own = starts[i]->lines(kHandedOver);
            ASSERT_EQ(Texts(own), std::vector<std::string>{Narrow(paths[i])});
            EXPECT_TRUE(starts[i]->lines(kOpened).empty()) << "a start that handed its file over opens nothing";
            handed.push_back(own[0]);
        }
        std::sort(handed.begin(), handed.end(),
                  [](const TraceLine& a, const TraceLine& b) { return a.order < b.order; });

        // One more file after them: a file opened twice would show before it, since the files are
        // opened in the order they were taken.
        std::wstring last = copyMedia(L"h263.flv", L"last.flv");
        handOver(last);
        std::vector<std::string> expected = Texts(handed);
        expected.push_back(Narrow(last));
        EXPECT_EQ(opened(11), expected);
    }
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - last.flv"));
    EXPECT_EQ(ErrorBoxOf(window), nullptr);
}

// A file handed over while a close waits for the advertisement (its modal loop answers the second start)
// is opened once the close has been refused.
TEST_F(HandOver, AFileHandedOverDuringARefusedCloseOpensAfterIt) {
    std::wstring clip = copyMedia(L"h263.flv", L"during close.flv");
    HWND ad = handOverWhileClosing(L"2", clip);
    ASSERT_NE(ad, nullptr);
    EXPECT_TRUE(receiver->lines(kOpened).empty()) << "nothing opens while the close is deciding";
    PostMessageW(ad, WM_CLOSE, 0, 0);
    EXPECT_EQ(opened(1), std::vector<std::string>{Narrow(clip)});
    EXPECT_TRUE(WaitForCaption(receiver->waitForWindow(), L"Vantrel - during close.flv"));
}

// A player that another player started: found by its window, ended by its process when the test leaves.
class StartedElsewhere {
  public:
    explicit StartedElsewhere(HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    }
    ~StartedElsewhere() {
        if (!process_)
            return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
    }
    StartedElsewhere(const StartedElsewhere&) = delete;
    StartedElsewhere& operator=(const StartedElsewhere&) = delete;
    // The exit code, or STILL_ACTIVE when it has not ended in time.
    DWORD waitForExit(DWORD timeoutMs) {
        DWORD code = STILL_ACTIVE;
        if (process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_, &code);
        return code;
    }

  private:
    HANDLE process_ = nullptr;
};

// The same, when the close goes ahead: the file is not lost with the closing window, but opens once, in
// a player that stays.
TEST_F(HandOver, AFileHandedOverDuringACloseThatGoesAheadOpensInAPlayerThatStays) {
    std::wstring clip = copyMedia(L"h263.flv", L"during close.flv");
    HWND ad = handOverWhileClosing(nullptr, clip);
    ASSERT_NE(ad, nullptr);
    PostMessageW(ad, WM_CLOSE, 0, 0);
    EXPECT_EQ(receiver->waitForExit(kStartTimeout), 0u);
    EXPECT_TRUE(receiver->lines(kOpened).empty()) << "the closing window opens nothing";

    HWND player = nullptr;
    ASSERT_TRUE(PollUntil(
        [&] {
            for (HWND candidate : PlayerWindows())
                if (TextOf(candidate) == L"Vantrel - during close.flv")
                    player = candidate;
            return player != nullptr;
        },
        kStartTimeout))
        << "the file handed over is lost";
    StartedElsewhere other(player);
    ASSERT_TRUE(WaitForTimerStep(player));
    EXPECT_TRUE(AnswersProbe(player)) << "the window that shows the file stays and takes the next one";
    EXPECT_EQ(PlayerWindows(), std::vector<HWND>{player});
    EXPECT_EQ(TextOf(player), L"Vantrel - during close.flv");

    // It runs like any player (started as this test started the first, so its close asks the same way).
    PostMessageW(player, WM_CLOSE, 0, 0);
    HWND itsAd = WaitForAdvertisement(player);
    ASSERT_NE(itsAd, nullptr);
    PostMessageW(itsAd, WM_CLOSE, 0, 0);
    EXPECT_EQ(other.waitForExit(kStartTimeout), 0u);
}

// A published window that is gone (its player closed, or ended without closing) does not send the next
// file into a new window while another player runs: the file goes to that player.
TEST_F(HandOver, WhenThePublishedWindowIsGoneTheFileGoesToTheRunningPlayer) {
    for (bool closed : {true, false}) {
        SCOPED_TRACE(closed ? "the published player closed" : "the published player ended without closing");
        std::wstring first = copyMedia(L"long.flv", closed ? L"a1.flv" : L"a2.flv");
        TracedChild a(L"\"" + first + L"\"");
        ASSERT_TRUE(a.started());
        HWND window = a.waitForWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(PollUntil([&] { return PublishedWindow() == window; }, kStartTimeout));
        {
            auto b = std::make_unique<TracedChild>(L"");
            ASSERT_TRUE(b->started());
            HWND second = b->waitForWindow();
            ASSERT_NE(second, nullptr);
            ASSERT_TRUE(PollUntil([&] { return PublishedWindow() == second; }, kStartTimeout));
            if (closed) {
                PostMessageW(second, WM_CLOSE, 0, 0);
                EXPECT_EQ(b->waitForExit(kStartTimeout), 0u);
                EXPECT_EQ(PublishedWindow(), nullptr) << "a closed player leaves no handle behind";
            } else {
                b.reset();  // ended from outside: its handle stays in the registry
                EXPECT_EQ(PublishedWindow(), second);
            }
            EXPECT_FALSE(IsWindow(second));
        }
        std::wstring clip = copyMedia(L"h263.flv", closed ? L"c1.flv" : L"c2.flv");
        TracedChild c(L"\"" + clip + L"\"");
        ASSERT_TRUE(c.started());
        EXPECT_EQ(c.waitForExit(kStartTimeout), 0u);
        EXPECT_EQ(Texts(c.lines(kHandedOver)), std::vector<std::string>{Narrow(clip)});
        EXPECT_TRUE(c.lines(kOpened).empty()) << "the third start opened the file itself";
        EXPECT_TRUE(PollUntil([&] { return a.lines(kOpened).size() >= 2; }, kStartTimeout));
        EXPECT_EQ(Texts(a.lines(kOpened)), (std::vector<std::string>{Narrow(first), Narrow(clip)}));
        EXPECT_TRUE(WaitForCaption(window, L"Vantrel - " + clip.substr(folder.size())));
        EXPECT_EQ(PlayerWindows(), std::vector<HWND>{window});
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(a.waitForExit(kStartTimeout), 0u);
    }
}

// A relative path means the second start's working folder, never the receiver's, where a file of the
// same name waits to be opened by mistake.
TEST_F(HandOver, ARelativePathIsResolvedWhereTheSecondStartRuns) {
    std::wstring elsewhere = folder + L"elsewhere";
    ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
    copyMedia(L"h263.flv", L"elsewhere\\clip.flv");
    std::wstring clip = copyMedia(L"long.flv", L"clip.flv");
    HWND window = startReceiver(elsewhere.c_str());
    ASSERT_NE(window, nullptr);
    handOver(L"clip.flv", folder.c_str());
    EXPECT_EQ(opened(1), std::vector<std::string>{Narrow(clip)});
    RemoveDirectoryW(elsewhere.c_str());
}

// The receiver takes at most 260 units: a longer path is not handed over, the second start plays it (and,
// running by itself, becomes the instance that later starts find).
TEST_F(HandOver, APathTooLongForTheReceiverIsOpenedByTheSecondStart) {
    HWND window = startReceiver();
    ASSERT_NE(window, nullptr);
    const std::wstring deep = folder + std::wstring(120, L'd');
    const std::wstring deeper = deep + L"\\" + std::wstring(120, L'e');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(deeper.c_str(), nullptr));
    const std::wstring path = deeper + L"\\long clip.flv";
    ASSERT_GT(path.size(), 260u);
    ASSERT_TRUE(CopyFileW((MediaFolder() + L"long.flv").c_str(), path.c_str(), FALSE));
    {
        TracedChild second(L"\"" + path + L"\"");
        ASSERT_TRUE(second.started());
        HWND own = second.waitForWindow();
        ASSERT_NE(own, nullptr) << "the second start keeps the file and shows it itself";
        EXPECT_TRUE(PollUntil([&] { return !second.lines(kOpened).empty(); }, kStartTimeout));
        EXPECT_EQ(Texts(second.lines(kOpened)), std::vector<std::string>{Narrow(path)});
        EXPECT_TRUE(second.lines(kHandedOver).empty());
        EXPECT_TRUE(receiver->lines(kOpened).empty());
        // A cut path would name another file: the second start shows the file it was given.
        EXPECT_TRUE(WaitForCaption(own, L"Vantrel - long clip.flv"));
    }
    DeleteFileW(path.c_str());
    RemoveDirectoryW(deeper.c_str());
    RemoveDirectoryW(deep.c_str());
}

// The file message with a value that is missing, unreadable, or left from before the receiver started
// opens nothing and shows nothing: the next real hand-over is the first file it opens.
TEST_F(HandOver, AValueThatWasNotHandedOverOpensNothing) {
    std::wstring stale = copyMedia(L"h263.flv", L"stale.flv");
    StoreNewFile(REG_SZ, Units(stale));
    HWND window = startReceiver();
    ASSERT_NE(window, nullptr);
    DWORD_PTR result = 0;
    // Posted as an older sender would, after the stale value had stayed behind.
    PostMessageW(window, kNewFileMessage, 0, 0);

    const std::vector<BYTE> tooLong = Units(std::wstring(300, L'x'));
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        bool store;
    } cases[] = {
        {"missing", REG_SZ, {}, false},
        {"not a string", REG_BINARY, Units(stale), true},
        {"longer than the receiver takes", REG_SZ, tooLong, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.store)
            StoreNewFile(c.type, c.data);
        ASSERT_TRUE(SendMessageTimeoutW(window, kNewFileMessage, 0, 0, SMTO_NORMAL, kStartTimeout, &result));
        EXPECT_FALSE(NewFileStored()) << "the value is taken, readable or not";
    }
    std::wstring good = copyMedia(L"long.flv", L"good.flv");
    handOver(good);
    EXPECT_EQ(opened(1), std::vector<std::string>{Narrow(good)});
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - good.flv"));
    EXPECT_EQ(ErrorBoxOf(window), nullptr);
}

// A window that answers the probe like a player and then fails the file: it is gone when the file comes,
// or it does not answer. The second start keeps its file and plays it, and nothing is left for a late
// reader of the value.
struct FakeReceiver {
    enum Mode { kVanishes, kHangs };
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kProbeMessage) {
            // Answered first, so the second start goes on to write and send the file to a window that
            // is gone by then.
            ReplyMessage(0x81F7);
            if (current->mode == kVanishes)
                DestroyWindow(window);
            return 0x81F7;
        }
        if (message == kNewFileMessage) {
            current->fileMessages++;
            WaitForSingleObject(current->release, 60000);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    explicit FakeReceiver(Mode m) : mode(m) {
        current = this;
        release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread = std::thread([this, ready] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"VantrelFakeReceiver";
            RegisterClassW(&wc);
            window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                     wc.hInstance, nullptr);
            threadId = GetCurrentThreadId();
            SetEvent(ready);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
            if (IsWindow(window))
                DestroyWindow(window);
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vantrel", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
        DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
        RegSetValueExW(key, L"MainFrame_Handle", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
    }
    ~FakeReceiver() {
        SetEvent(release);
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        thread.join();
        CloseHandle(release);
        current = nullptr;
    }
    static FakeReceiver* current;
    Mode mode;
    std::atomic<int> fileMessages{0};
    HANDLE release = nullptr;
    HWND window = nullptr;
    DWORD threadId = 0;
    std::thread thread;
};
FakeReceiver* FakeReceiver::current = nullptr;

TEST_F(HandOver, AReceiverThatDoesNotTakeTheFileLeavesItToTheSecondStart) {
    for (FakeReceiver::Mode mode : {FakeReceiver::kVanishes, FakeReceiver::kHangs}) {
        SCOPED_TRACE(mode == FakeReceiver::kVanishes ? "gone after the probe" : "not answering the file");
        FakeReceiver fake(mode);
        std::wstring clip = copyMedia(L"long.flv", mode == FakeReceiver::kVanishes ? L"gone.flv" : L"hung.flv");
        TracedChild second(L"\"" + clip + L"\"");
        ASSERT_TRUE(second.started());
        HWND own = second.waitForWindow();
        ASSERT_NE(own, nullptr);
        EXPECT_TRUE(WaitForCaption(own, L"Vantrel - " + clip.substr(folder.size())));
        EXPECT_TRUE(second.lines(kHandedOver).empty());
        EXPECT_FALSE(NewFileStored()) << "a late reader must find nothing";
        EXPECT_EQ(fake.fileMessages.load(), mode == FakeReceiver::kHangs ? 1 : 0);
    }
}

}  // namespace
