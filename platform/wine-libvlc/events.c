// libvlc events for Windows code, raised the way libvlc 3 raises them on Windows.
//
// There, libvlc calls an event callback synchronously on the thread that raises the event, while that
// thread holds libvlc's locks as they then are: the event manager's lock always, and more by event. The
// input thread raises Playing, Paused, TimeChanged and EndReached while the player's callback bookkeeping
// is in use, which stop and set_media wait on while they hold the player's input lock. The program's own
// call raises the rest on the program's thread: Stopped inside stop (the input lock held), MediaChanged
// inside set_media, TimeChanged inside set_time while playing. A callback that calls a getter (get_time,
// get_length, video_get_track_count..., which take the input lock) while another thread stops the player
// therefore hangs both threads for good; a callback run inside the program's own call may call its player
// again, since every lock of libvlc on Windows is recursive.
//
// Here libvlc raises events on Linux threads of its own, where no Win32 call and no Windows code may run,
// and on the program's Wine threads inside its calls. So:
//   - An event raised on a Wine thread while that thread is inside one of the bridge's exports (recorded
//     by bridge_call_enter) runs its callback right there, as on Windows, inside libvlc's call and under
//     its locks. Where libvlc's stop still holds the input lock, which is not recursive on Linux, the
//     exports answer as libvlc on Windows does at that point (bridge.c).
//   - An event raised on one of libvlc's threads goes to one dispatcher thread (a Wine thread), and the
//     raising thread waits until the program's callback has returned there: it is held exactly as long as
//     on Windows, with the same locks held, so the same deadlocks happen. Callbacks run in the order the
//     events came.
//
// Detach and player release must not return while a callback of theirs still runs (the program frees what
// the callback uses right after), and must drop the events of theirs not yet delivered (their raising
// threads then go on at once). Both wait on the dispatcher unless they are called by a callback on the
// dispatcher itself. A callback run inline on another thread is waited for by libvlc's own detach, which
// takes the event manager's lock that the raising thread holds.
//
// A callback on the dispatcher that detaches a registration (itself, typically) stops its delivery at
// once; the native listener stays attached, harmless, until the player is released: the native detach
// takes the event manager's lock, which the raising thread holds while it waits for this very callback.
// For the same reason an attach from a callback on the dispatcher is refused (libvlc on Windows lets a
// callback attach; the program never does it). A callback run inline attaches and detaches as on Windows.
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
    int detached;  // under event_lock: no more deliveries; freed with the player (see above)
};

struct pending_event {
    struct pending_event* next;
    struct bridge_registration* registration;
    libvlc_event_t event;
    int done;  // the raising thread waits on the stack for this
};

static pthread_mutex_t event_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t event_queued = PTHREAD_COND_INITIALIZER;
static pthread_cond_t event_done = PTHREAD_COND_INITIALIZER;  // a callback returned or an event was dropped
static struct pending_event* queue_head;
static struct pending_event* queue_tail;
static struct bridge_registration* running;  // whose callback the dispatcher is in, or NULL
static HANDLE dispatcher;
// The dispatcher as a pthread, so that libvlc's threads can tell it apart without a Win32 call (a
// __thread variable of this library is not reliable on Wine's threads).
static pthread_t dispatcher_thread;
static int dispatcher_running;

static int on_dispatcher(void) {
    return __atomic_load_n(&dispatcher_running, __ATOMIC_ACQUIRE) && pthread_equal(pthread_self(), dispatcher_thread);
}

static void map_object(libvlc_event_t* copy, const libvlc_event_t* event, struct bridge_registration* registration) {
    *copy = *event;
    if (event->p_obj == registration->player->native)
        copy->p_obj = registration->player;
}

// Called with event_lock held.
static void enqueue(struct pending_event* item) {
    if (queue_tail)
        queue_tail->next = item;
    else
        queue_head = item;
    queue_tail = item;
    pthread_cond_signal(&event_queued);
}

// The program's calls in progress on this thread, innermost first (a callback run inline may call again).
// A key rather than a __thread variable of this library, which is not reliable on Wine's threads; the
// threads of libvlc have none.
static pthread_key_t call_key;
static pthread_once_t call_key_once = PTHREAD_ONCE_INIT;

static void make_call_key(void) {
    pthread_key_create(&call_key, NULL);
}

static struct bridge_call* current_call(void) {
    pthread_once(&call_key_once, make_call_key);
    return pthread_getspecific(call_key);
}

void bridge_call_enter(struct bridge_call* call, struct bridge_player* player) {
    memset(call, 0, sizeof(*call));
    call->outer = current_call();
    call->player = player;
    pthread_setspecific(call_key, call);
}

void bridge_call_leave(struct bridge_call* call) {
    pthread_setspecific(call_key, call->outer);
}

struct bridge_call* bridge_call_holding_input(struct bridge_player* player) {
    for (struct bridge_call* call = current_call(); call; call = call->outer)
        if (call->player == player && call->input_locked)
            return call;
    return NULL;
}

