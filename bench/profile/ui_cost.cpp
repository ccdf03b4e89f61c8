// What the player's own user interface costs per call, measured with the program's real modules in a real
// main window on the X server: the control bar's time update (what each time change of libvlc runs) when
// it changes nothing and when it shows a new second, its parts (the time column drawn into the back
// buffer, the tile-by-tile drawing it replaced as the reference of the same run, the text, and the copy
// of the columns to the layered bar window), the caption update and the whole timer step with no file.
// For each: the calling thread's CPU time per call, the wall time per call, and the CPU per call of the
// processes named in VANTREL_PROFILE_PIDS ("name=pid ..."; the X server and the wineserver), read from
// their /proc records through Wine's Z: drive. Messages are handled after every call, as the program's
// loop would. Usage: ui_cost [calls]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AppGlobals.h"
#include "GWindow.h"
#include "MainWnd.h"
#include "PlayBar.h"
#include "PlayWnd.h"
#include "Startup.h"
#include "resource.h"

namespace {

struct Watched {
    std::string name;
    std::string statPath;
};

std::vector<Watched> WatchedProcesses() {
    std::vector<Watched> out;
    const char* list = getenv("VANTREL_PROFILE_PIDS");
    if (!list)
        return out;
    std::string all(list);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(' ', start);
        std::string item = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t eq = item.find('=');
        if (eq != std::string::npos)
            out.push_back({item.substr(0, eq), "Z:\\proc\\" + item.substr(eq + 1) + "\\stat"});
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

// utime + stime in clock ticks (1/100 s), or -1.
long long Ticks(const Watched& process) {
    FILE* f = fopen(process.statPath.c_str(), "r");
    if (!f)
        return -1;
    char line[1024] = {};
    size_t n = fread(line, 1, sizeof(line) - 1, f);
    fclose(f);
    line[n] = '\0';
    const char* p = strrchr(line, ')');
    if (!p)
        return -1;
    // Fields after the name: state is the 1st, utime the 12th, stime the 13th.
    long long utime = 0, stime = 0;
    int field = 0;
    for (const char* q = p + 2; *q && field < 13; ++field) {
        if (field == 11)
            utime = atoll(q);
        if (field == 12)
            stime = atoll(q);
        while (*q && *q != ' ')
            ++q;
        while (*q == ' ')
            ++q;
    }
    return utime + stime;
}

double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (value(kernel) + value(user)) / 1e7;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

template <typename Step>
void Measure(const char* label, int calls, Step step) {
    std::vector<Watched> watched = WatchedProcesses();
    std::vector<long long> before;
    for (const Watched& w : watched)
        before.push_back(Ticks(w));
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    double cpu0 = ThreadSeconds();
    for (int i = 0; i < calls; ++i) {
        step(i);
        Pump();
    }
    double cpu = ThreadSeconds() - cpu0;
    QueryPerformanceCounter(&t1);
    double wall = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);
    printf("%-48s thread %7.3f ms  wall %7.3f ms", label, cpu * 1e3 / calls, wall * 1e3 / calls);
    for (size_t i = 0; i < watched.size(); ++i) {
        long long after = Ticks(watched[i]);
        if (after >= 0 && before[i] >= 0)
            printf("  %s %6.3f ms", watched[i].name.c_str(), (after - before[i]) * 10.0 / calls);
    }
    printf("   (per call, %d calls)\n", calls);
    fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int calls = argc > 1 ? _wtoi(argv[1]) : 500;
    if (calls <= 0)
        calls = 500;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    AppInit();
    RegisterWindowClass(instance, L"Player_WndClass", MainWndProc, 0);
    if (!InitMainWindow(instance, SW_SHOWNORMAL) || !AppGlobals.playBar) {
        fprintf(stderr, "ui_cost: no main window\n");
        return 1;
    }
    // Let the window come up and settle before anything is measured.
    ULONGLONG settle = GetTickCount64() + 1500;
    while (GetTickCount64() < settle) {
        Pump();
        Sleep(10);
    }
    PlayBar* bar = AppGlobals.playBar;
    printf("main window %s, bar window %s\n", IsWindowVisible(AppGlobals.mainWindow) ? "shown" : "hidden",
           IsWindowVisible(bar->window) ? "shown" : "hidden");

    Measure("nothing (message handling only)", calls, [](int) {});
    // No engine here: updateTime keeps the position and length put in the bar, as it does while the
    // engine is not playing.
    bar->length = 3600000;
    bar->position = 0;
    bar->updateTime();
    Measure("bar time update, nothing changed (updateTime)", calls, [bar](int) { bar->updateTime(); });
    Measure("bar time update, a new second each call", calls, [bar](int i) {
        bar->position = (i % 3000 + 1) * 1000;
        bar->updateTime();
    });
    Measure("  time column into the back buffer, new second", calls, [bar](int i) {
        bar->position = (i % 3000 + 1) * 1000;
        bar->lock();
        bar->drawTimeBar(bar->composite.dc);
        bar->unlock();
    });
    // Half played, the played part a pixel longer or shorter on each call (the same second).
    Measure("  time column, half played, new pixel", calls, [bar](int i) {
        bar->length = 60000;
        bar->position = 30000 + (i % 2) * 240;
        bar->lock();
        bar->drawTimeBar(bar->composite.dc);
        bar->unlock();
    });
    // The reference in the same run: the tiling the column used to draw on every update, one GDI+ draw
    // per tile of the track and of the played part; and the text alone.
    RECT column = {};
    bar->controlRect(&column, IDC_TIME_BAR);
    const int columnWidth = column.right - column.left;
    Measure("    tile by tile: track (DrawTiled)", calls, [bar, column, columnWidth](int) {
        DrawTiled(bar->composite.dc, bar->image(IDC_TIME_BAR), column.left, column.top, columnWidth);
    });
    Measure("    tile by tile: track and half played", calls, [bar, column, columnWidth](int) {
        DrawTiled(bar->composite.dc, bar->image(IDC_TIME_BAR), column.left, column.top, columnWidth);
        DrawTiled(bar->composite.dc, bar->timeFill, column.left, column.top, columnWidth / 2);
    });
    Measure("    time text only (font, DrawTextW)", calls, [bar, column](int) {
        HGDIOBJ previous = SelectObject(bar->composite.dc, bar->font);
        RECT strip = {column.left, 0, column.right, column.top};
        DrawTextW(bar->composite.dc, L"00:01:00 / 00:00:30", -1, &strip, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
        SelectObject(bar->composite.dc, previous);
    });
    Measure("  present, nothing drawn since the last", calls, [bar](int) { bar->present(nullptr); });
    Measure("  present, the time column drawn", calls, [bar](int) {
        bar->timeColumnPending = true;
        bar->present(nullptr);
    });
    Measure("  present, both columns drawn", calls, [bar](int) {
        bar->timeColumnPending = true;
        bar->volumeColumnPending = true;
        bar->present(nullptr);
    });
    Measure("caption, text unchanged (UpdateCaption)", calls, [](int) { UpdateCaption(); });
    Measure("caption, text changed (SetWindowTextW)", calls,
            [](int i) { SetWindowTextW(AppGlobals.mainWindow, i % 2 ? L"Vantrel" : L"Vantrel - x"); });
    Measure("timer step, no file (TimerStep)", calls, [](int) { TimerStep(); });
    // Its cursor auto-hide, which reads the cursor's position on every step.
    Measure("  cursor auto-hide, no file (autoHideCursor)", calls, [](int) {
        if (AppGlobals.playWnd)
            AppGlobals.playWnd->autoHideCursor();
    });

    // No AppExit: the window placement that it stores would move the player's window in the benchmark.
    OnMainClose();
    Pump();
    return 0;
}
