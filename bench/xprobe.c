// xprobe: runs one player for the player benchmark and watches it from the outside, through the X server
// that every player draws on, so that Vantrel under Wine, cvlc and mpv are measured the same way.
//
//   xprobe empty COLOUR [SECONDS]
//       Waits until no probed pixel of the screen has COLOUR (RRGGBB hex); exit 1 if one still does after
//       SECONDS (default 10).
//   xprobe run [--first-frame COLOUR] [--close-at-end CAPTION] [--pid-file FILE] [--timeout SECONDS]
//              -- COMMAND [ARGUMENT...]
//       Starts COMMAND and waits for it to exit. --first-frame: the screen must be free of COLOUR before
//       the start, and the time from the start until a probed pixel has it is reported. --close-at-end:
//       once a top-level window's name has been "CAPTION - ..." and is back to CAPTION, it is closed as a
//       user would (the window manager's close request, WM_DELETE_WINDOW). SIGUSR1 closes the command's
//       windows the same way (a command without a window gets SIGTERM). Prints one line:
//       "wall S user S sys S maxrss_kib N first_frame_ms N|- closed HOW start_at S close_at S|- gone_at S|-
//       exit_at S": the last four are instants on the clock of Wine's debug timestamps (CLOCK_MONOTONIC_RAW,
//       seconds): the start, the close request, the closed window's leaving the screen, the exit; then
//       "first_frame_cpu_ms N|-": the CPU time the command's process had used when the first frame showed
//       (all its threads then alive), which the machine's other load moves far less than the wall time.
//
// The screen is probed on rows 32 pixels apart, every 4th pixel of each, every 5 ms: any picture of 32x32
// pixels or more is seen, and the probe costs the X server little beside the players.
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <dirent.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kRowStep = 32, kColumnStep = 4, kTolerance = 40, kMaxWatched = 256 };

static Display* display;
static Window root;
static int screenWidth, screenHeight;
static volatile sig_atomic_t closeRequested;

// Wine stamps its debug lines with this clock, so that a trace of the player lines up with what is seen here.
static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC_RAW, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// CPU time of every thread of a process, in milliseconds, from the scheduler's own nanosecond counts.
static double ProcessCpuMs(pid_t pid) {
    char path[64];
    snprintf(path, sizeof(path), "/proc/%d/task", (int)pid);
    DIR* tasks = opendir(path);
    if (!tasks)
        return -1;
    double total = 0;
    struct dirent* entry;
    while ((entry = readdir(tasks))) {
        if (entry->d_name[0] == '.')
            continue;
        char stat[300];
        snprintf(stat, sizeof(stat), "/proc/%d/task/%s/schedstat", (int)pid, entry->d_name);
        FILE* f = fopen(stat, "r");
        unsigned long long ns = 0;
        if (f) {
            if (fscanf(f, "%llu", &ns) == 1)
                total += ns / 1e6;
            fclose(f);
        }
    }
    closedir(tasks);
    return total;
}

static int ParseColour(const char* text, unsigned* colour) {
    char* end = NULL;
    unsigned long value = strtoul(text, &end, 16);
    if (!end || *end || strlen(text) != 6)
        return 0;
    *colour = (unsigned)value;
    return 1;
}

static int Near(unsigned a, unsigned b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int d = (int)((a >> shift) & 0xff) - (int)((b >> shift) & 0xff);
        if (d < -kTolerance || d > kTolerance)
            return 0;
    }
    return 1;
}

// Whether a probed pixel of the screen has the colour.
static int ScreenShows(unsigned colour) {
    for (int y = kRowStep / 2; y < screenHeight; y += kRowStep) {
        XImage* row = XGetImage(display, root, 0, y, (unsigned)screenWidth, 1, AllPlanes, ZPixmap);
        if (!row)
            continue;
        int found = 0;
        for (int x = 0; x < screenWidth && !found; x += kColumnStep)
            found = Near((unsigned)XGetPixel(row, x, 0) & 0xffffff, colour);
        XDestroyImage(row);
        if (found)
            return 1;
    }
    return 0;
}

static int WaitEmpty(unsigned colour, double seconds) {
    double deadline = Now() + seconds;
    while (ScreenShows(colour)) {
        if (Now() > deadline)
            return 0;
        usleep(50000);
    }
    return 1;
}

