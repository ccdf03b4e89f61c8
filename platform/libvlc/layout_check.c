// The Wine bridge hands libvlc's event records to Windows code byte for byte, so the record's layout as the
// Windows compiler sees it must be the one of the Linux library behind the bridge (checked there too).
#include <stddef.h>
#include <vlc/vlc.h>

#if defined(_WIN64)
_Static_assert(sizeof(libvlc_event_t) == 32, "libvlc_event_t is 32 bytes on x86_64");
_Static_assert(offsetof(libvlc_event_t, p_obj) == 8, "p_obj at 8");
_Static_assert(offsetof(libvlc_event_t, u) == 16, "the union at 16");
_Static_assert(offsetof(libvlc_event_t, u.media_player_time_changed.new_time) == 16, "new_time at 16");
#else
_Static_assert(sizeof(libvlc_event_t) == 16, "libvlc_event_t is 16 bytes on i686");
_Static_assert(offsetof(libvlc_event_t, p_obj) == 4, "p_obj at 4");
_Static_assert(offsetof(libvlc_event_t, u) == 8, "the union at 8");
#endif
_Static_assert(libvlc_MediaPlayerPlaying == 260 && libvlc_MediaPlayerPaused == 261 &&
                   libvlc_MediaPlayerStopped == 262 && libvlc_MediaPlayerEndReached == 265 &&
                   libvlc_MediaPlayerTimeChanged == 267,
               "event numbers");
