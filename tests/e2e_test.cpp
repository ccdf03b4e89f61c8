// Vantrel.exe started as a user would (CreateProcessW, a command line, a second start, a close), and
// observed from this process only: its windows, their texts and states, its exit code, the registry and
// the lines it writes to the debugger output.
#include "e2e_driver.h"

using namespace e2e;

namespace {

constexpr UINT kCommandPlay = 32784;

using E2eTest = E2eFixture;

TEST_F(E2eTest, ACommandLineFlvPlaysUntilStoppedAndACloseExitsWithZero) {
    Child child(copyMedia(L"long.flv", L"long.flv"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));
    PostMessageW(window, WM_COMMAND, kCommandStop, 0);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

// The whole tail is one path, used only when it opens. The shell quotes a path with blanks: one pair of
// quotes around the tail is taken off.
TEST_F(E2eTest, AQuotedPathPlaysWithBlanksAndCjk) {
    for (const std::wstring name : {L"my clip.flv", L"\u89C6\u9891 \u7247\u6BB5.flv"}) {
        Child child(L"\"" + copyMedia(L"h263.flv", name) + L"\"");
        ASSERT_TRUE(child.started);
        HWND window = child.waitForWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(WaitForCaption(window, L"Vantrel - " + name));
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    }
}

// A path that does not open, quoted or not, or a tail with more than one pair of quotes: the window comes
// up empty and shows nothing.
TEST_F(E2eTest, AnUnreadableCommandLineStartsEmpty) {
    std::wstring clip = copyMedia(L"h263.flv", L"clip.flv");
    for (const std::wstring& arguments :
         {folder + L"missing.flv", L"\"" + folder + L"missing clip.flv\"", L"\"" + clip + L"\" \"" + clip + L"\""}) {
        SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
        TracedChild child(arguments);
        ASSERT_TRUE(child.started());
        HWND window = child.waitForWindow();
        ASSERT_NE(window, nullptr);
        // Start-up has dealt with the command line before its message loop runs a timer step: an open it
        // began (or failed, with the error box, whose loop runs the timer too) is in the trace by then.
        ASSERT_TRUE(WaitForTimerStep(window));
        EXPECT_TRUE(child.lines("OpenMediaFile: ").empty());
        EXPECT_EQ(ErrorBoxOf(window), nullptr);
        EXPECT_EQ(TextOf(window), L"Vantrel");
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    }
}

TEST_F(E2eTest, AnUnsupportedFileShowsTheErrorBox) {
    Child child(writeFile(L"notes.txt", "not a clip"));
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    HWND box = nullptr;
    ASSERT_TRUE(PollUntil([&] { return (box = ErrorBoxOf(window)) != nullptr; }, kStartTimeout));
    EXPECT_EQ(TextOf(box), L"Vantrel");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PollUntil([&] { return !IsWindow(box); }, kStartTimeout));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

TEST_F(E2eTest, TheEndOfTheFirstOfTwoStartsTheSecondAndTheEndOfTheLastStops) {
    std::wstring first = copyMedia(L"pair\\a.flv", L"a.flv");
    copyMedia(L"pair\\b.flv", L"b.flv");
    TracedChild child(first);
    ASSERT_TRUE(child.started());
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - a.flv"));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - b.flv"));
    // The controller has handled the end of the last file (its second end of media), and the next timer
    // step finds nothing playing.
    const std::string ended = "Playlogic: timerProc: Ended";
    ASSERT_TRUE(PollUntil([&] { return child.lines(ended).size() >= 2; }, kStartTimeout));
    ASSERT_TRUE(WaitForTimerStep(window));
    EXPECT_EQ(TextOf(window), L"Vantrel");
    // Stopped for good on the last item, not wrapped to the first (which may not show yet): Play plays
    // the last one again.
    PostMessageW(window, WM_COMMAND, kCommandPlay, 0);
    std::wstring caption;
    EXPECT_TRUE(PollUntil([&] { return (caption = TextOf(window)) != L"Vantrel"; }, kStartTimeout));
    EXPECT_EQ(caption, L"Vantrel - b.flv");
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
}

namespace {

const wchar_t kSettingsKey[] = L"Software\\Tarnwell\\Vantrel";

std::vector<BYTE> StoredPlacement() {
    BYTE data[64] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"MAIN_WP", RRF_RT_REG_BINARY, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return {};
    return std::vector<BYTE>(data, data + size);
}

void StorePlacement(const WINDOWPLACEMENT& placement) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"MAIN_WP", REG_BINARY, &placement, sizeof(placement));
}