static int OpenDisplay(void) {
    display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xprobe: cannot open display %s\n", getenv("DISPLAY") ? getenv("DISPLAY") : "(none)");
        return 0;
    }
    root = DefaultRootWindow(display);
    screenWidth = DisplayWidth(display, DefaultScreen(display));
    screenHeight = DisplayHeight(display, DefaultScreen(display));
    return 1;
}

// --- windows and their names ---

static Atom atomNetName, atomUtf8, atomProtocols, atomDelete, atomPid;

struct Watched {
    Window window;
    int armed;  // its name was "CAPTION - ..."
};
static struct Watched watched[kMaxWatched];
static int watchedCount;

static int IgnoreErrors(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

// The window's name (the UTF-8 one first), or "" when it has none; the caller frees it.
static char* NameOf(Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(display, window, atomNetName, 0, 1024, False, atomUtf8, &type, &format, &count, &after,
                           &data) == Success &&
        data && type == atomUtf8) {
        char* name = strndup((char*)data, count);
        XFree(data);
        return name;
    }
    if (data)
        XFree(data);
    char* plain = NULL;
    if (XFetchName(display, window, &plain) && plain) {
        char* name = strdup(plain);
        XFree(plain);
        return name;
    }
    return strdup("");
}

static long PidOf(Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    long pid = -1;
    if (XGetWindowProperty(display, window, atomPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data && count == 1 && format == 32)
        pid = *(long*)data;
    if (data)
        XFree(data);
    return pid;
}

// The windows asked to close, and when the first of them left the screen.
static Window closing[kMaxWatched];
static int closingCount;
static double closeAt = -1, goneAt = -1;

static void RequestClose(Window window) {
    if (closeAt < 0)
        closeAt = Now();
    if (closingCount < kMaxWatched)
        closing[closingCount++] = window;
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atomProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)atomDelete;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

static struct Watched* Watch(Window window) {
    for (int i = 0; i < watchedCount; ++i) {
        if (watched[i].window == window)
            return &watched[i];
    }
    if (watchedCount == kMaxWatched)
        return NULL;
    XSelectInput(display, window, PropertyChangeMask);
    watched[watchedCount].window = window;
    watched[watchedCount].armed = 0;
    return &watched[watchedCount++];
}

// Looks at a window's name; true when it has just come back to the caption after a file.
static int EndedAt(struct Watched* entry, const char* caption) {
    if (!entry || !caption)
        return 0;
    char* name = NameOf(entry->window);
    size_t n = strlen(caption);
    int ended = 0;
    if (strncmp(name, caption, n) == 0 && strncmp(name + n, " - ", 3) == 0)
        entry->armed = 1;
    else if (entry->armed && strcmp(name, caption) == 0)
        ended = 1;
    free(name);
    return ended;
}

// Asks every top-level window of the process to close; false when it has none.
static int CloseWindowsOf(pid_t pid) {
    Window rootReturn, parent, *children = NULL;
    unsigned count = 0;
    int closed = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (PidOf(children[i]) == pid && XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
            RequestClose(children[i]);
            closed = 1;
        }
    }
    if (children)
        XFree(children);
    return closed;
}

static void OnUsr1(int signal) {
    (void)signal;
    closeRequested = 1;
}

