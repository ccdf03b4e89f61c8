// The library's exported functions and its process-wide state. Every call comes from the host's UI
// thread, so the state has no lock. Each export catches everything: the host has no exception handling
// and an exception crossing the export would end its process.
#include "quorra.h"

#include <map>
#include <memory>
#include <new>

#include "LibVolume.h"
#include "ScopeGuard.h"
#include "SwfPlayDlg.h"
#include "afxlite.h"
#include "resource.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

// Constructed in this order at load, destroyed in reverse at unload. At unload the map's entries are
// dropped without ending the dialogs: instances the host did not release stay as they are.
std::map<HWND, CSwfPlayDlg*> InstanceMap;

class CquorraApp : public CLiteApp {
  public:
    BOOL InitInstance() override;
};

CquorraApp TheApp;

// The procedure of the control window subclassed last; every subclassed control window forwards to it.
WNDPROC PrevFlashWndProc = nullptr;

BOOL CquorraApp::InitInstance() {
    CLiteApp::InitInstance();
    LiteEnableControlContainer();
    return TRUE;
}

namespace {

CShockwaveflash* FindFlashControl(InstanceHandle instance) {
    auto it = InstanceMap.find(instance);
    if (it == InstanceMap.end() || !IsWindow(it->second->m_flash.GetSafeHwnd())) {
        return nullptr;
    }
    return &it->second->m_flash;
}

CSwfPlayDlg* FindDialog(InstanceHandle instance) {
    auto it = InstanceMap.find(instance);
    return it == InstanceMap.end() ? nullptr : it->second;
}

void EndVolume() {
    if (TheVolume) {
        TheVolume->Close();
        delete TheVolume;
        TheVolume = nullptr;
    }
}

// The right button never reaches the control, so its own context menu never opens; the host gets
// the release as its context-menu request instead, and the double-click as a double-click on the
// dialog, which passes it on to the host.
LRESULT CALLBACK FlashSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_LBUTTONDBLCLK:
                PostMessageW(GetParent(hwnd), WM_LBUTTONDBLCLK, wParam, lParam);
                return 0;
            case WM_RBUTTONDOWN:
                return 0;
            case WM_RBUTTONUP:
                PostMessageW(GetParent(hwnd), WM_CONTEXTMENU, wParam, lParam);
                return 0;
            default:
                return CallWindowProcW(PrevFlashWndProc, hwnd, message, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        LiteSetModuleInstance(reinterpret_cast<HINSTANCE>(&__ImageBase));
    }
    return TRUE;
}

// The process-wide master volume starts again with every instance. The instance works without it: no
// mixer, no speakers control, or no memory for the object all leave TheVolume null, and nothing here
// changes quorra_create's result.
static void StartVolume() {
    try {
        EndVolume();
        TheVolume = new (std::nothrow) LibVolume;
        if (TheVolume) {
            TheVolume->Open();
            if (!TheVolume->FindMasterVolumeControl()) {
                EndVolume();
            }
        }
    } catch (...) {
        EndVolume();
    }
}

QUORRA_API InstanceHandle WINAPI quorra_create(HWND parent) {
    try {
        ModuleStateScope scope;
        if (!scope.AppStarted()) {
            return nullptr;
        }
        // Until the instance is registered, the dialog object and the window it shows belong to this
        // function: on any failure on the way the window is destroyed and then the object deleted.
        std::unique_ptr<CSwfPlayDlg> dialog(new CSwfPlayDlg(parent));
        auto discard = MakeScopeGuard([&dialog] {
            if (dialog) {
                dialog->DestroyWindow();
            }
        });
        if (!dialog->Create(IDD_SWFPLAY, parent)) {
            return nullptr;
        }
        HWND hwnd = dialog->GetSafeHwnd();
        UpdateWindow(hwnd);
        ShowWindow(hwnd, SW_SHOW);
        hwnd = dialog->GetSafeHwnd();
        if (!hwnd || !IsWindow(hwnd)) {
            return nullptr;
        }
        // A handle can only be in the map again if its earlier dialog was destroyed by the host and the
        // system reused the value; that entry's object is ended rather than leaked.
        CSwfPlayDlg*& entry = InstanceMap[hwnd];
        delete entry;
        entry = dialog.release();
        StartVolume();
        return hwnd;
    } catch (...) {
        return nullptr;
    }
}

QUORRA_API void WINAPI quorra_release(InstanceHandle instance) {
    try {
        ModuleStateScope scope;
        auto it = InstanceMap.find(instance);
        if (it == InstanceMap.end()) {
            return;
        }
        std::unique_ptr<CSwfPlayDlg> dialog(it->second);
        InstanceMap.erase(it);
        // Its WM_DESTROY ends the control first. A dialog the host destroyed already has no window.
        dialog->DestroyWindow();
        dialog.reset();
        if (TheVolume) {
            TheVolume->SetValue(65535);
            EndVolume();
        }
    } catch (...) {
    }
}

