// The exports of the builtin libvlc.dll (see libvlc.spec): instances and media go through as the Linux
// library's own pointers; a media player is wrapped, because the bridge keeps per-player state (its events,
// its frames and painter, the quiet audio mode). Paths arrive as Windows paths and leave as Unix paths.
//
// Audio: by default libvlc plays into the sound server (PULSE_SERVER), so volume and mute are libvlc's own.
// With VANTREL_VLC_AUDIO=discard in the Windows environment when a player is made, the player decodes its
// sound into callbacks that drop it, and volume and mute are kept here with libvlc's meaning (0..,
// percent; negative volumes refused).
#include <stdlib.h>
#include <string.h>

#include "bridge.h"

#include <winnls.h>

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

static void drop_samples(void* data, const void* samples, unsigned count, int64_t pts) {
    (void)data;
    (void)samples;
    (void)count;
    (void)pts;
}

static int wants_discard(void) {
    char value[16];
    DWORD n = GetEnvironmentVariableA("VANTREL_VLC_AUDIO", value, sizeof(value));
    return n > 0 && n < sizeof(value) && lstrcmpiA(value, "discard") == 0;
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
    player->volume = 100;
    player->discard_audio = wants_discard();
    if (player->discard_audio)
        libvlc_audio_set_callbacks(player->native, drop_samples, NULL, NULL, NULL, NULL, player);
    bridge_video_init(player);
    return player;
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

void CDECL bridge_player_set_media(struct bridge_player* player, libvlc_media_t* media) {
    if (player)
        libvlc_media_player_set_media(player->native, media);
}

int CDECL bridge_player_play(struct bridge_player* player) {
    return player ? libvlc_media_player_play(player->native) : -1;
}

void CDECL bridge_player_pause(struct bridge_player* player) {
    if (player)
        libvlc_media_player_pause(player->native);
}

void CDECL bridge_player_stop(struct bridge_player* player) {
    if (player)
        libvlc_media_player_stop(player->native);
}

int CDECL bridge_player_is_playing(struct bridge_player* player) {
    return player ? libvlc_media_player_is_playing(player->native) : 0;
}

libvlc_time_t CDECL bridge_player_get_time(struct bridge_player* player) {
    return player ? libvlc_media_player_get_time(player->native) : -1;
}

void CDECL bridge_player_set_time(struct bridge_player* player, libvlc_time_t time) {
    if (player)
        libvlc_media_player_set_time(player->native, time);
}

libvlc_time_t CDECL bridge_player_get_length(struct bridge_player* player) {
    return player ? libvlc_media_player_get_length(player->native) : -1;
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
    return player->discard_audio ? player->volume : libvlc_audio_get_volume(player->native);
}

int CDECL bridge_audio_set_volume(struct bridge_player* player, int volume) {
    if (!player)
        return -1;
    if (!player->discard_audio)
        return libvlc_audio_set_volume(player->native, volume);
    if (volume < 0)
        return -1;
    player->volume = volume;
    return 0;
}

int CDECL bridge_audio_get_mute(struct bridge_player* player) {
    if (!player)
        return -1;
    return player->discard_audio ? player->muted : libvlc_audio_get_mute(player->native);
}

void CDECL bridge_audio_set_mute(struct bridge_player* player, int mute) {
    if (!player)
        return;
    if (player->discard_audio)
        player->muted = mute != 0;
    else
        libvlc_audio_set_mute(player->native, mute);
}

int CDECL bridge_video_get_track_count(struct bridge_player* player) {
    return player ? libvlc_video_get_track_count(player->native) : -1;
}

int CDECL bridge_video_get_size(struct bridge_player* player, unsigned number, unsigned* width, unsigned* height) {
    if (!player || !width || !height)
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
