#!/usr/bin/env bash
# The whole player against the bare bridge program (bench/bridge_bench.cpp: a window, libvlc through the same
# Wine bridge, the same file, nothing else), Debian's cvlc and mpv, in one run, on the same X server and
# sound server and the same clips:
#   - playback of a 60 s 640x360 and a 30 s 1280x720 H.264 FLV to the end: CPU seconds (user + system) of
#     every process involved, split into the player's own and the shared services' (X server, sound
#     server, and for Vantrel the prefix's wineserver and Wine's desktop and helper processes), and the
#     player process's peak resident memory;
#   - launch to first frame: from the start of the player until the first picture of a 2 s magenta clip is
#     on the X screen (read by bench/xprobe, which also checks that the screen is free of it first); beside
#     them the floor, a Wine program of ours that only shows a magenta window (bench/window_floor.cpp);
#   - idle: CPU over 30 s with no file, after a few seconds to settle.
# Rounds alternate the order of the players; the table gives the median of the rounds (3, or
# VANTREL_BENCH_ROUNDS) and of 5 starts for the launch. Vantrel is closed through its window, as a user
# would, once its caption is back to "Vantrel" after the clip; the others exit at the end by themselves.
# The bridge program has no idle mode (it needs a file), the floor only launches. The table is printed and
# also written to $VANTREL_BUILD/bench/players.md, to paste into the README as it stands.
# cvlc and mpv draw with their plain X11 outputs (shared-memory images, the closest to what the Wine
# bridge does) and run as an unprivileged user (cvlc refuses root).
# Run through tools/bench (which builds and starts the services), or with them already running.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lib.sh"

rounds=${VANTREL_BENCH_ROUNDS:-3}
launches=${VANTREL_BENCH_LAUNCHES:-5}
idle_seconds=${VANTREL_BENCH_IDLE_SECONDS:-30}
read -ra clips <<<"${VANTREL_BENCH_CLIPS-long hd}"
settle_seconds=5
probe=$VANTREL_BUILD/bench/xprobe
exe=$VANTREL_BUILD/bin/Vantrel.exe
bridge_exe=$VANTREL_BUILD/bin/bridge_bench.exe
floor_exe=$VANTREL_BUILD/bin/window_floor.exe
magenta=ff00ff
for f in "$probe" "$exe" "$bridge_exe" "$floor_exe" "$VANTREL_BUILD/media/long.flv" "$VANTREL_BUILD/media/bench/hd.flv" \
    "$VANTREL_BUILD/media/bench/magenta.flv"; do
    [ -e "$f" ] || { echo "players.sh: build first ($f is missing)" >&2; exit 1; }
done
[ -n "${VANTREL_DISPLAY:-}" ] || { echo "players.sh: no virtual display (run through tools/bench)" >&2; exit 1; }
# The probe watches the players' screen.
export DISPLAY=$VANTREL_DISPLAY
for tool in cvlc mpv setpriv; do
    command -v "$tool" >/dev/null || { echo "players.sh: $tool is not installed (tools/setup)" >&2; exit 1; }
done

hz=$(getconf CLK_TCK)
work=$(mktemp -d /tmp/vantrel-players.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/home" "$work/clips"
chown 65534:65534 "$work/home"
# Each clip alone in its folder: Vantrel makes the folder its playlist and would go on to the next file.
for clip in "$VANTREL_BUILD/media/long.flv" "$VANTREL_BUILD/media/bench/hd.flv" \
    "$VANTREL_BUILD/media/bench/magenta.flv"; do
    name=$(basename "$clip" .flv)
    mkdir -p "$work/clips/$name"
    cp "$clip" "$work/clips/$name/"
done
chmod -R a+rX "$work/clips"
: >"$work/results"

# The command line of a player: player, clip name or "" for none.
player_command() {
    local file=${2:+$work/clips/$2/$2.flv}
    case $1 in
        vantrel | bridge)
            local args=() program=$exe
            [ "$1" = bridge ] && program=$bridge_exe
            [ -n "$file" ] && args=("Z:${file//\//\\}")
            echo env WINEPREFIX="$VANTREL_WINE_X11" DISPLAY="$VANTREL_DISPLAY" "${VANTREL_WINE[@]}" "$program" "${args[@]}"
            ;;
        floor)
            echo env WINEPREFIX="$VANTREL_WINE_X11" DISPLAY="$VANTREL_DISPLAY" "${VANTREL_WINE[@]}" "$floor_exe" "$magenta"
            ;;
        cvlc | mpv)
            echo setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/home" \
                DISPLAY="$VANTREL_DISPLAY" PULSE_SERVER="$PULSE_SERVER" XDG_RUNTIME_DIR="$work/home"
            if [ "$1" = cvlc ]; then
                if [ -n "$file" ]; then
                    echo cvlc --play-and-exit --no-video-title-show --vout=xcb_x11 --aout=pulse "$file"
                else
                    echo cvlc --vout=xcb_x11 --aout=pulse
                fi
            elif [ -n "$file" ]; then
                echo mpv --no-config --no-terminal --vo=x11 --ao=pulse --hwdec=no "$file"
            else
                echo mpv --no-config --no-terminal --vo=x11 --ao=pulse --idle=yes --force-window=yes
            fi
            ;;
    esac
}

