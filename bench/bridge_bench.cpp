// Plays a file through libvlc.dll (the Wine bridge here) into a child window of 640x360, the way the
// player's video area does, with the player's five events attached to a callback that posts to the window
// as the player's handler does (so the bridge's event path, which holds libvlc's thread until the callback
// returns, is part of the cost), and exits when libvlc reports the end. Usage: bridge_bench <file> [width
// height]: the video window's size, 640x360 unless given (the player's is 672 wide, and libvlc then
// scales the picture while it converts it).
#include <windows.h>

#include <vlc/vlc.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

HWND EventTarget = nullptr;

void PostEvent(const libvlc_event_t* event, void*) {
    LPARAM time = event->type == libvlc_MediaPlayerTimeChanged
                      ? static_cast<LPARAM>(event->u.media_player_time_changed.new_time)
                      : 0;
    PostMessageW(EventTarget, WM_APP, static_cast<WPARAM>(event->type), time);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bridge_bench <file>\n");
        return 2;
    }
    // Trace lines for bench/profile/launch.sh, at the same steps as the player's.
    OutputDebugStringW(L"bridge_bench: main window\n");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"VantrelBridgeBench";
    RegisterClassW(&wc);
    const int width = argc > 3 ? _wtoi(argv[2]) : 640;
    const int height = argc > 3 ? _wtoi(argv[3]) : 360;
    HWND frame = CreateWindowW(wc.lpszClassName, L"bridge bench", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                               nullptr, wc.hInstance, nullptr);
    HWND video = CreateWindowW(wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height, frame, nullptr,
                               wc.hInstance, nullptr);

    const char* const options[] = {"--no-video-title-show", "--no-keyboard-events", "--no-mouse-events"};
    OutputDebugStringW(L"bridge_bench: libvlc instance\n");
    libvlc_instance_t* instance = libvlc_new(3, options);
    if (!instance)
        return 1;
    OutputDebugStringW(L"bridge_bench: media player\n");
    libvlc_media_player_t* player = libvlc_media_player_new(instance);
    libvlc_media_t* media = libvlc_media_new_path(instance, Utf8(argv[1]).c_str());
    if (!player || !media)
        return 1;
    libvlc_media_player_set_media(player, media);
    libvlc_media_player_set_hwnd(player, video);
    EventTarget = frame;
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(player);
    for (libvlc_event_type_t type : {libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPlaying, libvlc_MediaPlayerPaused,
                                     libvlc_MediaPlayerStopped, libvlc_MediaPlayerEndReached})
        libvlc_event_attach(events, type, PostEvent, nullptr);
    ULONGLONG start = GetTickCount64();
    OutputDebugStringW(L"bridge_bench: play\n");
    libvlc_media_player_play(player);

    // The program's own loop: messages, and a look at the state a few times a second, as the player's timer.
    SetTimer(frame, 1, 260, nullptr);
    MSG msg;
    int result = 0;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
        libvlc_state_t state = libvlc_media_player_get_state(player);
        if (state == libvlc_Ended || state == libvlc_Error) {
            result = state == libvlc_Error;
            break;
        }
    }
    printf("played %.1f s (state %d)\n", (GetTickCount64() - start) / 1000.0, libvlc_media_player_get_state(player));
    OutputDebugStringW(L"bridge_bench: release\n");
    libvlc_media_player_release(player);
    libvlc_media_release(media);
    libvlc_release(instance);
    OutputDebugStringW(L"bridge_bench: window\n");
    DestroyWindow(frame);
    OutputDebugStringW(L"bridge_bench: done\n");
    return result;
}
