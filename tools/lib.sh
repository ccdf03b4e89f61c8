# Sourced by tools/test, tools/play and tools/wine-run: where things live, the Wine environment, and the
# services the tests need (sound server, virtual display, wineservers). Every process started here is
# recorded by PID under $VANTREL_RUN and stopped by that PID.

VANTREL_ROOT=${VANTREL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# x64: the build that runs here (this machine executes no 32-bit code); x86: the 32-bit release build.
VANTREL_BUILD=${VANTREL_BUILD:-$VANTREL_ROOT/build/x64}
VANTREL_BUILD32=${VANTREL_BUILD32:-$VANTREL_ROOT/build/x86}
VANTREL_WINE_NULL=$VANTREL_BUILD/wine/null    # null graphics driver: windows without a display
VANTREL_WINE_X11=$VANTREL_BUILD/wine/x11      # X11 driver: video and screenshots under Xvfb
VANTREL_RUN=$VANTREL_BUILD/run
export VANTREL_ROOT VANTREL_BUILD VANTREL_BUILD32 VANTREL_WINE_NULL VANTREL_WINE_X11 VANTREL_RUN

# Wine turns Unix file names into Windows ones through the code page of the locale: under POSIX (what a
# fresh Debian image often has) that is ASCII, and a file with CJK or accented letters in its name is not
# found. C.UTF-8 comes with libc-bin, so every Debian 12 has it.
export LC_ALL=C.UTF-8
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
# Debian's Wine 8 comes without Wine's preloader, the small program that reserves the addresses Windows
# fixes before anything else is mapped. The kernel puts the heap of Wine's loader (at 0x7d000000)
# anywhere in the gigabyte above it, now and then (one start in 8,720 in a measured run) over the page
# Windows keeps at 0x7ffe0000: Wine then ends with exit code 1 before the program runs ("failed to map
# the shared user data", an error that Wine prints only with its errors on). Started without address
# randomization, the heap follows the loader, 47 MB below that page; the Wine processes it starts
# inherit that. Every Wine program of ours is started through VANTREL_WINE.
if setarch -R true 2>/dev/null; then
    VANTREL_WINE=(setarch -R "$WINELOADER")
else
    VANTREL_WINE=("$WINELOADER")
fi
export WINEARCH=win64
# Wine's own errors stay on (its notes on what it has not implemented do not): a program that Wine could
# not start, or whose DLL failed to load, says so in its output.
export WINEDEBUG=${WINEDEBUG:--all,err+all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine builtin DLLs of our own (the libvlc bridge) are found here.
export WINEDLLPATH=$VANTREL_BUILD/winelib
export PULSE_SERVER=unix:$VANTREL_RUN/pulse/native
export WINEPREFIX=${WINEPREFIX:-$VANTREL_WINE_NULL}

vantrel_log() { echo "[vantrel] $*" >&2; }

# Polls a command until it succeeds or the deadline (seconds) passes.
vantrel_wait_for() {
    local deadline=$(($(date +%s) + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -ge "$deadline" ] && return 1
        sleep 0.2
    done
}

# Makes the two prefixes once (serially: wineboot must not race with itself), then refreshes what the
# build puts into them on every run (hooks in tools/prefix.d).
vantrel_prepare_prefixes() {
    if [ ! -f "$VANTREL_WINE_NULL/.vantrel-ready" ]; then
        vantrel_log "making the Wine prefix $VANTREL_WINE_NULL"
        rm -rf "$VANTREL_WINE_NULL"
        mkdir -p "$VANTREL_WINE_NULL"
        WINEPREFIX=$VANTREL_WINE_NULL DISPLAY= "${VANTREL_WINE[@]}" wineboot -i >/dev/null 2>&1 || true
        WINEPREFIX=$VANTREL_WINE_NULL "${VANTREL_WINE[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
            >/dev/null 2>&1
        cp -n /usr/share/wine/fonts/* "$VANTREL_WINE_NULL/drive_c/windows/Fonts/" 2>/dev/null || true
        WINEPREFIX=$VANTREL_WINE_NULL "$WINESERVER" -w
        [ -f "$VANTREL_WINE_NULL/system.reg" ] || { vantrel_log "wineboot failed"; return 1; }
        touch "$VANTREL_WINE_NULL/.vantrel-ready"
    fi
    if [ ! -f "$VANTREL_WINE_X11/.vantrel-ready" ]; then
        vantrel_log "making the Wine prefix $VANTREL_WINE_X11"
        rm -rf "$VANTREL_WINE_X11"
        cp -a "$VANTREL_WINE_NULL" "$VANTREL_WINE_X11"
        rm -f "$VANTREL_WINE_X11/.vantrel-ready"
        WINEPREFIX=$VANTREL_WINE_X11 DISPLAY= "${VANTREL_WINE[@]}" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f \
            >/dev/null 2>&1
        WINEPREFIX=$VANTREL_WINE_X11 "$WINESERVER" -w
        touch "$VANTREL_WINE_X11/.vantrel-ready"
    fi
    local hook prefix
    for prefix in "$VANTREL_WINE_NULL" "$VANTREL_WINE_X11"; do
        for hook in "$VANTREL_ROOT"/tools/prefix.d/*.sh; do
            [ -f "$hook" ] || continue
            WINEPREFIX=$prefix DISPLAY= bash "$hook" "$prefix" || { vantrel_log "prefix hook $hook failed"; return 1; }
        done
        WINEPREFIX=$prefix "$WINESERVER" -w
    done
}

vantrel_start_pulse() {
    mkdir -p "$VANTREL_RUN/pulse"
    rm -f "$VANTREL_RUN/pulse/native"
    HOME=$VANTREL_RUN/pulse XDG_RUNTIME_DIR=$VANTREL_RUN/pulse pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --disable-shm=yes \
        --load="module-native-protocol-unix socket=$VANTREL_RUN/pulse/native auth-anonymous=1" \
        --load="module-null-sink" >"$VANTREL_RUN/pulse/log" 2>&1 &
    echo $! >"$VANTREL_RUN/pulse.pid"
    vantrel_wait_for 15 test -S "$VANTREL_RUN/pulse/native" || { vantrel_log "the sound server did not start"; return 1; }
}

vantrel_start_xvfb() {
    # -displayfd lets the server take the first free display number itself, so two runs side by side
    # never share one screen.
    local fifo=$VANTREL_RUN/xvfb.displayfd n=
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >"$VANTREL_RUN/xvfb.log" 2>&1 &
    echo $! >"$VANTREL_RUN/xvfb.pid"
    read -r -t 15 n <"$fifo" || true
    rm -f "$fifo"
    [ -n "$n" ] || { vantrel_log "Xvfb did not start"; return 1; }
    export VANTREL_DISPLAY=":$n"
    vantrel_wait_for 15 xdpyinfo -display ":$n" || { vantrel_log "Xvfb did not start"; return 1; }
}

# Starts the wineserver of each prefix. -f keeps it in the foreground, so its PID is ours to stop; -p
# keeps it alive between programs. It may leave a core file in its own folder (the server folder under
# /tmp, recorded beside its PID) if it crashes.
vantrel_start_wineservers() {
    local prefix name pid
    for prefix in "$VANTREL_WINE_NULL" "$VANTREL_WINE_X11"; do
        name=wineserver-$(basename "$prefix")
        (ulimit -c unlimited 2>/dev/null; WINEPREFIX=$prefix exec "$WINESERVER" -f -p) >>"$VANTREL_RUN/$name.log" 2>&1 &
        pid=$!
        echo $pid >"$VANTREL_RUN/$name.pid"
        WINEPREFIX=$prefix DISPLAY=${VANTREL_DISPLAY:-} "${VANTREL_WINE[@]}" cmd /c exit >/dev/null 2>&1 </dev/null
        readlink "/proc/$pid/cwd" >"$VANTREL_RUN/$name.dir" 2>/dev/null
    done
}

# Whether both wineservers started by vantrel_start_wineservers still run. Every Wine process of a prefix
# whose server has gone ends at once, with exit code 0, whatever it was doing: a run in which that
# happened says so, with the server's exit status, its log and, from a core file, where it crashed.
# Returns 1 when one has gone.
vantrel_check_wineservers() {
    local prefix name pid status dir gone=0
    for prefix in "$VANTREL_WINE_NULL" "$VANTREL_WINE_X11"; do
        name=wineserver-$(basename "$prefix")
        pid=$(cat "$VANTREL_RUN/$name.pid" 2>/dev/null) || continue
        kill -0 "$pid" 2>/dev/null && continue
        wait "$pid" 2>/dev/null
        status=$?
        vantrel_log "the wineserver of $(basename "$prefix") (PID $pid) ended during the run, status $status"
        sed 's/^/[wineserver] /' "$VANTREL_RUN/$name.log" >&2
        dir=$(cat "$VANTREL_RUN/$name.dir" 2>/dev/null)
        if [ -n "$dir" ] && [ -f "$dir/core" ]; then
            command -v gdb >/dev/null && gdb -batch -ex bt "$WINESERVER" "$dir/core" 2>&1 | sed 's/^/[wineserver] /' >&2
            mv "$dir/core" "$VANTREL_RUN/$name.core" && vantrel_log "its core file: $VANTREL_RUN/$name.core"
        fi
        gone=1
    done
    [ $gone -eq 0 ]
}

# Starts the sound server, a virtual display and both wineservers; stops them again when the calling
# shell exits.
vantrel_start_services() {
    mkdir -p "$VANTREL_RUN"
    trap vantrel_stop_services EXIT
    vantrel_start_pulse && vantrel_start_xvfb && vantrel_start_wineservers
}

vantrel_stop_services() {
    local prefix name pid
    # Asking each wineserver to end first lets the Wine processes of its prefix go down with it.
    for prefix in "$VANTREL_WINE_NULL" "$VANTREL_WINE_X11"; do
        [ -f "$VANTREL_RUN/wineserver-$(basename "$prefix").pid" ] && WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1
    done
    for name in wineserver-null wineserver-x11 xvfb pulse; do
        if [ -f "$VANTREL_RUN/$name.pid" ]; then
            pid=$(cat "$VANTREL_RUN/$name.pid")
            kill "$pid" 2>/dev/null && vantrel_wait_for 10 bash -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null
            rm -f "$VANTREL_RUN/$name.pid"
        fi
    done
    return 0
}
