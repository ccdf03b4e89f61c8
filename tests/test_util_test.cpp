// The helpers every test program leans on: when the waits look and whose messages they dispatch, and
// which pixel a canvas reads, what it owns and what a move leaves behind.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "test_util.h"

namespace {

using Wait = std::function<bool(const std::function<bool()>&, DWORD timeoutMs, DWORD stepMs)>;
const struct {
    const char* name;
    Wait wait;
} kWaits[] = {
    {"PumpUntil", [](const std::function<bool()>& c, DWORD t, DWORD s) { return PumpUntil(c, t, s); }},
    {"PollUntil", [](const std::function<bool()>& c, DWORD t, DWORD s) { return PollUntil(c, t, s); }},
};

ULONGLONG Since(ULONGLONG start) {
    return GetTickCount64() - start;
}

TEST(Waits, TheLookThatEndsAWaitAsTimedOutBeginsAtTheDeadline) {
    for (const auto& w : kWaits) {
        SCOPED_TRACE(w.name);
        // True from the deadline on, with a step longer than the whole wait: the rest ends at the deadline
        // and the look after it sees the condition hold.
        ULONGLONG start = GetTickCount64();
        EXPECT_TRUE(w.wait([&] { return Since(start) >= 300; }, 300, 60000));
        EXPECT_LT(Since(start), 5000u) << "rested a whole step past the deadline";

        // No time at all: one look, and its answer.
        for (bool holds : {false, true}) {
            int looks = 0;
            EXPECT_EQ(w.wait([&] { return ++looks, holds; }, 0, kWaitStepMs), holds);
            EXPECT_EQ(looks, 1);
        }

        // Never true: false, not before the deadline, after looking all along.
        int looks = 0;
        start = GetTickCount64();
        EXPECT_FALSE(w.wait([&] { return ++looks, false; }, 300, kWaitStepMs));
        EXPECT_GE(Since(start), 300u);
        EXPECT_GT(looks, 2);

        // True early in a long wait: it ends then, not at the deadline.
        start = GetTickCount64();
        EXPECT_TRUE(w.wait([&] { return Since(start) >= 100; }, 30000, kWaitStepMs));
        EXPECT_LT(Since(start), 10000u);
    }
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Waits, OnlyPumpUntilDispatchesThisThreadsMessages) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TestUtilCounting";
    RegisterClassW(&wc);
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    int received = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));

    ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));
    EXPECT_FALSE(PollUntil([&] { return received > 0; }, 200));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, window, WM_APP, WM_APP, PM_NOREMOVE)) << "the message is still queued";

    EXPECT_TRUE(PumpUntil([&] { return received == 1; }, 5000));
    EXPECT_FALSE(PeekMessageW(&msg, window, WM_APP, WM_APP, PM_NOREMOVE));
    DestroyWindow(window);
}

struct Waker {
    HANDLE event;
    volatile LONG done;
};
DWORD WINAPI WakeSoon(void* param) {
    auto* waker = static_cast<Waker*>(param);
    Sleep(100);
    InterlockedExchange(&waker->done, 1);
    SetEvent(waker->event);
    return 0;
}

// A rest ends when the wake handle is signalled: with a step of a minute the wait would otherwise see the
// other thread's work only at the deadline.
TEST(Waits, TheWakeHandleEndsARestAtOnce) {
    Waker waker = {CreateEventW(nullptr, FALSE, FALSE, nullptr), 0};
    ASSERT_TRUE(waker.event);
    const ULONGLONG start = GetTickCount64();
    HANDLE thread = CreateThread(nullptr, 0, WakeSoon, &waker, 0, nullptr);
    ASSERT_TRUE(thread);
    EXPECT_TRUE(PumpUntil([&] { return waker.done != 0; }, 120000, 60000, waker.event));
    EXPECT_LT(Since(start), 20000u);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(waker.event);
}

TEST(CanvasPixels, RowsRunFromTheTopAndReadAsGetPixelReadsThem) {
    const COLORREF orange = RGB(255, 128, 0);  // no two channels alike: a swapped byte order shows
    Canvas canvas(3, 2);
    EXPECT_EQ(canvas.pixels(), std::vector<COLORREF>(6, RGB(0, 0, 0))) << "a new canvas is black";
    SetPixel(canvas.dc(), 2, 0, orange);
    EXPECT_EQ(canvas.pixel(2, 0), orange);
    EXPECT_EQ(canvas.pixel(2, 0), GetPixel(canvas.dc(), 2, 0));
    EXPECT_EQ(canvas.pixel(2, 1), RGB(0, 0, 0)) << "the bottom row";
    EXPECT_EQ(canvas.pixels(), (std::vector<COLORREF>{0, 0, orange, 0, 0, 0}));
    for (POINT outside : {POINT{-1, 0}, POINT{3, 0}, POINT{0, -1}, POINT{0, 2}})
        EXPECT_EQ(canvas.pixel(outside.x, outside.y), CLR_INVALID) << outside.x << "," << outside.y;

    Canvas filled(2, 2, RGB(0, 0, 255));
    EXPECT_EQ(filled.pixels(), std::vector<COLORREF>(4, RGB(0, 0, 255)));
    filled.fill(kUnpainted);
    EXPECT_EQ(filled.pixel(1, 1), kUnpainted);
}

TEST(CanvasPixels, ACanvasWithoutPixelsReadsAsNone) {
    for (SIZE size : {SIZE{0, 4}, SIZE{4, 0}, SIZE{-3, 4}}) {
        SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy);
        Canvas empty(size.cx, size.cy, RGB(255, 255, 255));
        EXPECT_EQ(empty.width(), 0);
        EXPECT_EQ(empty.pixel(0, 0), CLR_INVALID);
        EXPECT_TRUE(empty.pixels().empty());
    }
}

// A moved canvas takes the DC and the bitmap along; the one it came from holds nothing and deletes
// nothing when it goes; the handles go with the last owner.
TEST(CanvasHandles, AMoveHandsOverTheDcAndTheBitmapOnce) {
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    std::optional<Canvas> source(std::in_place, 2, 2, red);
    const HDC dc = source->dc();
    ASSERT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    const HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    {
        Canvas moved(std::move(*source));
        EXPECT_EQ(source->dc(), nullptr);
        EXPECT_EQ(source->pixel(0, 0), CLR_INVALID);
        source.reset();
        EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC)) << "the emptied canvas deleted the DC";
        EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP)) << "the emptied canvas deleted the bitmap";
        EXPECT_EQ(moved.dc(), dc);
        EXPECT_EQ(moved.pixel(1, 1), red);
        SetPixel(moved.dc(), 0, 1, blue);
        EXPECT_EQ(moved.pixel(0, 1), blue);
    }
    EXPECT_EQ(GetObjectType(dc), 0u);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
}

}  // namespace
