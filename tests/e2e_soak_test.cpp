// A soak: while the bundled samples play, random user actions from outside (every command of the main
// window, presses and drags on both sliders, Previous and Next across FLV and SWF, full screen in and
// out, hand-overs, the Open dialog and the About box), with the player's resources sampled every 100
// actions in a long run (tools/soak, 1,000 actions or more) and every 50 in a shorter one. After the
// first 200 actions its GDI objects, windows and kernel handles may grow by at most 5 %, its private
// bytes and its working set by at most 10 %.
//
// GetGuiResources answers 0 under this platform, so the GDI objects are counted in the player's own GDI
// handle table (read from its memory) and the USER objects as its windows at every level; kernel handles
// come from the system's handle list, private bytes (the page-file usage) and the working set from the
// process list.
// The platform's Open dialog keeps one registry key open after every file it returns (its list of
// recently visited folders); those handles are shown apart and not counted as the player's.
//
// VANTREL_SOAK_ACTIONS sets the number of actions: 400 by default, the CI run (200 measured after the
// 200 that settle, sampled every 50); tools/soak runs 2,000 and prints the samples as a table. Before the
// random actions a warm-up does each kind of action once. The platform's Open dialog still grows its
// caches (about 20 GDI objects) over its first few dozen uses, and private bytes move by several
// megabytes with what was played last, so nothing shorter than the first 200 actions settles. Each
// sample is taken in the same state (the first sample handed over, then stopped), so that what is
// counted is what the player keeps, not the engine or the frames of the moment; play then
// resumes.
#include <cstdio>
#include <random>
#include <string>

#include "e2e_driver.h"

using namespace e2e;

namespace {

enum Command : UINT {
    kAbout = 104,
    kOpen = 32771,
    kExit = 32774,
    kFullScreen = 32778,
    kLeaveFullScreen = 32780,
    kPlay = 32784,
    kPause = 32785,
    kStop = 32786,
    kClose = 32790,
    kMute = 32806,
    kForward = 32810,
    kPrevious = 32815,
    kNext = 32816,
    kBackward = 32817,
    kVolumeUp = 32820,
    kVolumeDown = 32821,
};
// Every command but Exit, which ends the run.
const UINT kCommands[] = {kAbout,    kOpen,     kFullScreen, kLeaveFullScreen, kPlay,     kPause,
                          kStop,     kClose,    kMute,       kForward,         kPrevious, kNext,
                          kBackward, kVolumeUp, kVolumeDown};
constexpr int kTimeBar = 1009;
constexpr int kVolumeBar = 1010;

int ActionCount() {
    wchar_t text[16] = {};
    if (GetEnvironmentVariableW(L"VANTREL_SOAK_ACTIONS", text, 16) && _wtoi(text) > 0)
        return _wtoi(text);
    return 400;
}

std::wstring SamplesFolder() {
    wchar_t source[MAX_PATH] = {};
    GetEnvironmentVariableW(L"VANTREL_SOURCE", source, MAX_PATH);
    std::wstring path = std::wstring(L"Z:") + source + L"/samples/";
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

// The control bar: the child dialog of the main window that holds the time bar.
HWND BarOf(HWND mainWindow) {
    HWND child = nullptr;
    while ((child = FindWindowExW(mainWindow, child, L"#32770", nullptr)) != nullptr)
        if (GetDlgItem(child, kTimeBar))
            return child;
    return nullptr;
}

// A press on a slider, a few drag steps across it with the button held, and the release.
void DragOnSlider(HWND bar, int slider, std::mt19937& random) {
    HWND control = GetDlgItem(bar, slider);
    RECT rect;
    if (!control || !GetWindowRect(control, &rect))
        return;
    MapWindowPoints(nullptr, bar, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left;
    if (width <= 2)
        return;
    std::uniform_int_distribution<int> x(rect.left + 1, rect.right - 1);
    const int y = (rect.top + rect.bottom) / 2;
    PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x(random), y));
    const int steps = static_cast<int>(random() % 4);
    for (int i = 0; i < steps; i++)
        PostMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x(random), y));
    PostMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(x(random), y));
}

// A modal window of the player other than the error box: the About box or the Open dialog.
HWND ModalOf(HWND mainWindow) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr)
        if (GetWindow(dialog, GW_OWNER) == mainWindow && IsWindowVisible(dialog))
            return dialog;
    return nullptr;
}

