#pragma once
// Move-only owners for Win32 handles, in the style of WIL's unique_any: one template, one alias a kind.
#include <windows.h>
#include <utility>

template <typename H, typename Traits>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    H get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    H release() { return std::exchange(h_, Traits::invalid()); }
    void reset(H h = Traits::invalid()) {
        H old = std::exchange(h_, h);
        if (old != Traits::invalid())
            Traits::close(old);
    }
    // For out-parameters: frees the current handle and hands out the slot.
    H* put() {
        reset();
        return &h_;
    }

  private:
    H h_ = Traits::invalid();
};

template <typename H, auto CloseFn>
struct NullHandleTraits {
    static constexpr H invalid() { return nullptr; }
    static void close(H h) { CloseFn(h); }
};

struct FindHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};

using UniqueHkey = UniqueHandle<HKEY, NullHandleTraits<HKEY, RegCloseKey>>;
using UniqueHfont = UniqueHandle<HFONT, NullHandleTraits<HFONT, DeleteObject>>;
using UniqueHbrush = UniqueHandle<HBRUSH, NullHandleTraits<HBRUSH, DeleteObject>>;
using UniqueHbitmap = UniqueHandle<HBITMAP, NullHandleTraits<HBITMAP, DeleteObject>>;
using UniqueHrgn = UniqueHandle<HRGN, NullHandleTraits<HRGN, DeleteObject>>;
using UniqueHdc = UniqueHandle<HDC, NullHandleTraits<HDC, DeleteDC>>;
using UniqueEvent = UniqueHandle<HANDLE, NullHandleTraits<HANDLE, CloseHandle>>;
// Any other kernel object whose "no handle" value is null (a token, a thread, a process).
using UniqueKernelHandle = UniqueHandle<HANDLE, NullHandleTraits<HANDLE, CloseHandle>>;
using UniqueHmenu = UniqueHandle<HMENU, NullHandleTraits<HMENU, DestroyMenu>>;
using UniqueHglobal = UniqueHandle<HGLOBAL, NullHandleTraits<HGLOBAL, GlobalFree>>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleTraits>;

// GetDC/ReleaseDC for one scope. Given a DC that the caller already has (a paint DC), it uses that one
// and releases nothing.
class WindowDC {
  public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)), owned_(true) {}
    WindowDC(HWND window, HDC given) : window_(window), dc_(given ? given : GetDC(window)), owned_(!given) {}
    ~WindowDC() {
        if (dc_ && owned_)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
    bool owned_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
    ~PaintScope() { EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }
    const PAINTSTRUCT& paint() const { return ps_; }

  private:
    HWND window_;
    HDC dc_;
    PAINTSTRUCT ps_;
};

// Selects an object into a DC and puts the previous one back at the end of the scope. A null object
// selects nothing, so "the font if there is one" needs no branch at the caller.
class SelectScope {
  public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectScope() {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An auto-reset event used as a non-recursive mutex: waits for it on construction and sets it again when
// the scope ends, also when the scope is left by an exception. A wait that fails (no event, a handle
// without the right to wait) takes nothing, and then nothing is set at the end: that would open the lock
// under whoever holds it. The holder checks held() before touching what the lock guards.
class EventLock {
  public:
    explicit EventLock(HANDLE event) : event_(event), held_(WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) {}
    ~EventLock() {
        if (held_)
            SetEvent(event_);
    }
    EventLock(const EventLock&) = delete;
    EventLock& operator=(const EventLock&) = delete;

    bool held() const { return held_; }

  private:
    HANDLE event_;
    bool held_;
};