QUORRA_API int WINAPI quorra_getVolume() {
    try {
        return ReadMasterVolume(TheVolume);
    } catch (...) {
        return 0;
    }
}

QUORRA_API void WINAPI quorra_setVolume(int level) {
    try {
        WriteMasterVolume(TheVolume, level);
    } catch (...) {
    }
}

QUORRA_API BOOL WINAPI quorra_open(InstanceHandle instance, const wchar_t* path) {
    try {
        ModuleStateScope scope;
        CSwfPlayDlg* dialog = FindDialog(instance);
        if (!dialog) {
            return FALSE;
        }
        const RECT none = {0, 0, 0, 0};
        // CreateControl ends a control this dialog still has, so a second open does not leave the first
        // movie's control behind.
        if (!dialog->m_flash.CreateControl(CLSID_ShockwaveFlash, L"", WS_CHILD | WS_VISIBLE, none,
                                           dialog->GetSafeHwnd(), 0)) {
            return FALSE;
        }
        HWND flash = dialog->m_flash.GetSafeHwnd();
        // Read and installed with the wide calls, like the forwarding: a procedure installed with the
        // ANSI call gets its text messages converted to the ANSI code page, and forwarding those with the
        // wide call hands the control ANSI bytes as UTF-16 (and even the ANSI forward loses every
        // character outside the code page).
        PrevFlashWndProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(flash, GWLP_WNDPROC));
        SetWindowLongPtrW(flash, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FlashSubclassProc));

        // A property the control refuses fails the open, and the half-set-up control is ended, so the
        // instance is back to having none.
        CShockwaveflash& control = dialog->m_flash;
        if (FAILED(control.PutLong(kDispidBackgroundColor, 0)) || FAILED(control.PutString(kDispidScale, L"ShowAll")) ||
            FAILED(control.PutLong(kDispidAlignMode, 0)) || FAILED(control.PutBool(kDispidMenu, FALSE)) ||
            FAILED(control.PutString(kDispidMovie, path ? path : L""))) {
            control.DestroyWindow();
            return FALSE;
        }
        dialog->PostResize();
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

QUORRA_API BOOL WINAPI quorra_play(InstanceHandle instance) {
    try {
        CShockwaveflash* control = FindFlashControl(instance);
        return control && SUCCEEDED(control->PutBool(kDispidPlaying, TRUE));
    } catch (...) {
        return FALSE;
    }
}

QUORRA_API BOOL WINAPI quorra_pause(InstanceHandle instance) {
    try {
        CShockwaveflash* control = FindFlashControl(instance);
        return control && SUCCEEDED(control->PutBool(kDispidPlaying, FALSE));
    } catch (...) {
        return FALSE;
    }
}

QUORRA_API BOOL WINAPI quorra_isPlay(InstanceHandle instance) {
    try {
        CShockwaveflash* control = FindFlashControl(instance);
        BOOL playing = FALSE;
        return control && SUCCEEDED(control->CallBoolMethod(kDispidIsPlaying, &playing)) && playing;
    } catch (...) {
        return FALSE;
    }
}

QUORRA_API BOOL WINAPI quorra_stop(InstanceHandle instance) {
    try {
        CShockwaveflash* control = FindFlashControl(instance);
        if (!control) {
            return FALSE;
        }
        control->DestroyWindow();
        if (CSwfPlayDlg* dialog = FindDialog(instance)) {
            dialog->PostResize();
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

QUORRA_API FrameNumber WINAPI quorra_getTime(InstanceHandle instance) {
    try {
        CShockwaveflash* control = FindFlashControl(instance);
        LONG frame = 0;
        if (!control || FAILED(control->GetLong(kDispidFrameNum, &frame))) {
            return 0;
        }
        // The control counts from 0, the host from 1; the sum wraps in 32 bits before it is widened.
        return static_cast<int32_t>(static_cast<uint32_t>(frame) + 1u);
    } catch (...) {
        return 0;
    }
}

QUORRA_API FrameNumber WINAPI quorra_getLength(InstanceHandle instance) {
    try {
        CShockwaveflash* control = FindFlashControl(instance);
        LONG frames = 0;
        if (!control || FAILED(control->GetLong(kDispidTotalFrames, &frames))) {
            return 0;
        }
        return static_cast<int32_t>(frames);
    } catch (...) {
        return 0;
    }
}

QUORRA_API void WINAPI quorra_setTime(InstanceHandle instance, FrameNumber frame) {
    try {
        if (CShockwaveflash* control = FindFlashControl(instance)) {
            // Counted from 0, only the low 32 bits.
            control->PutLong(kDispidFrameNum, static_cast<LONG>(static_cast<uint32_t>(frame & 0xFFFFFFFF)));
        }
    } catch (...) {
    }
}
