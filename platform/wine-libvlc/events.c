// libvlc events for Windows code. libvlc raises them on its own threads, where no Win32 call may be made;
// a trampoline copies each event into a queue and one dispatcher thread (a Wine thread) calls the program's
// callbacks in the order the events came. As with libvlc on Windows, callbacks run on a thread that is not
// the program's user-interface thread and may post to its windows.
//
// Detach and player release must not return while a callback of theirs still runs (the program frees what
// the callback uses right after), and must drop the events of theirs that are still queued. Both wait on
// the dispatcher unless they are called by a callback on the dispatcher itself.
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bridge.h"

// The record goes to Windows code byte for byte; platform/libvlc checks the same layout for mingw.
_Static_assert(sizeof(libvlc_event_t) == 32, "libvlc_event_t is 32 bytes on x86_64");
_Static_assert(offsetof(libvlc_event_t, p_obj) == 8, "p_obj at 8");
_Static_assert(offsetof(libvlc_event_t, u) == 16, "the union at 16");

typedef void(CDECL* windows_callback)(const libvlc_event_t* event, void* data);

struct bridge_registration {
    struct bridge_registration* next;
    struct bridge_player* player;
    libvlc_event_type_t type;
    windows_callback callback;
    void* data;
};

struct queued_event {
    struct queued_event* next;
    struct bridge_registration* registration;
    libvlc_event_t event;
    char* text;  // the copy of the event's string, which dies when the native call returns
};

static pthread_mutex_t event_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t event_queued = PTHREAD_COND_INITIALIZER;
static pthread_cond_t callback_done = PTHREAD_COND_INITIALIZER;
static struct queued_event* queue_head;
static struct queued_event* queue_tail;
static struct bridge_registration* running;  // whose callback the dispatcher is in, or NULL
static DWORD dispatcher_id;
static HANDLE dispatcher;

// Runs on libvlc's threads: memory and pthreads only.
static void on_native_event(const libvlc_event_t* event, void* data) {
    struct bridge_registration* registration = data;
    struct queued_event* item = calloc(1, sizeof(*item));
    if (!item)
        return;
    item->registration = registration;
    item->event = *event;
    if (event->p_obj == registration->player->native)
        item->event.p_obj = registration->player;
    const char* text = NULL;
    if (event->type == libvlc_MediaPlayerSnapshotTaken)
        text = event->u.media_player_snapshot_taken.psz_filename;
    else if (event->type == libvlc_MediaPlayerAudioDevice)
        text = event->u.media_player_audio_device.device;
    if (text) {
        item->text = strdup(text);
        if (event->type == libvlc_MediaPlayerSnapshotTaken)
            item->event.u.media_player_snapshot_taken.psz_filename = item->text;
        else
            item->event.u.media_player_audio_device.device = item->text;
    }

    pthread_mutex_lock(&event_lock);
    if (registration->player->closing) {
        pthread_mutex_unlock(&event_lock);
        free(item->text);
        free(item);
        return;
    }
    if (queue_tail)
        queue_tail->next = item;
    else
        queue_head = item;
    queue_tail = item;
    pthread_cond_signal(&event_queued);
    pthread_mutex_unlock(&event_lock);
}

static DWORD WINAPI dispatcher_main(void* unused) {
    (void)unused;
    pthread_mutex_lock(&event_lock);
    for (;;) {
        while (!queue_head)
            pthread_cond_wait(&event_queued, &event_lock);
        struct queued_event* item = queue_head;
        queue_head = item->next;
        if (!queue_head)
            queue_tail = NULL;
        running = item->registration;
        windows_callback callback = item->registration->callback;
        void* data = item->registration->data;
        pthread_mutex_unlock(&event_lock);

        callback(&item->event, data);

        free(item->text);
        free(item);
        pthread_mutex_lock(&event_lock);
        running = NULL;
        pthread_cond_broadcast(&callback_done);
    }
    return 0;
}

