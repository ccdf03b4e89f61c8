// Shared state of the Wine libvlc bridge: a builtin libvlc.dll whose exports forward to the Linux libvlc.
//
// Threads. Windows code calls the exports on its own (Wine) threads. The Linux library calls back on threads
// of its own, which are not Wine threads: any Win32 call or any Windows code run from them ends the process.
// So everything that libvlc calls on its threads (event trampoline, vmem and amem callbacks) only touches
// memory under pthread locks; two kinds of Wine thread made with CreateThread do the Windows-side work:
//   - one event dispatcher for the process, which calls the program's callbacks for the events of libvlc's
//     threads in order while the thread that raised each event waits for it, as libvlc's own thread would
//     be busy in the callback on Windows; an event raised on the program's thread inside one of its calls
//     (Stopped inside stop) runs its callback there, as on Windows (events.c);
//   - one painter per player bound to a window, which draws the frames that vmem delivered.
#pragma once

#include <pthread.h>
#include <stdint.h>

#include <vlc/vlc.h>

#include <windef.h>
#include <winbase.h>

// What Windows code gets as a libvlc_event_manager_t*: it names the player so that events reach the
// program with the player it knows (the wrapper, not the Linux object).
struct bridge_event_manager {
    struct bridge_player* player;
    libvlc_event_manager_t* native;
};

// One decoded picture in the layout vmem was asked for (RV32: B, G, R, X bytes, top row first).
struct bridge_frame {
    int refs;     // the player's store holds one; the painter one more while it shows the frame
    int locked;   // vmem is writing it
    int pending;  // written, not yet displayed
    unsigned width, height, pitch, lines;
    unsigned char* pixels;
};

#define BRIDGE_MAX_FRAMES 6

struct bridge_player {
    libvlc_media_player_t* native;
    struct bridge_event_manager events;
    struct bridge_registration* registrations;  // under the event lock
    int closing;                                // under the event lock: release has begun, drop its events

    // Video, all under video_lock.
    pthread_mutex_t video_lock;
    pthread_cond_t video_wake;
    struct bridge_frame* frames[BRIDGE_MAX_FRAMES];  // the current picture format's buffers
    int frame_count;
    unsigned frame_width, frame_height;    // the format vmem delivers
    unsigned aspect_width, aspect_height;  // the visible picture's shape (pixels times sample aspect)
    struct bridge_frame* ready;            // newest displayed frame
    uint64_t ready_serial;                 // counts displayed frames
    int vout_open;
    unsigned window_width, window_height;  // client size the painter saw last: vmem scales to it
    HWND window;
    HANDLE painter;
    int painter_quit;
};

// One call of the program into an export that takes a player, on the calling thread's stack: an event that
// libvlc raises on this thread meanwhile reaches its callback right here (events.c).
struct bridge_call {
    struct bridge_call* outer;  // the call in progress on this thread that a callback made this one from
    struct bridge_player* player;
    int input_locked;                  // inside libvlc's stop of the player, which holds its input lock
    struct bridge_deferred* deferred;  // the player's calls left for after that stop (bridge.c)
};

void bridge_call_enter(struct bridge_call* call, struct bridge_player* player);
void bridge_call_leave(struct bridge_call* call);
// The call on this thread inside libvlc's stop of the player, if any.
struct bridge_call* bridge_call_holding_input(struct bridge_player* player);

void bridge_events_player_closing(struct bridge_player* player);
void bridge_events_player_free(struct bridge_player* player);

void bridge_video_init(struct bridge_player* player);
void bridge_video_bind(struct bridge_player* player, HWND window);
void bridge_video_stop(struct bridge_player* player);
void bridge_video_free(struct bridge_player* player);
