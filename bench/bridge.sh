#!/usr/bin/env bash
# CPU cost of video through the Wine libvlc bridge against Debian's own cvlc, in one run on the same X
# server and sound server: a 60 s 640x360 H.264 FLV (media/long.flv) played to its end by each.
# The bridge runs as the tests and the player use it: its raising threads wait for each event callback
# (five events attached, posted to the window as the player does).
# Counted: CPU seconds (user + system) of every process involved: the player (the bench program under
# Wine, or cvlc), the prefix's wineserver and desktop (explorer.exe), the X server and the sound server.
# cvlc draws with its plain X11 output (shared-memory images), the closest to what the bridge does, and
# runs as an unprivileged user (it refuses root).
# Run through tools/bench (which builds and starts the services), or with them already running.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lib.sh"
media=$VANTREL_BUILD/media/long.flv
exe=$VANTREL_BUILD/bin/bridge_bench.exe
[ -f "$media" ] && [ -f "$exe" ] || { echo "bridge.sh: build first ($media, $exe)" >&2; exit 1; }
[ -n "${VANTREL_DISPLAY:-}" ] || { echo "bridge.sh: no virtual display (run through tools/bench)" >&2; exit 1; }

# Sum of utime+stime (clock ticks) per PID, for every process now alive.
snapshot() {
    local f
    for f in /proc/[0-9]*/stat; do
        awk '{ sub(/^.*\) /, ""); print FILENAME, $12 + $13 }' "$f" 2>/dev/null
    done | sed 's|/proc/\([0-9]*\)/stat|\1|'
}

# Ours among them: the X server, the sound server and the X11 prefix's wineserver by their recorded
# PIDs, and the Wine processes of that prefix (its helpers; the player itself is counted through `time`).
ours() { # pid
    local name
    for name in xvfb pulse wineserver-x11; do
        [ "$1" = "$(cat "$VANTREL_RUN/$name.pid" 2>/dev/null)" ] && return 0
    done
    tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | grep -qx "WINEPREFIX=$VANTREL_WINE_X11"
}

# CPU ticks that our shared processes used between two snapshots; the share of each goes to the file
# named by the third argument as "name ticks" lines.
spent() { # before, after, breakdown file
    local pid ticks total=0 before used name
    : >"$3"
    while read -r pid ticks; do
        ours "$pid" 2>/dev/null || continue
        before=$(awk -v p="$pid" '$1 == p { print $2 }' "$1")
        used=$((ticks - ${before:-0}))
        [ "$used" -gt 0 ] || continue
        name=$(cat "/proc/$pid/comm" 2>/dev/null)
        echo "$name $used" >>"$3"
        # The prefix's background services (winedevice.exe polls all the time, whoever plays) are shown
        # but not counted: they cost the same with either player.
        case $name in Xvfb | pulseaudio | wineserver* | explorer.exe) total=$((total + used)) ;; esac
    done <"$2"
    echo "$total"
}

hz=$(getconf CLK_TCK)
work=$(mktemp -d /tmp/vantrel-bench.XXXXXX)
chmod 755 "$work"
cp "$media" "$work/long.flv"
chmod 644 "$work/long.flv"
mkdir -p "$work/home"
chown 65534:65534 "$work/home"

measure() { # label, command...
    local label=$1
    shift
    snapshot >"$work/before"
    local t0 t1 child
    t0=$(date +%s.%N)
    child=$( { /usr/bin/env TIMEFORMAT='%U %S' bash -c 'time "$@" >/dev/null 2>&1' _ "$@"; } 2>&1 | tail -1)
    t1=$(date +%s.%N)
    snapshot >"$work/after"
    local others
    others=$(spent "$work/before" "$work/after" "$work/$label.parts")
    awk -v l="$label" -v c="$child" -v o="$others" -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN {
        split(c, a, " "); own = a[1] + a[2]; rest = o / hz
        printf "%-7s wall %5.1f s  cpu %6.2f s  (player %6.2f, shared services %5.2f)\n", l, t1 - t0, own + rest, own, rest
    }'
    awk -v c="$child" -v o="$others" -v hz="$hz" 'BEGIN { split(c, a, " "); print a[1] + a[2] + o / hz }' \
        >"$work/$label.cpu"
    awk -v hz="$hz" '{ t[$1] += $2 } END { for (n in t) printf "          %-16s %6.2f s%s\n", n, t[n] / hz,
        n ~ /^(Xvfb|pulseaudio|wineserver.*|explorer.exe)$/ ? "" : "  (background, not counted)" }' \
        "$work/$label.parts" | sort -k2 -rn
}

echo "[bridge] $(basename "$media"): 640x360 H.264 + AAC, 60 s"
# The bridge as the tests and the player use it: events raised the way libvlc raises them on Windows.
VANTREL_TIER=video measure bridge bash "$VANTREL_ROOT/tools/wine-run" "$exe" "Z:${work//\//\\}\\long.flv"
measure cvlc setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/home" \
    DISPLAY="$VANTREL_DISPLAY" PULSE_SERVER="$PULSE_SERVER" XDG_RUNTIME_DIR="$work/home" \
    cvlc --play-and-exit --no-video-title-show --vout=xcb_x11 --aout=pulse "$work/long.flv"
awk -v b="$(cat "$work/bridge.cpu")" -v c="$(cat "$work/cvlc.cpu")" 'BEGIN { printf "[bridge] bridge (strict events) / cvlc CPU: %.2f (goal <= 1.25)\n", b / c }'
rm -rf "$work"
