// The exports of the builtin libvlc.dll (see libvlc.spec): instances and media go through as the Linux
// library's own pointers; a media player is wrapped, because the bridge keeps per-player state (its events,
// its frames and painter). Paths arrive as Windows paths and leave as Unix paths.
//
// Audio: libvlc plays into the sound server (PULSE_SERVER), so volume and mute are libvlc's own.
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include "bridge.h"

#include <winnls.h>

// libvlc runs as native code inside the program's process here, so its allocations go to glibc, which
// gives each new thread that allocates an arena of its own, up to eight per core. Every file opened starts
// decoder, output and input threads anew, and each new arena's pages stay resident after its thread ends:
// a player's working set grew from 145 to 310 MB over 400 file changes, seeks and stops. The process keeps
// to the arenas it has when the bridge is loaded, which is before libvlc starts any thread (glibc fixes
// the limit for good only once eight arenas exist).
__attribute__((constructor)) static void keep_to_one_malloc_arena(void) {
    mallopt(M_ARENA_MAX, 1);
}

libvlc_instance_t* CDECL bridge_new(int argc, const char* const* argv) {
    return libvlc_new(argc, argv);
}

void CDECL bridge_release(libvlc_instance_t* instance) {
    if (instance)
        libvlc_release(instance);
    OutputDebugStringA("libvlc bridge: instance released\n");
}

const char* CDECL bridge_get_version(void) {
    return libvlc_get_version();
}

// A Windows path in UTF-8, absolute or relative to the Windows current folder.
libvlc_media_t* CDECL bridge_media_new_path(libvlc_instance_t* instance, const char* path) {
    if (!instance || !path || !*path)
        return NULL;
    int wide_len = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, NULL, 0);
    if (wide_len <= 0)
        return NULL;
    WCHAR* wide = HeapAlloc(GetProcessHeap(), 0, wide_len * sizeof(WCHAR));
    if (!wide)
        return NULL;
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, wide_len);

    libvlc_media_t* media = NULL;
    DWORD full_len = GetFullPathNameW(wide, 0, NULL, NULL);
    WCHAR* full = full_len ? HeapAlloc(GetProcessHeap(), 0, full_len * sizeof(WCHAR)) : NULL;
    if (full && GetFullPathNameW(wide, full_len, full, NULL) - 1 < full_len - 1) {
        char* unix_path = wine_get_unix_file_name(full);
        if (unix_path) {
            media = libvlc_media_new_path(instance, unix_path);
            HeapFree(GetProcessHeap(), 0, unix_path);
        }
    }
    HeapFree(GetProcessHeap(), 0, full);
    HeapFree(GetProcessHeap(), 0, wide);
    return media;
}

void CDECL bridge_media_release(libvlc_media_t* media) {
    if (media)
        libvlc_media_release(media);
}

struct bridge_player* CDECL bridge_player_new(libvlc_instance_t* instance) {
    if (!instance)
        return NULL;
    struct bridge_player* player = calloc(1, sizeof(*player));
    if (!player)
        return NULL;
    player->native = libvlc_media_player_new(instance);
    if (!player->native) {
        free(player);
        return NULL;
    }
    player->events.player = player;
    player->events.native = libvlc_media_player_event_manager(player->native);
    bridge_video_init(player);
    return player;
}

// Inside a callback of the player's own stop (its Stopped event, run on this thread inside libvlc's stop),
// libvlc holds the player's input lock on this thread. On Windows that lock is recursive, and what the
// callback asks of its player then is answered against a player that has no input any more: time, length
// and tracks -1, set_time and pause nothing, a second stop nothing; set_media and play start anew. Here the
// lock is not recursive and every one of these calls would hang, so the bridge answers the first group as
// libvlc does and keeps set_media, play and the stops after them for when libvlc's stop has returned, still
// inside the program's stop and in the order the callback made them (play then answers 0 at once). The
// outcome is the one of Windows; only the MediaChanged of such a set_media comes after the callback instead
// of inside it.
enum deferred_kind { DEFERRED_SET_MEDIA, DEFERRED_PLAY, DEFERRED_STOP };

struct bridge_deferred {
    struct bridge_deferred* next;
    enum deferred_kind kind;
    libvlc_media_t* media;  // set_media's, held until it is set
};

static void defer(struct bridge_call* stop, enum deferred_kind kind, libvlc_media_t* media) {
    struct bridge_deferred* item = calloc(1, sizeof(*item));
    if (!item)
        return;
    item->kind = kind;
    item->media = media;
    if (media)
        libvlc_media_retain(media);
    struct bridge_deferred** tail = &stop->deferred;
    while (*tail)
        tail = &(*tail)->next;
    *tail = item;
}

void CDECL bridge_player_set_media(struct bridge_player* player, libvlc_media_t* media);
int CDECL bridge_player_play(struct bridge_player* player);
void CDECL bridge_player_stop(struct bridge_player* player);

static void run_deferred(struct bridge_call* stop) {
    while (stop->deferred) {
        struct bridge_deferred* item = stop->deferred;
        stop->deferred = item->next;
        switch (item->kind) {
            case DEFERRED_SET_MEDIA:
                bridge_player_set_media(stop->player, item->media);
                if (item->media)
                    libvlc_media_release(item->media);
                break;
            case DEFERRED_PLAY:
                bridge_player_play(stop->player);
                break;
            case DEFERRED_STOP:
                bridge_player_stop(stop->player);
                break;
        }
        free(item);
    }
}

