// Video for a window handle. libvlc draws nothing into a Windows window from Linux, so every player renders
// through vmem into frames of ours and a painter thread (a Wine thread) draws the newest one into the
// bound window with StretchDIBits, keeping the picture's shape and painting the rest black.
//
// Cost: vmem is asked for frames already at the size they will be drawn (the window's client size seen
// last, fitted to the picture's shape), so libvlc's one conversion from YUV also does the scaling and the
// draw is a plain copy. Frames are drawn straight from the buffers libvlc wrote (no copy), and only new
// frames are drawn; while paused the last frame is redrawn now and then, and whenever the window's size
// changes. If the window is resized during playback the frame size stays and the draw stretches.
//
// The vmem callbacks run on libvlc's video thread: they only touch the frames under video_lock.
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "bridge.h"

#include <wingdi.h>
#include <winuser.h>

// While nothing new arrives the painter still looks at the window this often: a resize or a pause is then
// redrawn within a tenth of a second.
#define IDLE_WAIT_MS 100
#define MAX_SIDE 4096

static void frame_release(struct bridge_frame* frame) {
    if (frame && --frame->refs == 0) {
        free(frame->pixels);
        free(frame);
    }
}

static struct bridge_frame* frame_new(unsigned width, unsigned height, unsigned pitch, unsigned lines) {
    struct bridge_frame* frame = calloc(1, sizeof(*frame));
    if (!frame)
        return NULL;
    // 64-byte alignment and a little slack: libvlc's converters write whole vectors.
    if (posix_memalign((void**)&frame->pixels, 64, (size_t)pitch * lines + 64) != 0) {
        free(frame);
        return NULL;
    }
    memset(frame->pixels, 0, (size_t)pitch * lines);
    frame->refs = 1;
    frame->width = width;
    frame->height = height;
    frame->pitch = pitch;
    frame->lines = lines;
    return frame;
}

// Called with video_lock held; drops the store's frames (the painter may keep the one it shows).
static void drop_frames(struct bridge_player* player) {
    for (int i = 0; i < player->frame_count; ++i)
        frame_release(player->frames[i]);
    player->frame_count = 0;
    player->ready = NULL;
}

static unsigned even(unsigned value) {
    value &= ~1u;
    return value < 2 ? 2 : value;
}

// The largest rectangle of the given shape inside width x height.
static void fit(unsigned shape_w, unsigned shape_h, unsigned width, unsigned height, unsigned* out_w, unsigned* out_h) {
    if ((uint64_t)shape_w * height <= (uint64_t)shape_h * width) {
        *out_h = height;
        *out_w = (unsigned)(((uint64_t)shape_w * height + shape_h / 2) / shape_h);
    } else {
        *out_w = width;
        *out_h = (unsigned)(((uint64_t)shape_h * width + shape_w / 2) / shape_w);
    }
}

// The visible picture's shape. The size vmem offers is the decoder's padded one (320x194 for a 320x180
// clip), and libvlc scales the visible picture into whatever size is chosen here, so the shape must come
// from the media's track.
static void visible_shape(struct bridge_player* player,
                          unsigned offered_w,
                          unsigned offered_h,
                          unsigned* shape_w,
                          unsigned* shape_h) {
    *shape_w = offered_w;
    *shape_h = offered_h;
    libvlc_media_t* media = libvlc_media_player_get_media(player->native);
    if (!media)
        return;
    libvlc_media_track_t** tracks = NULL;
    unsigned count = libvlc_media_tracks_get(media, &tracks);
    for (unsigned i = 0; i < count; ++i) {
        const libvlc_media_track_t* track = tracks[i];
        if (track->i_type != libvlc_track_video || !track->video->i_width || !track->video->i_height)
            continue;
        uint64_t w = track->video->i_width, h = track->video->i_height;
        if (track->video->i_sar_num && track->video->i_sar_den) {
            w *= track->video->i_sar_num;
            h *= track->video->i_sar_den;
        }
        while (w > 0xFFFFFFFFu || h > 0xFFFFFFFFu) {
            w /= 2;
            h /= 2;
        }
        if (w && h) {
            *shape_w = (unsigned)w;
            *shape_h = (unsigned)h;
        }
        break;
    }
    if (count)
        libvlc_media_tracks_release(tracks, count);
    libvlc_media_release(media);
}