// Called with event_lock held.
static int start_dispatcher(void) {
    if (dispatcher)
        return 1;
    dispatcher = CreateThread(NULL, 0, dispatcher_main, NULL, 0, &dispatcher_id);
    return dispatcher != NULL;
}

// Called with event_lock held: drops the queued events that match and waits for a running callback that
// matches. A callback that detaches or releases from the dispatcher must not wait for itself.
static void drop_and_wait(struct bridge_player* player, struct bridge_registration* registration) {
    struct queued_event** link = &queue_head;
    queue_tail = NULL;
    while (*link) {
        struct queued_event* item = *link;
        if (registration ? item->registration == registration : item->registration->player == player) {
            *link = item->next;
            free(item->text);
            free(item);
        } else {
            queue_tail = item;
            link = &item->next;
        }
    }
    if (GetCurrentThreadId() == dispatcher_id)
        return;
    while (running && (registration ? running == registration : running->player == player))
        pthread_cond_wait(&callback_done, &event_lock);
}

int CDECL bridge_event_attach(struct bridge_event_manager* manager,
                              libvlc_event_type_t type,
                              windows_callback callback,
                              void* data) {
    if (!manager || !callback)
        return -1;
    struct bridge_registration* registration = calloc(1, sizeof(*registration));
    if (!registration)
        return -1;
    registration->player = manager->player;
    registration->type = type;
    registration->callback = callback;
    registration->data = data;

    pthread_mutex_lock(&event_lock);
    if (!start_dispatcher()) {
        pthread_mutex_unlock(&event_lock);
        free(registration);
        return -1;
    }
    registration->next = manager->player->registrations;
    manager->player->registrations = registration;
    pthread_mutex_unlock(&event_lock);

    if (libvlc_event_attach(manager->native, type, on_native_event, registration) != 0) {
        pthread_mutex_lock(&event_lock);
        struct bridge_registration** link = &manager->player->registrations;
        while (*link != registration)
            link = &(*link)->next;
        *link = registration->next;
        pthread_mutex_unlock(&event_lock);
        free(registration);
        return -1;
    }
    return 0;
}

void CDECL bridge_event_detach(struct bridge_event_manager* manager,
                               libvlc_event_type_t type,
                               windows_callback callback,
                               void* data) {
    if (!manager)
        return;
    // The oldest matching registration goes, as in libvlc; the list holds the newest first.
    pthread_mutex_lock(&event_lock);
    struct bridge_registration** found = NULL;
    for (struct bridge_registration** link = &manager->player->registrations; *link; link = &(*link)->next) {
        struct bridge_registration* r = *link;
        if (r->type == type && r->callback == callback && r->data == data)
            found = link;
    }
    struct bridge_registration* registration = found ? *found : NULL;
    if (registration)
        *found = registration->next;
    pthread_mutex_unlock(&event_lock);
    if (!registration)
        return;

    // libvlc holds its event lock while it calls the trampoline, so once this returns no thread of libvlc
    // can queue another event for the registration.
    libvlc_event_detach(manager->native, type, on_native_event, registration);

    pthread_mutex_lock(&event_lock);
    drop_and_wait(NULL, registration);
    pthread_mutex_unlock(&event_lock);
    free(registration);
}

// The start of a release: from here on the player's events are dropped; returns once none of its
// callbacks runs.
void bridge_events_player_closing(struct bridge_player* player) {
    pthread_mutex_lock(&event_lock);
    player->closing = 1;
    drop_and_wait(player, NULL);
    pthread_mutex_unlock(&event_lock);
}

// After the native player is gone: no trampoline can run for it any more.
void bridge_events_player_free(struct bridge_player* player) {
    pthread_mutex_lock(&event_lock);
    struct bridge_registration* registration = player->registrations;
    player->registrations = NULL;
    pthread_mutex_unlock(&event_lock);
    while (registration) {
        struct bridge_registration* next = registration->next;
        free(registration);
        registration = next;
    }
}
