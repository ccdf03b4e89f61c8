// loadFolder on a folder of 10,000 files, next to its floor: the same folder listed with
// FindFirstFileW/FindNextFileW and every file opened once for reading, which loadFolder must do anyway.
// Rounds alternate so that both see the same warm caches; the best round of each is reported.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "PlayListData.h"
#include "TextUtil.h"

namespace {

constexpr int kFiles = 10000;
constexpr int kRounds = 5;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Floor(const std::wstring& folder) {
    int opened = 0;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    std::wstring full;
    do {
        if (entry.cFileName[0] == L'.' || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        full.assign(folder).append(entry.cFileName);
        if (FILE* file = _wfopen(full.c_str(), L"r")) {
            fclose(file);
            ++opened;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return opened;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring base = std::wstring(temp) + L"vantrel_playlist_bench_" + std::to_wstring(GetCurrentProcessId());
    DeleteFolder(base, nullptr);
    if (!CreateDirectoryW(base.c_str(), nullptr)) {
        fprintf(stderr, "cannot create the bench folder\n");
        return 1;
    }
    const std::wstring folder = base + L"\\";
    // Six names in ten are playable; the rest are the pictures, notes and sidecars a media folder holds.
    const wchar_t* kinds[] = {L".flv", L".FLV", L".swf", L".flv", L".swf", L".flv", L".jpg", L".txt", L".nfo", L".srt"};
    std::wstring opened;
    for (int i = 0; i < kFiles; ++i) {
        std::wstring name = folder + L"Clip " + std::to_wstring((i * 7919) % kFiles) + kinds[i % 10];
        if (i == kFiles / 2)
            opened = name;
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "cannot create a bench file\n");
            return 1;
        }
        CloseHandle(file);
    }

    PlayListData list;
    double best = 1e300, bestFloor = 1e300;
    int entries = 0, files = 0;
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER t0, t1, t2;
        QueryPerformanceCounter(&t0);
        files = Floor(folder);
        QueryPerformanceCounter(&t1);
        entries = list.loadFolder(opened);
        QueryPerformanceCounter(&t2);
        bestFloor = std::min(bestFloor, Milliseconds(t0, t1));
        best = std::min(best, Milliseconds(t1, t2));
    }
    const double ratio = best / bestFloor;
    printf("playlist: %d files, %d entries, current %d\n", files, entries, list.currentIndex());
    printf("playlist: floor (list + open each file) %.1f ms\n", bestFloor);
    printf("playlist: loadFolder %.1f ms\n", best);
    printf("playlist: ratio %.2f (goal at most 1.50: %s)\n", ratio, ratio <= 1.5 ? "met" : "missed");
    DeleteFolder(base, nullptr);
    return 0;
}