static unsigned on_setup(void** opaque,
                         char* chroma,
                         unsigned* width,
                         unsigned* height,
                         unsigned* pitches,
                         unsigned* lines) {
    struct bridge_player* player = *opaque;
    unsigned shape_w, shape_h;
    visible_shape(player, *width, *height, &shape_w, &shape_h);

    pthread_mutex_lock(&player->video_lock);
    unsigned target_w = player->window_width, target_h = player->window_height;
    if (!target_w || !target_h) {
        // No window seen yet: the picture's own size.
        fit(shape_w, shape_h, *width, *height, &target_w, &target_h);
    } else {
        fit(shape_w, shape_h, target_w, target_h, &target_w, &target_h);
    }
    if (target_w > MAX_SIDE || target_h > MAX_SIDE)
        fit(shape_w, shape_h, MAX_SIDE, MAX_SIDE, &target_w, &target_h);
    target_w = even(target_w);
    target_h = even(target_h);

    drop_frames(player);
    player->frame_width = target_w;
    player->frame_height = target_h;
    player->aspect_width = shape_w;
    player->aspect_height = shape_h;
    player->vout_open = 1;
    pthread_mutex_unlock(&player->video_lock);

    memcpy(chroma, "RV32", 4);
    *width = target_w;
    *height = target_h;
    pitches[0] = (target_w * 4 + 63) & ~63u;
    lines[0] = (target_h + 15) & ~15u;
    return 1;
}

static void on_cleanup(void* opaque) {
    struct bridge_player* player = opaque;
    pthread_mutex_lock(&player->video_lock);
    drop_frames(player);
    player->vout_open = 0;
    pthread_cond_signal(&player->video_wake);
    pthread_mutex_unlock(&player->video_lock);
}

static void* on_lock(void* opaque, void** planes) {
    struct bridge_player* player = opaque;
    pthread_mutex_lock(&player->video_lock);
    struct bridge_frame* pick = NULL;
    struct bridge_frame* spare = NULL;
    for (int i = 0; i < player->frame_count && !pick; ++i) {
        struct bridge_frame* frame = player->frames[i];
        // refs > 1: the painter is drawing or keeping it.
        if (frame->locked || frame == player->ready || frame->refs > 1)
            continue;
        if (!frame->pending)
            pick = frame;
        else if (!spare)
            spare = frame;
    }
    if (!pick && player->frame_count < BRIDGE_MAX_FRAMES) {
        unsigned pitch = (player->frame_width * 4 + 63) & ~63u;
        unsigned lines = (player->frame_height + 15) & ~15u;
        pick = frame_new(player->frame_width, player->frame_height, pitch, lines);
        if (pick)
            player->frames[player->frame_count++] = pick;
    }
    if (!pick)
        pick = spare ? spare : player->frame_count ? player->frames[0] : NULL;
    if (!pick) {
        pthread_mutex_unlock(&player->video_lock);
        planes[0] = NULL;
        return NULL;
    }
    pick->locked = 1;
    pick->pending = 0;
    planes[0] = pick->pixels;
    pthread_mutex_unlock(&player->video_lock);
    return pick;
}

static void on_unlock(void* opaque, void* picture, void* const* planes) {
    (void)planes;
    struct bridge_player* player = opaque;
    struct bridge_frame* frame = picture;
    if (!frame)
        return;
    pthread_mutex_lock(&player->video_lock);
    if (frame->locked) {
        frame->locked = 0;
        frame->pending = 1;
    }
    pthread_mutex_unlock(&player->video_lock);
}

static void on_display(void* opaque, void* picture) {
    struct bridge_player* player = opaque;
    pthread_mutex_lock(&player->video_lock);
    for (int i = 0; i < player->frame_count; ++i)
        player->frames[i]->pending = 0;  // any still pending were dropped by libvlc
    if (picture) {
        player->ready = picture;
        ++player->ready_serial;
    }
    pthread_cond_signal(&player->video_wake);
    pthread_mutex_unlock(&player->video_lock);
}

void bridge_video_init(struct bridge_player* player) {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&player->video_wake, &attr);
    pthread_condattr_destroy(&attr);
    pthread_mutex_init(&player->video_lock, NULL);
    // Always vmem, bound to a window or not: the Linux library must never open windows of its own on the
    // X display.
    libvlc_video_set_callbacks(player->native, on_lock, on_unlock, on_display, player);
    libvlc_video_set_format_callbacks(player->native, on_setup, on_cleanup);
}

static void fill_black(HDC dc, int left, int top, int right, int bottom) {
    if (right > left && bottom > top)
        PatBlt(dc, left, top, right - left, bottom - top, BLACKNESS);
}

static void paint(HWND window,
                  const RECT* client,
                  const struct bridge_frame* frame,
                  unsigned shape_w,
                  unsigned shape_h) {
    unsigned width = (unsigned)(client->right - client->left), height = (unsigned)(client->bottom - client->top);
    if (!width || !height)
        return;
    unsigned draw_w, draw_h;
    fit(shape_w, shape_h, width, height, &draw_w, &draw_h);
    int x = (int)(width - draw_w) / 2, y = (int)(height - draw_h) / 2;

    HDC dc = GetDC(window);
    if (!dc)
        return;  // the window is gone
    fill_black(dc, 0, 0, (int)width, y);
    fill_black(dc, 0, y + (int)draw_h, (int)width, (int)height);
    fill_black(dc, 0, y, x, y + (int)draw_h);
    fill_black(dc, x + (int)draw_w, y, (int)width, y + (int)draw_h);

    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = (LONG)(frame->pitch / 4);
    // Top row first, and exactly the picture's rows: with more (the padding), Wine counts the source
    // rectangle from the bottom and the padding shows.
    info.bmiHeader.biHeight = -(LONG)frame->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, (int)draw_w, (int)draw_h, 0, 0, (int)frame->width, (int)frame->height, frame->pixels, &info,
                  DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);

    // Wine draws into a window surface of its own and hands it to the X server only when a thread of the
    // process looks for messages and finds none. The program's thread may sleep for a quarter of a second
    // between messages, so the painter looks itself: every frame reaches the screen when it is drawn.
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE);
}