static int Run(int argc, char** argv) {
    unsigned colour = 0;
    int wantFrame = 0;
    const char* caption = NULL;
    const char* pidFile = NULL;
    double timeout = 600;
    int i = 2;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (strcmp(argv[i], "--first-frame") == 0 && i + 1 < argc) {
            if (!ParseColour(argv[++i], &colour)) {
                fprintf(stderr, "xprobe: bad colour %s\n", argv[i]);
                return 2;
            }
            wantFrame = 1;
        } else if (strcmp(argv[i], "--close-at-end") == 0 && i + 1 < argc) {
            caption = argv[++i];
        } else if (strcmp(argv[i], "--pid-file") == 0 && i + 1 < argc) {
            pidFile = argv[++i];
        } else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeout = atof(argv[++i]);
        } else {
            fprintf(stderr, "xprobe: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (i + 1 >= argc) {
        fprintf(stderr, "xprobe run: no command\n");
        return 2;
    }
    char** command = argv + i + 1;

    XSetErrorHandler(IgnoreErrors);
    atomNetName = XInternAtom(display, "_NET_WM_NAME", False);
    atomUtf8 = XInternAtom(display, "UTF8_STRING", False);
    atomProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    atomDelete = XInternAtom(display, "WM_DELETE_WINDOW", False);
    atomPid = XInternAtom(display, "_NET_WM_PID", False);
    // Windows made, and closed windows unmapped or destroyed.
    XSelectInput(display, root, SubstructureNotifyMask);
    if (wantFrame && !WaitEmpty(colour, 10)) {
        fprintf(stderr, "xprobe: the screen still shows %06x before the start\n", colour);
        return 1;
    }
    XSync(display, False);

    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnUsr1;
    sigaction(SIGUSR1, &action, NULL);

    double start = Now();
    pid_t child = fork();
    if (child < 0) {
        perror("xprobe: fork");
        return 1;
    }
    if (child == 0) {
        signal(SIGUSR1, SIG_DFL);
        close(ConnectionNumber(display));
        execvp(command[0], command);
        perror("xprobe: exec");
        _exit(127);
    }
    if (pidFile) {
        FILE* f = fopen(pidFile, "w");
        if (f) {
            fprintf(f, "%d\n", (int)child);
            fclose(f);
        }
    }

    double firstFrame = -1, firstFrameCpu = -1;
    const char* closed = "itself";
    int status = 0, killed = 0;
    struct rusage usage;
    memset(&usage, 0, sizeof(usage));
    for (;;) {
        pid_t done = wait4(child, &status, WNOHANG, &usage);
        if (done == child)
            break;
        double now = Now();
        if (now - start > timeout && killed < 2) {
            kill(child, killed ? SIGKILL : SIGTERM);
            closed = "timeout";
            ++killed;
            timeout += 5;
        }
        if (wantFrame && firstFrame < 0 && ScreenShows(colour)) {
            firstFrame = Now() - start;
            firstFrameCpu = ProcessCpuMs(child);
        }
        if (closeRequested) {
            closeRequested = 0;
            if (CloseWindowsOf(child)) {
                closed = "window";
            } else {
                kill(child, SIGTERM);
                closed = "signal";
            }
        }
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            struct Watched* entry = NULL;
            if ((event.type == UnmapNotify || event.type == DestroyNotify) && goneAt < 0) {
                Window gone = event.type == UnmapNotify ? event.xunmap.window : event.xdestroywindow.window;
                for (int k = 0; k < closingCount; ++k) {
                    if (closing[k] == gone)
                        goneAt = Now();
                }
            }
            if (event.type == CreateNotify && event.xcreatewindow.parent == root)
                entry = Watch(event.xcreatewindow.window);
            else if (event.type == PropertyNotify &&
                     (event.xproperty.atom == atomNetName || event.xproperty.atom == XA_WM_NAME))
                entry = Watch(event.xproperty.window);
            if (EndedAt(entry, caption)) {
                RequestClose(entry->window);
                closed = "window";
            }
        }
        struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, wantFrame && firstFrame < 0 ? 5 : 50);
    }
    double exitAt = Now();
    double wall = exitAt - start;
    char frame[32] = "-", closeText[32] = "-", goneText[32] = "-", frameCpu[32] = "-";
    if (firstFrameCpu >= 0)
        snprintf(frameCpu, sizeof(frameCpu), "%.0f", firstFrameCpu);
    if (firstFrame >= 0)
        snprintf(frame, sizeof(frame), "%.0f", firstFrame * 1000);
    if (closeAt >= 0)
        snprintf(closeText, sizeof(closeText), "%.3f", closeAt);
    if (goneAt >= 0)
        snprintf(goneText, sizeof(goneText), "%.3f", goneAt);
    printf(
        "wall %.3f user %.3f sys %.3f maxrss_kib %ld first_frame_ms %s closed %s start_at %.3f close_at %s "
        "gone_at %s exit_at %.3f first_frame_cpu_ms %s\n",
        wall, usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6,
        usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6, usage.ru_maxrss, frame, closed, start, closeText,
        goneText, exitAt, frameCpu);
    if (strcmp(closed, "timeout") == 0)
        return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: xprobe empty COLOUR [SECONDS] | xprobe run [options] -- command...\n");
        return 2;
    }
    if (!OpenDisplay())
        return 2;
    if (strcmp(argv[1], "empty") == 0 && argc >= 3) {
        unsigned colour;
        if (!ParseColour(argv[2], &colour))
            return 2;
        return WaitEmpty(colour, argc > 3 ? atof(argv[3]) : 10) ? 0 : 1;
    }
    if (strcmp(argv[1], "run") == 0)
        return Run(argc, argv);
    fprintf(stderr, "xprobe: unknown mode %s\n", argv[1]);
    return 2;
}
