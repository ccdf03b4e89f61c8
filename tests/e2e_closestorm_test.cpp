// Fifty starts of the player, each with a good file, each closed (WM_CLOSE, as the close box sends it)
// at a random moment of its first three seconds: while it starts, opens, begins to play or plays. Every
// one must end with 0 within 10 s of its close, and none may be left running.
//
// A start with a file hands it to any running player, so a start is launched only once every earlier one
// has ended or is past its close: its window hidden or gone, which a player does only after it has
// stopped taking files (it answers neither the probe nor a file from then on). The next start thus runs
// beside the last one's teardown and may ask it, and every start must become a player: one that wrote
// "HandOverToRunningInstance: <path>" gave its file to a player that was closing.
#include "e2e_driver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <set>

using namespace e2e;

namespace {

constexpr int kStarts = 50;
constexpr DWORD kLatestClose = 3000;
constexpr DWORD kExitLimit = 10000;

std::vector<DWORD> PlayerProcessesOf(const std::set<DWORD>& parents) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {sizeof(entry)};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (parents.count(entry.th32ParentProcessID) && lstrcmpiW(entry.szExeFile, L"Vantrel.exe") == 0)
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

struct Start {
    std::unique_ptr<TracedChild> child;
    ULONGLONG startedAt = 0;
    DWORD closeAfter = 0;
    ULONGLONG closedAt = 0;
    HWND window = nullptr;
    bool ended = false;

    bool pastItsClose() const { return ended || (closedAt && (!IsWindow(window) || !IsWindowVisible(window))); }
};

using CloseStormTest = E2eFixture;

TEST_F(CloseStormTest, FiftyPlayersClosedAtRandomMomentsAllEndWithZero) {
    const std::wstring files[] = {copyMedia(L"long.flv", L"storm.flv"), copyMedia(L"h263.flv", L"storm-h263.flv"),
                                  copyMedia(L"hostile\\good.swf", L"storm.swf")};
    const unsigned seed = 20261210;
    std::mt19937 random(seed);
    std::uniform_int_distribution<DWORD> moment(0, kLatestClose);
    SCOPED_TRACE("schedule seed " + std::to_string(seed));

    std::vector<Start> starts;
    starts.reserve(kStarts);
    std::set<DWORD> parents = {GetCurrentProcessId()};  // a player may start players too
    int handedOver = 0;
    ULONGLONG longestExit = 0;
    const ULONGLONG deadline = GetTickCount64() + 5 * 60 * 1000;
    while (GetTickCount64() < deadline) {
        if (starts.size() < kStarts &&
            std::all_of(starts.begin(), starts.end(), [](const Start& start) { return start.pastItsClose(); })) {
            starts.emplace_back();
            Start& start = starts.back();
            start.child = std::make_unique<TracedChild>(files[starts.size() % 3]);
            ASSERT_TRUE(start.child->started());
            parents.insert(start.child->pid());
            start.startedAt = GetTickCount64();
            start.closeAfter = moment(random);
        }
        const ULONGLONG now = GetTickCount64();
        bool allEnded = starts.size() == kStarts;
        for (size_t i = 0; i < starts.size(); i++) {
            Start& start = starts[i];
            if (start.ended)
                continue;
            if (!start.window)
                start.window = MainWindowOf(start.child->pid());
            // Closed once it shows, so that only the close hides it.
            if (!start.closedAt && start.window && IsWindowVisible(start.window) &&
                now >= start.startedAt + start.closeAfter) {
                PostMessageW(start.window, WM_CLOSE, 0, 0);
                start.closedAt = now;
            }
            SCOPED_TRACE("start " + std::to_string(i) + ", closed after " + std::to_string(start.closeAfter) + " ms");
            const DWORD code = start.child->waitForExit(0);
            if (code != STILL_ACTIVE) {
                start.ended = true;
                if (!start.child->lines("HandOverToRunningInstance: ").empty()) {
                    handedOver++;
                    ADD_FAILURE() << "handed its file to a player that was past its close";
                    continue;
                }
                EXPECT_NE(start.closedAt, 0u) << "ended before it was closed";
                EXPECT_EQ(code, 0u);
                longestExit = std::max(longestExit, GetTickCount64() - start.closedAt);
                EXPECT_LE(GetTickCount64() - start.closedAt, kExitLimit);
            } else if (start.closedAt && now > start.closedAt + kExitLimit) {
                ADD_FAILURE() << "still runs 10 s after its close";
                start.ended = true;  // ended by the TracedChild's destructor
            } else {
                allEnded = false;
            }
        }
        if (allEnded)
            break;
        Sleep(20);
    }
    std::printf("%zu players closed, %d starts handed over, longest close %llu ms\n", starts.size() - handedOver,
                handedOver, longestExit);
    EXPECT_EQ(starts.size(), static_cast<size_t>(kStarts)) << "the storm did not finish in time";
    EXPECT_TRUE(std::all_of(starts.begin(), starts.end(), [](const Start& start) { return start.ended; }))
        << "not every start was seen to end";
    starts.clear();  // ends whatever is left, by its handle
    EXPECT_TRUE(PlayerProcessesOf(parents).empty()) << "a player process remains";
}

}  // namespace