static void wait_for_news(struct bridge_player* player, uint64_t serial) {
    if (player->ready_serial != serial || player->painter_quit)
        return;
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_nsec += IDLE_WAIT_MS * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    pthread_cond_timedwait(&player->video_wake, &player->video_lock, &deadline);
}

// The window that shows a picture of ours gets it back: on Windows libvlc's own picture window inside the
// bound one goes away with the video output, and the bound window then shows its own background. An
// invalidation sends nothing to the window's thread, so this never waits for the program.
static void give_back(HWND* painted_window) {
    if (*painted_window && IsWindow(*painted_window))
        InvalidateRect(*painted_window, NULL, TRUE);
    *painted_window = NULL;
}

static DWORD WINAPI painter_main(void* arg) {
    struct bridge_player* player = arg;
    struct bridge_frame* shown = NULL;
    uint64_t shown_serial = 0;
    RECT painted_client = {0, 0, 0, 0};
    HWND painted_window = NULL;  // where a picture of ours is on the screen
    int painted_any = 0;  // for the start-up trace

    pthread_mutex_lock(&player->video_lock);
    while (!player->painter_quit) {
        wait_for_news(player, shown_serial);
        if (player->painter_quit)
            break;
        int fresh = 0;
        if (player->ready_serial != shown_serial && player->ready) {
            if (shown != player->ready) {
                frame_release(shown);
                shown = player->ready;
                ++shown->refs;
            }
            fresh = 1;
        }
        shown_serial = player->ready_serial;
        int output_gone = !player->vout_open;
        if (output_gone && shown) {
            // Playback ended or stopped: nothing to keep on screen.
            frame_release(shown);
            shown = NULL;
        }
        HWND window = player->window;
        unsigned shape_w = player->aspect_width, shape_h = player->aspect_height;
        pthread_mutex_unlock(&player->video_lock);

        if (output_gone || painted_window != window)
            give_back(&painted_window);

        RECT client = {0, 0, 0, 0};
        int alive = window && IsWindow(window) && GetClientRect(window, &client);
        if (alive) {
            int resized = !EqualRect(&client, &painted_client);
            int paused = !fresh && shown && libvlc_media_player_get_state(player->native) == libvlc_Paused;
            if (shown && (fresh || resized || paused)) {
                paint(window, &client, shown, shape_w, shape_h);
                painted_client = client;
                painted_window = window;
                if (!painted_any)
                    OutputDebugStringA("libvlc bridge: first picture\n");
                painted_any = 1;
            }
        }

        pthread_mutex_lock(&player->video_lock);
        player->window_width = alive ? (unsigned)client.right : 0;
        player->window_height = alive ? (unsigned)client.bottom : 0;
    }
    frame_release(shown);
    pthread_mutex_unlock(&player->video_lock);
    // The player is being released, and its video output with it.
    give_back(&painted_window);
    return 0;
}

// On the program's thread. A new window takes effect with the next frame; NULL unbinds.
void bridge_video_bind(struct bridge_player* player, HWND window) {
    RECT client = {0, 0, 0, 0};
    if (window && !GetClientRect(window, &client))
        SetRectEmpty(&client);
    pthread_mutex_lock(&player->video_lock);
    player->window = window;
    // Known before the first frame is set up, so that it comes at the window's size.
    player->window_width = (unsigned)client.right;
    player->window_height = (unsigned)client.bottom;
    int start = window && !player->painter;
    pthread_cond_signal(&player->video_wake);
    pthread_mutex_unlock(&player->video_lock);
    if (start)
        player->painter = CreateThread(NULL, 0, painter_main, player, 0, NULL);
}

void bridge_video_stop(struct bridge_player* player) {
    if (!player->painter)
        return;
    pthread_mutex_lock(&player->video_lock);
    player->painter_quit = 1;
    pthread_cond_signal(&player->video_wake);
    pthread_mutex_unlock(&player->video_lock);
    WaitForSingleObject(player->painter, INFINITE);
    CloseHandle(player->painter);
    player->painter = NULL;
}

// After the native player is gone.
void bridge_video_free(struct bridge_player* player) {
    pthread_mutex_lock(&player->video_lock);
    drop_frames(player);
    pthread_mutex_unlock(&player->video_lock);
    pthread_mutex_destroy(&player->video_lock);
    pthread_cond_destroy(&player->video_wake);
}