// Runs on the thread that raises the event: one of libvlc's (memory and pthreads only), or a Wine thread
// inside one of the program's calls (stop raises Stopped), the dispatcher's included when a callback calls
// libvlc. libvlc holds the event manager's lock around this call.
static void on_native_event(const libvlc_event_t* event, void* data) {
    struct bridge_registration* registration = data;
    struct bridge_player* player = registration->player;

    pthread_mutex_lock(&event_lock);
    if (registration->detached || player->closing) {
        pthread_mutex_unlock(&event_lock);
        return;
    }
    if (current_call()) {
        // On the program's own thread, inside its call: the callback runs here, as on Windows. A detach on
        // another thread waits in libvlc for the event manager's lock, which this thread holds, so the
        // registration outlives the call; one from inside the callback frees it, so nothing here touches
        // it afterwards.
        windows_callback callback = registration->callback;
        void* callback_data = registration->data;
        pthread_mutex_unlock(&event_lock);
        libvlc_event_t copy;
        map_object(&copy, event, registration);
        callback(&copy, callback_data);
        return;
    }
    // The event's strings stay valid while this thread waits, so nothing is copied.
    struct pending_event item;
    memset(&item, 0, sizeof(item));
    item.registration = registration;
    map_object(&item.event, event, registration);
    enqueue(&item);
    while (!item.done)
        pthread_cond_wait(&event_done, &event_lock);
    pthread_mutex_unlock(&event_lock);
}

// Called with event_lock held: a delivered or dropped event is finished, and its raising thread goes on
// (the item, on that thread's stack, then lives no longer).
static void finish(struct pending_event* item) {
    item->done = 1;
    pthread_cond_broadcast(&event_done);
}

static DWORD WINAPI dispatcher_main(void* unused) {
    (void)unused;
    pthread_mutex_lock(&event_lock);
    dispatcher_thread = pthread_self();
    __atomic_store_n(&dispatcher_running, 1, __ATOMIC_RELEASE);
    for (;;) {
        while (!queue_head)
            pthread_cond_wait(&event_queued, &event_lock);
        struct pending_event* item = queue_head;
        queue_head = item->next;
        if (!queue_head)
            queue_tail = NULL;
        running = item->registration;
        windows_callback callback = item->registration->callback;
        void* data = item->registration->data;
        pthread_mutex_unlock(&event_lock);

        callback(&item->event, data);

        pthread_mutex_lock(&event_lock);
        running = NULL;
        finish(item);
        pthread_cond_broadcast(&event_done);
    }
    return 0;
}

// Called with event_lock held, on a Wine thread.
static int start_dispatcher(void) {
    if (dispatcher)
        return 1;
    dispatcher = CreateThread(NULL, 0, dispatcher_main, NULL, 0, NULL);
    return dispatcher != NULL;
}

// Called with event_lock held: drops the undelivered events that match and waits for a running callback
// that matches. A callback that detaches or releases from the dispatcher must not wait for itself.
static void drop_and_wait(struct bridge_player* player, struct bridge_registration* registration) {
    struct pending_event** link = &queue_head;
    queue_tail = NULL;
    while (*link) {
        struct pending_event* item = *link;
        if (registration ? item->registration == registration : item->registration->player == player) {
            *link = item->next;
            finish(item);
        } else {
            queue_tail = item;
            link = &item->next;
        }
    }
    if (on_dispatcher())
        return;
    while (running && (registration ? running == registration : running->player == player))
        pthread_cond_wait(&event_done, &event_lock);
}

int CDECL bridge_event_attach(struct bridge_event_manager* manager,
                              libvlc_event_type_t type,
                              windows_callback callback,
                              void* data) {
    if (!manager || !callback || on_dispatcher())
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
    // The oldest live matching registration goes, as in libvlc; the list holds the newest first.
    pthread_mutex_lock(&event_lock);
    struct bridge_registration* registration = NULL;
    for (struct bridge_registration* r = manager->player->registrations; r; r = r->next) {
        if (!r->detached && r->type == type && r->callback == callback && r->data == data)
            registration = r;
    }
    if (!registration) {
        pthread_mutex_unlock(&event_lock);
        return;
    }
    registration->detached = 1;
    drop_and_wait(NULL, registration);
    if (on_dispatcher()) {
        // Stays in the player's list (freed with the player), natively attached but silent.
        pthread_mutex_unlock(&event_lock);
        return;
    }
    // Found again: while drop_and_wait let go of the lock, other threads may have attached or detached
    // registrations of this player, and a link found before the wait may have moved or been freed. Marked
    // detached, this one is taken out by nobody else.
    struct bridge_registration** link = &manager->player->registrations;
    while (*link != registration)
        link = &(*link)->next;
    *link = registration->next;
    pthread_mutex_unlock(&event_lock);

    // Takes the event manager's lock: a thread raising an event of another registration of this player
    // holds it until the dispatcher has run that callback, which it is free to do. Once this returns no
    // libvlc thread is inside the trampoline for this registration.
    libvlc_event_detach(manager->native, type, on_native_event, registration);
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