// What a failed wait for a dialog leaves to go on: whether the player still answers, and its top-level
// windows other than the main one (class, owner, visible).
std::string WindowsBeside(HWND mainWindow) {
    DWORD pid = 0;
    GetWindowThreadProcessId(mainWindow, &pid);
    std::string text = AnswersProbe(mainWindow) ? "the player answers;" : "the player does not answer;";
    for (HWND other = GetTopWindow(nullptr); other; other = GetWindow(other, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(other, &owner);
        if (owner != pid || other == mainWindow)
            continue;
        char name[64] = "";
        GetClassNameA(other, name, sizeof(name));
        char line[160];
        std::snprintf(line, sizeof(line), " %s (owner %p%s)", name, static_cast<void*>(GetWindow(other, GW_OWNER)),
                      IsWindowVisible(other) ? ", visible" : "");
        text += line;
    }
    return text;
}

class SoakTest : public E2eFixture {
  protected:
    void SetUp() override {
        E2eFixture::SetUp();
        const std::wstring samples = SamplesFolder();
        for (const wchar_t* name :
             {L"testsrc-h263.flv", L"smptebars-h264.flv", L"blue-60frames.swf", L"orange-24frames.swf"}) {
            const std::wstring path = folder + name;
            ASSERT_TRUE(CopyFileW((samples + name).c_str(), path.c_str(), FALSE)) << "missing sample";
            files.push_back(name);
            samplePaths.push_back(path);
        }
    }
    std::vector<std::wstring> samplePaths;
};

TEST_F(SoakTest, RandomUserActionsDuringPlaybackLeaveTheResourcesFlat) {
    const int actions = ActionCount();
    const int sampleEvery = actions >= 1000 ? 100 : 50;
    const int settleActions = actions >= 400 ? 200 : actions / 2;
    const unsigned seed = 20261210;
    std::mt19937 random(seed);
    Child player(samplePaths[0]);
    ASSERT_TRUE(player.started);
    HWND window = player.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - testsrc-h263.flv"));
    ASSERT_TRUE(PollUntil([&] { return PublishedWindow() == window; }, kStartTimeout));
    HWND bar = BarOf(window);
    ASSERT_NE(bar, nullptr);

    // The warm-up: every sample once (both engines), full screen in and out, both sliders, the About box,
    // the Open dialog cancelled and used, a hand-over.
    for (int i = 0; i < 4; i++) {
        PostMessageW(window, WM_COMMAND, kNext, 0);
        ASSERT_TRUE(WaitForTimerStep(window));
    }
    for (UINT command : {kFullScreen, kLeaveFullScreen})
        PostMessageW(window, WM_COMMAND, command, 0);
    DragOnSlider(bar, kTimeBar, random);
    DragOnSlider(bar, kVolumeBar, random);
    for (UINT command : {kAbout, kOpen}) {
        PostMessageW(window, WM_COMMAND, command, 0);
        HWND modal = nullptr;
        ASSERT_TRUE(PollUntil([&] { return (modal = ModalOf(window)) != nullptr; }, kStartTimeout));
        PostMessageW(modal, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(PollUntil([&] { return !IsWindow(modal); }, kStartTimeout));
    }
    ASSERT_TRUE(ChooseInOpenDialog(window, samplePaths[1]));
    {
        Child second(samplePaths[0]);
        ASSERT_TRUE(second.started);
        EXPECT_EQ(second.waitForExit(kStartTimeout), 0u);
    }
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - testsrc-h263.flv"));

    std::vector<Resources> samples;
    std::vector<int> sampledAt;
    std::printf("%8s %12s %27s %8s %15s %12s %12s %13s\n", "actions", "GDI objects", "(DC/bitmap/font/brush/rgn)",
                "windows", "kernel handles", "private KB", "working KB", "dialog keys");
    for (int action = 0; action <= actions; action++) {
        if (action % sampleEvery == 0) {
            // The same state at every sample: the first sample handed over, playing, then stopped.
            {
                Child second(samplePaths[0]);
                ASSERT_TRUE(second.started);
                EXPECT_EQ(second.waitForExit(kStartTimeout), 0u);
            }
            ASSERT_TRUE(WaitForCaption(window, L"Vantrel - testsrc-h263.flv"));
            PostMessageW(window, WM_COMMAND, kStop, 0);
            ASSERT_TRUE(WaitForTimerStep(window));
            Resources now;
            ASSERT_TRUE(ReadResources(player.info.hProcess, player.info.dwProcessId, now));
            samples.push_back(now);
            sampledAt.push_back(action);
            const std::string kinds = std::to_string(now.gdiByType[1]) + "/" + std::to_string(now.gdiByType[5]) + "/" +
                                      std::to_string(now.gdiByType[10]) + "/" + std::to_string(now.gdiByType[16]) +
                                      "/" + std::to_string(now.gdiByType[4]);
            std::printf("%8d %12lu %27s %8lu %15lu %12lu %12lu %13lu\n", action, now.gdiObjects, kinds.c_str(),
                        now.windows, now.kernelHandles, static_cast<unsigned long>(now.privateBytes / 1024),
                        static_cast<unsigned long>(now.workingSet / 1024), now.openDialogKeys);
            std::fflush(stdout);
            PostMessageW(window, WM_COMMAND, kPlay, 0);
        }
        if (action == actions)
            break;
        const unsigned kind = random() % 20;
        if (kind < 12) {
            const UINT command = kCommands[random() % (sizeof(kCommands) / sizeof(kCommands[0]))];
            PostMessageW(window, WM_COMMAND, command, 0);
            if (command == kAbout || command == kOpen) {
                HWND modal = nullptr;
                ASSERT_TRUE(PollUntil([&] { return (modal = ModalOf(window)) != nullptr; }, kStartTimeout))
                    << "no dialog after command " << command << ": " << WindowsBeside(window);
                if (command == kOpen && random() % 2) {
                    // Pick a sample by typing its name; the dialog closes and the file opens.
                    HWND name = GetDlgItem(modal, 0x47C);
                    if (name && FindWindowExW(name, nullptr, L"Edit", nullptr))
                        name = FindWindowExW(name, nullptr, L"Edit", nullptr);
                    if (!name)
                        name = GetDlgItem(modal, 0x480);
                    const std::wstring& path = samplePaths[random() % samplePaths.size()];
                    DWORD_PTR result = 0;
                    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL,
                                        kStartTimeout, &result);
                    PostMessageW(modal, WM_COMMAND, IDOK, 0);
                } else {
                    PostMessageW(modal, WM_COMMAND, IDCANCEL, 0);
                }
                ASSERT_TRUE(PollUntil([&] { return !IsWindow(modal); }, kStartTimeout)) << "the dialog stays";
            }
        } else if (kind < 16) {
            DragOnSlider(bar, kind % 2 ? kTimeBar : kVolumeBar, random);
        } else if (kind < 18) {
            PostMessageW(window, WM_COMMAND, kind % 2 ? kNext : kPrevious, 0);
        } else if (kind < 19) {
            PostMessageW(window, WM_COMMAND, kFullScreen, 0);
        } else {
            Child second(samplePaths[random() % samplePaths.size()]);
            ASSERT_TRUE(second.started);
            EXPECT_EQ(second.waitForExit(kStartTimeout), 0u) << "the hand-over did not end";
        }
        ASSERT_TRUE(AnswersProbe(window)) << "no answer after action " << action;
        ASSERT_TRUE(WaitForTimerStep(window)) << "the timer stopped after action " << action;
        ASSERT_EQ(ErrorBoxOf(window), nullptr) << "a good sample failed to load at action " << action;
    }

    // Growth is measured against the sample taken once the run has settled.
    size_t base = 0;
    while (base < sampledAt.size() && sampledAt[base] < settleActions)
        base++;
    ASSERT_LT(base + 1, samples.size()) << "too few actions to measure growth";
    const Resources& first = samples[base];
    for (size_t i = base + 1; i < samples.size(); i++) {
        SCOPED_TRACE("after " + std::to_string(sampledAt[i]) + " actions");
        EXPECT_LE(samples[i].gdiObjects * 100, first.gdiObjects * 105);
        EXPECT_LE(samples[i].windows * 100, first.windows * 105);
        EXPECT_LE(samples[i].kernelHandles * 100, first.kernelHandles * 105);
        EXPECT_LE(samples[i].privateBytes * 10, first.privateBytes * 11);
        EXPECT_LE(samples[i].workingSet * 10, first.workingSet * 11);
    }

    PostMessageW(window, WM_COMMAND, kExit, 0);
    EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
}

}  // namespace
