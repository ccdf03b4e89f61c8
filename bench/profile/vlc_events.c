// Counts the events that Debian's libvlc raises while it plays a file to its end, with the same options
// the player gives it, and the gaps between time changes: how often the player's event handler runs.
// Usage: vlc_events FILE [libvlc option...]
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <vlc/vlc.h>

enum { kMaxGaps = 100000 };

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t ended = PTHREAD_COND_INITIALIZER;
static int done;
static long timeChanged, positionChanged, others;
static double lastTime = -1, gaps[kMaxGaps];
static long gapCount;

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

static void OnEvent(const libvlc_event_t* event, void* data) {
    (void)data;
    pthread_mutex_lock(&lock);
    switch (event->type) {
        case libvlc_MediaPlayerTimeChanged: {
            double now = Now();
            if (lastTime >= 0 && gapCount < kMaxGaps)
                gaps[gapCount++] = now - lastTime;
            lastTime = now;
            ++timeChanged;
            break;
        }
        case libvlc_MediaPlayerPositionChanged:
            ++positionChanged;
            break;
        case libvlc_MediaPlayerEndReached:
        case libvlc_MediaPlayerEncounteredError:
            done = 1;
            pthread_cond_signal(&ended);
            break;
        default:
            ++others;
    }
    pthread_mutex_unlock(&lock);
}

static int Compare(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: vlc_events FILE [libvlc option...]\n");
        return 2;
    }
    libvlc_instance_t* instance = libvlc_new(argc - 2, (const char* const*)argv + 2);
    libvlc_media_t* media = instance ? libvlc_media_new_path(instance, argv[1]) : NULL;
    libvlc_media_player_t* player = media ? libvlc_media_player_new_from_media(media) : NULL;
    if (!player)
        return 1;
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(player);
    const libvlc_event_type_t types[] = {libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPositionChanged,
                                         libvlc_MediaPlayerEndReached, libvlc_MediaPlayerEncounteredError,
                                         libvlc_MediaPlayerPlaying, libvlc_MediaPlayerBuffering,
                                         libvlc_MediaPlayerLengthChanged, libvlc_MediaPlayerVout};
    for (size_t i = 0; i < sizeof(types) / sizeof(types[0]); ++i)
        libvlc_event_attach(events, types[i], OnEvent, NULL);
    double start = Now();
    libvlc_media_player_play(player);
    pthread_mutex_lock(&lock);
    while (!done)
        pthread_cond_wait(&ended, &lock);
    pthread_mutex_unlock(&lock);
    double seconds = Now() - start;
    libvlc_media_player_release(player);
    libvlc_media_release(media);
    libvlc_release(instance);
    qsort(gaps, (size_t)gapCount, sizeof(double), Compare);
    printf("played %.1f s: TimeChanged %ld (%.1f a second), PositionChanged %ld, other events %ld\n", seconds,
           timeChanged, timeChanged / seconds, positionChanged, others);
    if (gapCount > 0)
        printf("gap between TimeChanged: min %.1f ms, median %.1f ms, 90th %.1f ms, max %.1f ms\n", gaps[0] * 1e3,
               gaps[gapCount / 2] * 1e3, gaps[gapCount * 9 / 10] * 1e3, gaps[gapCount - 1] * 1e3);
    return 0;
}