# Every process now alive as "pid ticks" (utime + stime).
snapshot() {
    cat /proc/[0-9]*/stat 2>/dev/null | awk '{ pid = $1; sub(/^.*\) /, ""); print pid, $12 + $13 }'
}

# The shared services as "pid name" lines: the X server and the sound server for every player, and for
# Vantrel the X11 prefix's wineserver and Wine's other processes in that prefix (its desktop,
# explorer.exe, and its helpers).
services() { # player
    local name pid
    for name in xvfb pulse; do
        pid=$(cat "$VANTREL_RUN/$name.pid" 2>/dev/null) && echo "$pid $(cat "/proc/$pid/comm" 2>/dev/null)"
    done
    case $1 in vantrel | bridge | floor) ;; *) return 0 ;; esac
    pid=$(cat "$VANTREL_RUN/wineserver-x11.pid" 2>/dev/null) && echo "$pid wineserver"
    wine_processes
}

# The Wine processes of the X11 prefix now alive, as "pid name" lines.
wine_processes() {
    grep -lzx "WINEPREFIX=$VANTREL_WINE_X11" /proc/[0-9]*/environ 2>/dev/null | while read -r f; do
        pid=${f#/proc/}
        pid=${pid%/environ}
        echo "$pid $(cat "/proc/$pid/comm" 2>/dev/null)"
    done
}

# Ticks the services used between two snapshots, leaving out the player's own process; the share of
# each goes to the breakdown file as "name ticks" lines. Prints the counted total and, apart, the ticks
# of Wine's background services: services.exe, winedevice.exe, plugplay.exe, svchost.exe and rpcss.exe
# run in the prefix whatever program runs there, and winedevice.exe polls all the time, a cost of Wine
# itself rather than of any program, which a Windows machine does not have: they are shown, not counted.
shared_ticks() { # services file, before, after, player pid, breakdown file
    awk -v skip="$4" -v out="$5" '
        FILENAME == ARGV[1] { if (!($1 in name)) name[$1] = $2; next }
        FILENAME == ARGV[2] { before[$1] = $2; next }
        ($1 in name) && $1 != skip {
            used = $2 - before[$1]
            if (used <= 0) next
            n = name[$1]
            if (n ~ /^(services|winedevice|plugplay|svchost|rpcss)\.exe$/) { background += used; by[n " (Wine background, not counted)"] += used; next }
            by[n] += used; total += used
        }
        END {
            printf "" > out
            for (n in by) print by[n], n > out
            print total + 0, background + 0
        }' "$1" "$2" "$3"
}

# The breakdown file as one line, most first.
breakdown() { # file
    sort -rn "$1" | awk -v hz="$hz" '{ t = $1; $1 = ""; printf "%s%s %.2f s", (NR > 1 ? ", " : ""), substr($0, 2), t / hz }'
}

record() { # metric, player, value
    echo "$1 $2 $3" >>"$work/results"
}

# Plays a clip to its end. Records cpu, player and shared CPU seconds and peak RSS in MiB.
play() { # player, clip, round
    local player=$1 clip=$2 round=$3 line cmd
    read -ra cmd <<<"$(player_command "$player" "$clip" | tr '\n' ' ')"
    local close=()
    [ "$player" = vantrel ] && close=(--close-at-end Vantrel)
    services "$player" >"$work/services"
    snapshot >"$work/before"
    line=$("$probe" run "${close[@]}" --pid-file "$work/pid" --timeout 240 -- "${cmd[@]}" 2>"$work/stderr")
    local rc=$?
    # The probe's line comes last (the bridge program prints one of its own before it).
    line=${line##*$'\n'}
    snapshot >"$work/after"
    # Helpers that started during the run count too.
    services "$player" >>"$work/services"
    if [ $rc -ne 0 ] || [ -z "$line" ]; then
        echo "[players] $clip $player: failed (exit $rc): $line $(tail -3 "$work/stderr")" >&2
        return 1
    fi
    local ticks background
    read -r ticks background < <(shared_ticks "$work/services" "$work/before" "$work/after" "$(cat "$work/pid")" \
        "$work/parts")
    # shellcheck disable=SC2086
    set -- $line
    local own rss shared
    own=$(awk -v u="$4" -v s="$6" 'BEGIN { printf "%.2f", u + s }')
    shared=$(awk -v t="$ticks" -v hz="$hz" 'BEGIN { printf "%.2f", t / hz }')
    rss=$(awk -v k="$8" 'BEGIN { printf "%.0f", k / 1024 }')
    record "$clip.cpu" "$player" "$(awk -v a="$own" -v b="$shared" 'BEGIN { printf "%.2f", a + b }')"
    record "$clip.player" "$player" "$own"
    record "$clip.shared" "$player" "$shared"
    record "$clip.rss" "$player" "$rss"
    [ "$player" = vantrel ] || [ "$player" = bridge ] && record "$clip.background" "$player" "$(awk -v t="$background" -v hz="$hz" 'BEGIN { printf "%.2f", t / hz }')"
    printf '[players] round %s %-7s %-7s wall %5.1f s  cpu %6.2f s = player %6.2f + shared %5.2f (%s)  peak RSS %4s MiB  closed: %s\n' \
        "$round" "$clip" "$player" "$2" "$(awk -v a="$own" -v b="$shared" 'BEGIN { print a + b }')" "$own" "$shared" \
        "$(breakdown "$work/parts")" "$rss" "${12}"
}

# One start of the magenta clip: the time until its first picture is on the screen.
launch() { # player
    local player=$1 line cmd
    read -ra cmd <<<"$(player_command "$player" magenta | tr '\n' ' ')"
    local close=()
    [ "$player" = vantrel ] && close=(--close-at-end Vantrel)
    line=$("$probe" run --first-frame "$magenta" "${close[@]}" --timeout 60 -- "${cmd[@]}" 2>"$work/stderr")
    local rc=$?
    line=${line##*$'\n'}
    # shellcheck disable=SC2086
    set -- $line
    if [ $rc -ne 0 ] || [ "${10:--}" = - ]; then
        echo "[players] launch $player: failed (exit $rc): $line $(tail -3 "$work/stderr")" >&2
        return 1
    fi
    record launch "$player" "${10}"
    # The CPU time the player's process had used by then: the machine's other load moves it far less than
    # the wall time, so it tells a start that worked more from one that waited more.
    local cpu=${22:--}
    [ "$cpu" != - ] && record launch.cpu "$player" "$cpu"
    echo "[players] launch $player: first frame after ${10} ms (its process had used $cpu ms of CPU)"
}

# The player started with no file: its CPU over idle_seconds once it has settled, in % of one core.
idle() { # player
    local player=$1 cmd
    read -ra cmd <<<"$(player_command "$player" "" | tr '\n' ' ')"
    rm -f "$work/pid"
    "$probe" run --pid-file "$work/pid" --timeout $((idle_seconds + settle_seconds + 60)) -- "${cmd[@]}" \
        >"$work/idle.line" 2>"$work/stderr" &
    local runner=$!
    vantrel_wait_for 10 test -s "$work/pid" || { wait "$runner"; echo "[players] idle $player: no start: $(tail -3 "$work/stderr")" >&2; return 1; }
    local pid
    pid=$(cat "$work/pid" 2>/dev/null)
    # The settling time is part of what is measured, not a wait for an event: start-up work is left out.
    sleep "$settle_seconds"
    services "$player" >"$work/services"
    snapshot >"$work/before"
    sleep "$idle_seconds"
    snapshot >"$work/after"
    kill -USR1 "$runner" 2>/dev/null
    wait "$runner"
    local own shared
    own=$(awk -v p="$pid" '$1 == p { print $2 }' "$work/after")
    if [ -z "$own" ]; then
        echo "[players] idle $player: it did not keep running: $(cat "$work/idle.line") $(tail -3 "$work/stderr")" >&2
        return 1
    fi
    own=$((own - $(awk -v p="$pid" '$1 == p { print $2 }' "$work/before")))
    local background
    read -r shared background < <(shared_ticks "$work/services" "$work/before" "$work/after" "$pid" "$work/parts")
    local pct_own pct_shared
    pct_own=$(awk -v t="$own" -v hz="$hz" -v s="$idle_seconds" 'BEGIN { printf "%.3f", 100 * t / hz / s }')
    pct_shared=$(awk -v t="$shared" -v hz="$hz" -v s="$idle_seconds" 'BEGIN { printf "%.3f", 100 * t / hz / s }')
    record idle.player "$player" "$pct_own"
    record idle.shared "$player" "$pct_shared"
    [ "$player" = vantrel ] && record idle.background "$player" \
        "$(awk -v t="$background" -v hz="$hz" -v s="$idle_seconds" 'BEGIN { printf "%.3f", 100 * t / hz / s }')"
    printf '[players] idle %-7s player %s %%, shared %s %% of a core (%s); closed: %s\n' "$player" "$pct_own" \
        "$pct_shared" "$(breakdown "$work/parts")" \
        "$(awk '{ print $12 }' "$work/idle.line")"
}

# Who takes part in what: the bridge program needs a file, the floor only shows its window.
launching=(vantrel bridge floor cvlc mpv)
playing=(vantrel bridge cvlc mpv)
idling=(vantrel cvlc mpv)
# Round r starts with the r-th player, so that no player always comes first or last.
order() { # round, players...
    local r=$1 i
    shift
    for ((i = 0; i < $#; i++)); do
        local k=$(((i + r) % $# + 1))
        echo "${!k}"
    done
}

echo "[players] Vantrel.exe (Wine $("${VANTREL_WINE[@]}" --version 2>/dev/null)), cvlc $(dpkg-query -W -f='${Version}' vlc-bin 2>/dev/null)," \
    "mpv $(dpkg-query -W -f='${Version}' mpv 2>/dev/null); $rounds round(s)"
failed=0
for ((i = 0; i < launches; i++)); do
    for p in $(order "$i" "${launching[@]}"); do launch "$p" || failed=1; done
done
for p in $(order 0 "${idling[@]}"); do idle "$p" || failed=1; done
for ((r = 0; r < rounds; r++)); do
    for clip in "${clips[@]}"; do
        for p in $(order "$r" "${playing[@]}"); do play "$p" "$clip" $((r + 1)) || failed=1; done
    done
done

# The table: medians; Vantrel's ratio to the bare bridge program (what the player adds to Wine and libvlc) and
# to cvlc, mpv's to cvlc.
mkdir -p "$VANTREL_BUILD/bench"
awk -v rounds="$rounds" -v launches="$launches" -v idle="$idle_seconds" '
    function median(key,    n, i, j, t, v) {
        n = split(values[key], v, " ")
        if (n == 0) return ""
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    function ratio(a, b) { return (a == "" || b == "" || b + 0 == 0) ? "-" : sprintf("%.2fx", a / b) }
    function cell(v, format) { return v == "" ? "-" : sprintf(format, v) }
    function row(label, metric, format,    v, b, f, c, m) {
        v = median(metric SUBSEP "vantrel"); b = median(metric SUBSEP "bridge"); f = median(metric SUBSEP "floor")
        c = median(metric SUBSEP "cvlc"); m = median(metric SUBSEP "mpv")
        printf "| %-44s | %11s | %8s | %7s | %7s | %7s | %14s | %12s | %8s |\n", label, cell(v, format), cell(b, format),
            cell(f, format), cell(c, format), cell(m, format), ratio(v, b), ratio(v, c), ratio(m, c)
    }
    { values[$1 SUBSEP $2] = values[$1 SUBSEP $2] " " $3 }
    END {
        printf "| %-44s | %11s | %8s | %7s | %7s | %7s | %14s | %12s | %8s |\n", "median of " rounds " round(s)", "Vantrel.exe",
            "bridge", "floor", "cvlc", "mpv", "Vantrel/bridge", "Vantrel/cvlc", "mpv/cvlc"
        printf "|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n", "----------------------------------------------", "-------------",
            "----------", "---------", "---------", "---------", "----------------", "--------------", "----------"
        row("640x360 60 s: CPU s, all processes", "long.cpu", "%.2f")
        row("640x360 60 s: CPU s, player", "long.player", "%.2f")
        row("640x360 60 s: CPU s, shared", "long.shared", "%.2f")
        row("640x360 60 s: peak RSS MiB, player", "long.rss", "%d")
        row("640x360 60 s: Wine background, not counted", "long.background", "%.2f")
        row("1280x720 30 s: CPU s, all processes", "hd.cpu", "%.2f")
        row("1280x720 30 s: CPU s, player", "hd.player", "%.2f")
        row("1280x720 30 s: CPU s, shared", "hd.shared", "%.2f")
        row("1280x720 30 s: peak RSS MiB, player", "hd.rss", "%d")
        row("1280x720 30 s: Wine background, not counted", "hd.background", "%.2f")
        row("launch to first frame ms (median of " launches ")", "launch", "%d")
        row("launch: player CPU ms until the first frame", "launch.cpu", "%d")
        row("idle " idle " s, no file: % of a core, player", "idle.player", "%.3f")
        row("idle " idle " s, no file: % of a core, shared", "idle.shared", "%.3f")
        row("idle " idle " s: Wine background, not counted", "idle.background", "%.3f")
    }' "$work/results" >"$VANTREL_BUILD/bench/players.md"
echo
cat "$VANTREL_BUILD/bench/players.md"
exit $failed