// Order: no callback of the player may run once the program frees what it uses, so events stop first;
// the painter next (it asks the native player for its state); then the native player, whose stop still
// raises events (dropped) and closes its video (the frames).
void CDECL bridge_player_release(struct bridge_player* player) {
    if (!player)
        return;
    bridge_events_player_closing(player);
    OutputDebugStringA("libvlc bridge: painter stop\n");
    bridge_video_stop(player);
    OutputDebugStringA("libvlc bridge: native player release\n");
    libvlc_media_player_release(player->native);
    OutputDebugStringA("libvlc bridge: native player released\n");
    bridge_events_player_free(player);
    bridge_video_free(player);
    free(player);
}

// The exports through which libvlc raises events on the caller's thread (MediaChanged, TimeChanged,
// Stopped, the audio ones) record the call, so that those callbacks run inline (events.c).
void CDECL bridge_player_set_media(struct bridge_player* player, libvlc_media_t* media) {
    if (!player)
        return;
    struct bridge_call* stop = bridge_call_holding_input(player);
    if (stop) {
        defer(stop, DEFERRED_SET_MEDIA, media);
        return;
    }
    struct bridge_call call;
    bridge_call_enter(&call, player);
    libvlc_media_player_set_media(player->native, media);
    bridge_call_leave(&call);
}

int CDECL bridge_player_play(struct bridge_player* player) {
    if (!player)
        return -1;
    struct bridge_call* stop = bridge_call_holding_input(player);
    if (stop) {
        defer(stop, DEFERRED_PLAY, NULL);
        return 0;
    }
    struct bridge_call call;
    bridge_call_enter(&call, player);
    int result = libvlc_media_player_play(player->native);
    bridge_call_leave(&call);
    return result;
}

void CDECL bridge_player_pause(struct bridge_player* player) {
    if (!player || bridge_call_holding_input(player))
        return;
    struct bridge_call call;
    bridge_call_enter(&call, player);
    libvlc_media_player_pause(player->native);
    bridge_call_leave(&call);
}

void CDECL bridge_player_stop(struct bridge_player* player) {
    if (!player)
        return;
    struct bridge_call* outer = bridge_call_holding_input(player);
    if (outer) {
        // Already stopped, so nothing to do, unless a play kept from the same callback comes first.
        if (outer->deferred)
            defer(outer, DEFERRED_STOP, NULL);
        return;
    }
    struct bridge_call call;
    bridge_call_enter(&call, player);
    call.input_locked = 1;
    libvlc_media_player_stop(player->native);
    call.input_locked = 0;
    run_deferred(&call);
    bridge_call_leave(&call);
}

int CDECL bridge_player_is_playing(struct bridge_player* player) {
    return player ? libvlc_media_player_is_playing(player->native) : 0;
}

libvlc_time_t CDECL bridge_player_get_time(struct bridge_player* player) {
    if (!player || bridge_call_holding_input(player))
        return -1;
    return libvlc_media_player_get_time(player->native);
}

void CDECL bridge_player_set_time(struct bridge_player* player, libvlc_time_t time) {
    if (!player || bridge_call_holding_input(player))
        return;
    struct bridge_call call;
    bridge_call_enter(&call, player);
    libvlc_media_player_set_time(player->native, time);
    bridge_call_leave(&call);
}

libvlc_time_t CDECL bridge_player_get_length(struct bridge_player* player) {
    if (!player || bridge_call_holding_input(player))
        return -1;
    return libvlc_media_player_get_length(player->native);
}

libvlc_state_t CDECL bridge_player_get_state(struct bridge_player* player) {
    return player ? libvlc_media_player_get_state(player->native) : libvlc_NothingSpecial;
}

void CDECL bridge_player_set_hwnd(struct bridge_player* player, void* window) {
    if (player)
        bridge_video_bind(player, window);
}

struct bridge_event_manager* CDECL bridge_player_event_manager(struct bridge_player* player) {
    return player && player->events.native ? &player->events : NULL;
}

int CDECL bridge_audio_get_volume(struct bridge_player* player) {
    if (!player)
        return -1;
    return libvlc_audio_get_volume(player->native);
}

int CDECL bridge_audio_set_volume(struct bridge_player* player, int volume) {
    if (!player)
        return -1;
    struct bridge_call call;
    bridge_call_enter(&call, player);
    int result = libvlc_audio_set_volume(player->native, volume);
    bridge_call_leave(&call);
    return result;
}

int CDECL bridge_audio_get_mute(struct bridge_player* player) {
    if (!player)
        return -1;
    return libvlc_audio_get_mute(player->native);
}

void CDECL bridge_audio_set_mute(struct bridge_player* player, int mute) {
    if (!player)
        return;
    struct bridge_call call;
    bridge_call_enter(&call, player);
    libvlc_audio_set_mute(player->native, mute);
    bridge_call_leave(&call);
}

int CDECL bridge_video_get_track_count(struct bridge_player* player) {
    if (!player || bridge_call_holding_input(player))
        return -1;
    return libvlc_video_get_track_count(player->native);
}

int CDECL bridge_video_get_size(struct bridge_player* player, unsigned number, unsigned* width, unsigned* height) {
    if (!player || !width || !height || bridge_call_holding_input(player))
        return -1;
    return libvlc_video_get_size(player->native, number, width, height);
}

void CDECL bridge_video_set_key_input(struct bridge_player* player, unsigned on) {
    if (player)
        libvlc_video_set_key_input(player->native, on);
}

void CDECL bridge_video_set_mouse_input(struct bridge_player* player, unsigned on) {
    if (player)
        libvlc_video_set_mouse_input(player->native, on);
}
