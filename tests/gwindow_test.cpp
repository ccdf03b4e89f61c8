#include <windows.h>
#include <gtest/gtest.h>
#include <vector>
#include "GWindow.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

// Records what reaches the object, and whether the map already forgot it when WM_DESTROY arrived.
class RecordingWindow : public GWindow {
  public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_CREATE)
            hwndAtCreate = hwnd;
        if (message == WM_DESTROY)
            mappedAtDestroy = WindowMap.count(hwnd) != 0;
        return GWindow::windowProc(message, wParam, lParam);
    }
    bool saw(UINT message) const {
        for (UINT m : messages)
            if (m == message)
                return true;
        return false;
    }
    std::vector<UINT> messages;
    HWND hwndAtCreate = nullptr;
    bool mappedAtDestroy = true;
};

RECT Rect() {
    return RECT{10, 20, 110, 70};
}

}  // namespace

TEST(GWindow, BindsAtCreateAndUnbindsBeforeDestroy) {
    RecordingWindow w;
    ASSERT_TRUE(w.create(0, L"GWindowTest_Bind", L"t", WS_POPUP, Rect(), nullptr, 0, Module()));
    EXPECT_EQ(w.hwndAtCreate, w.hwnd);
    EXPECT_EQ(WindowMap.at(w.hwnd), &w);
    EXPECT_FALSE(w.saw(WM_NCCREATE));  // before WM_CREATE: default handling only
    RECT r;
    GetWindowRect(w.hwnd, &r);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 50);

    HWND h = w.hwnd;
    DestroyWindow(h);
    EXPECT_TRUE(w.saw(WM_DESTROY));
    EXPECT_FALSE(w.mappedAtDestroy);
    EXPECT_FALSE(w.saw(WM_NCDESTROY));
    EXPECT_EQ(WindowMap.count(h), 0u);
    EXPECT_EQ(w.hwnd, h);  // keeps the stale value until the object goes
}

TEST(GWindow, ExistingClassKeepsItsProcedureAndNeverBinds) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = Module();
    wc.lpszClassName = L"GWindowTest_Existing";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    EXPECT_EQ(RegisterWindowClass(Module(), L"GWindowTest_Existing", GWindow::staticWndProc, 0), 1);

    RecordingWindow w;
    ASSERT_TRUE(w.create(0, L"GWindowTest_Existing", L"t", WS_POPUP, Rect(), nullptr, 0, Module()));
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(WindowMap.count(w.hwnd), 0u);
    DestroyWindow(w.hwnd);
}

TEST(GWindow, MenuIdGoesToTheClassOnly) {
    const struct {
        const wchar_t* name;
        int menuId;
    } cases[] = {{L"GWindowTest_NoMenu", 0}, {L"GWindowTest_Menu", 0x10083}};
    for (const auto& c : cases) {
        ASSERT_GT(RegisterWindowClass(Module(), c.name, GWindow::staticWndProc, c.menuId), 1);
        WNDCLASSEXW info = {sizeof(info)};
        ASSERT_TRUE(GetClassInfoExW(Module(), c.name, &info));
        EXPECT_EQ(info.lpfnWndProc, GWindow::staticWndProc);
        EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
        if (c.menuId == 0)
            EXPECT_EQ(info.lpszMenuName, nullptr);
        else
            EXPECT_EQ(reinterpret_cast<ULONG_PTR>(info.lpszMenuName), static_cast<ULONG_PTR>(c.menuId & 0xFFFF));
    }
}

TEST(GWindow, WindowWithoutObjectGetsDefaultHandling) {
    ASSERT_NE(RegisterWindowClass(Module(), L"GWindowTest_NoObject", GWindow::staticWndProc, 0), 0);
    HWND h = CreateWindowExW(0, L"GWindowTest_NoObject", L"caption", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, Module(),
                             nullptr);
    ASSERT_NE(h, nullptr);
    wchar_t text[16] = {};
    GetWindowTextW(h, text, 16);  // WM_GETTEXT answered by DefWindowProcW
    EXPECT_STREQ(text, L"caption");
    EXPECT_EQ(WindowMap.at(h), nullptr);
    DestroyWindow(h);
    WindowMap.erase(h);
}

TEST(GWindow, BasePaintValidatesAndDestructorEndsTheWindow) {
    HWND h = nullptr;
    {
        GWindow w;
        ASSERT_TRUE(w.create(0, L"GWindowTest_Paint", L"t", WS_POPUP, Rect(), nullptr, 0, Module()));
        InvalidateRect(w.hwnd, nullptr, FALSE);
        EXPECT_EQ(SendMessageW(w.hwnd, WM_PAINT, 0, 0), 0);
        RECT update;
        EXPECT_FALSE(GetUpdateRect(w.hwnd, &update, FALSE));
        h = w.hwnd;
    }
    EXPECT_FALSE(IsWindow(h));  // the destructor destroyed it
}

// The system may give a destroyed window's handle to the next window made. An object whose window is gone
// keeps the old value, so it must not destroy whatever window now has it: another object's or a plain one.
TEST(GWindow, DestructorLeavesAWindowThatIsNoLongerItsOwn) {
    RecordingWindow other;
    ASSERT_TRUE(other.create(0, L"GWindowTest_Reuse", L"t", WS_POPUP, Rect(), nullptr, 0, Module()));
    HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Module(), nullptr);
    ASSERT_NE(plain, nullptr);
    for (HWND reused : {other.hwnd, plain}) {
        {
            GWindow gone;
            ASSERT_TRUE(gone.create(0, L"GWindowTest_Reuse", L"t", WS_POPUP, Rect(), nullptr, 0, Module()));
            DestroyWindow(gone.hwnd);
            gone.setHwnd(reused);  // the stale value now names a window made after
        }
        EXPECT_TRUE(IsWindow(reused));
    }
    EXPECT_EQ(WindowMap.at(other.hwnd), &other);
    DestroyWindow(plain);
}