// What the stand-in advertisement library was given, one line a call: owner, product, address.
std::vector<std::vector<std::string>> MerrowCalls(const std::wstring& record) {
    std::vector<std::vector<std::string>> calls;
    FILE* file = _wfopen(record.c_str(), L"rb");
    if (!file)
        return calls;
    char line[1024];
    while (fgets(line, sizeof(line), file)) {
        std::vector<std::string> fields;
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        size_t start = 0;
        for (size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(text.substr(start, tab - start));
        fields.push_back(text.substr(start));
        calls.push_back(fields);
    }
    fclose(file);
    return calls;
}

// The stand-in merrow steered and watched through the environment the child inherits.
class MerrowScope {
  public:
    MerrowScope(const std::wstring& record, bool wait) {
        DeleteFileW(record.c_str());
        SetEnvironmentVariableW(L"VANTREL_MERROW_RECORD", record.c_str());
        SetEnvironmentVariableW(L"VANTREL_MERROW_WAIT", wait ? L"1" : nullptr);
    }
    ~MerrowScope() {
        SetEnvironmentVariableW(L"VANTREL_MERROW_RECORD", nullptr);
        SetEnvironmentVariableW(L"VANTREL_MERROW_WAIT", nullptr);
    }
};

std::string Decimal(HWND window) {
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
}

}  // namespace

// The advertisement library answers 2: the close is refused and everything stays as it was, the stored
// placement included; the next close is asked again and goes through.
TEST_F(E2eTest, ACloseThatTheAdvertisementRefusesLeavesEverythingAsItWas) {
    WINDOWPLACEMENT stored = {sizeof(stored)};
    stored.showCmd = SW_SHOWNORMAL;
    stored.rcNormalPosition = {40, 30, 680, 510};
    StorePlacement(stored);
    const std::vector<BYTE> before = StoredPlacement();
    ASSERT_EQ(before.size(), sizeof(WINDOWPLACEMENT));
    const std::wstring record = folder + L"merrow.txt";
    files.push_back(L"merrow.txt");
    MerrowScope merrow(record, false);
    Child child(copyMedia(L"long.flv", L"long.flv"), L"2,0");
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - long.flv"));
    // Moved: the placement that a close would capture is no longer the stored one.
    SetWindowPos(window, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, kStartTimeout, &result));
    EXPECT_TRUE(child.running());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(StoredPlacement(), before);
    // The close has been handled when the send returns; a timer step after it still finds the file playing.
    ASSERT_TRUE(WaitForTimerStep(window));
    EXPECT_EQ(TextOf(window), L"Vantrel - long.flv");

    std::vector<std::vector<std::string>> calls = MerrowCalls(record);
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].size(), 3u);
    EXPECT_EQ(calls[0][0], Decimal(window));
    EXPECT_EQ(calls[0][1], "Vantrel");
    const std::string& address = calls[0][2];
    EXPECT_EQ(address.rfind("http://", 0), 0u) << address;
    const std::string path = "/ads/vantrel/ads.php";
    ASSERT_GT(address.size(), path.size());
    EXPECT_EQ(address.substr(address.size() - path.size()), path);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    EXPECT_EQ(MerrowCalls(record).size(), 2u);
    WINDOWPLACEMENT saved = {};
    const std::vector<BYTE> after = StoredPlacement();
    ASSERT_EQ(after.size(), sizeof(saved));
    memcpy(&saved, after.data(), sizeof(saved));
    EXPECT_EQ(saved.rcNormalPosition.left, 120);
    EXPECT_EQ(saved.rcNormalPosition.top, 90);
}

// The advertisement runs a modal loop; a second close that arrives meanwhile (Exit posts one) is ignored:
// the library is asked once, and the placement of the window is saved, not lost to a window that the
// second close would already have destroyed.
TEST_F(E2eTest, ASecondCloseWhileTheAdvertisementShowsIsIgnored) {
    const std::wstring record = folder + L"merrow.txt";
    files.push_back(L"merrow.txt");
    MerrowScope merrow(record, true);
    Child child(L"", L"0");
    ASSERT_TRUE(child.started);
    HWND window = child.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel"));
    SetWindowPos(window, nullptr, 70, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"MAIN_WP");

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND ad = WaitForAdvertisement(window);
    ASSERT_NE(ad, nullptr);
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result))
        << "the second close must come back at once";
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(MerrowCalls(record).size(), 1u);

    PostMessageW(ad, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(kStartTimeout), 0u);
    EXPECT_EQ(MerrowCalls(record).size(), 1u);
    WINDOWPLACEMENT saved = {};
    const std::vector<BYTE> after = StoredPlacement();
    ASSERT_EQ(after.size(), sizeof(saved));
    memcpy(&saved, after.data(), sizeof(saved));
    EXPECT_EQ(saved.rcNormalPosition.left, 70);
    EXPECT_EQ(saved.rcNormalPosition.top, 60);
}

TEST_F(E2eTest, ASecondStartHandsItsFileToTheRunningInstance) {
    Child first(L"");
    ASSERT_TRUE(first.started);
    HWND window = first.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel"));

    Child second(copyMedia(L"long.flv", L"handed.flv"));
    ASSERT_TRUE(second.started);
    ExpectHandedOver(second);
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - handed.flv"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.waitForExit(kStartTimeout), 0u);
}

}  // namespace
