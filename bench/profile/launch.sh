#!/usr/bin/env bash
# The start-up road and the exit, step by step: Vantrel.exe and the bare bridge program started on the
# 2 s magenta clip, each several times in turn, with Wine's debug timestamps on (+timestamp), the DLLs each
# process loads (+loaddll) and the program's trace lines (OutputDebugString, which Wine prints on its seh
# channel; the user's run pays about 6 us for each and prints nothing). The X screen probe gives the start,
# the first picture on the screen, the close request, the window leaving the screen and the exit, on the
# same clock. Prints, per program, every step with the median time since the start over the runs and the
# median time to the next step, the DLLs loaded in between, then the same for the exit.
# Run by bench/profile/run.sh launch (which builds and starts the services).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib.sh"
runs=${VANTREL_PROFILE_LAUNCHES:-5}
probe=$VANTREL_BUILD/bench/xprobe
magenta=ff00ff
work=$(mktemp -d /tmp/vantrel-launch.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/clip"
cp "$VANTREL_BUILD/media/bench/magenta.flv" "$work/clip/"
clip="Z:${work//\//\\}\\clip\\magenta.flv"

# One start; leaves the probe's line in $work/NAME.N.line and Wine's output in $work/NAME.N.trace.
# "Vantrel-first" is Vantrel.exe started as on a first run, without the placement that every close saves.
start() { # program, run
    local close=() exe=$1
    if [ "$1" = Vantrel ] || [ "$1" = Vantrel-first ]; then
        close=(--close-at-end Vantrel)
        exe=Vantrel
    fi
    [ "$1" = Vantrel-first ] && WINEPREFIX=$VANTREL_WINE_X11 DISPLAY= "${VANTREL_WINE[@]}" reg delete \
        'HKCU\Software\Tarnwell\Vantrel' /v MAIN_WP /f >/dev/null 2>&1
    WINEDEBUG=+timestamp,+pid,+tid,+loaddll,warn+seh WINEPREFIX=$VANTREL_WINE_X11 DISPLAY=$VANTREL_DISPLAY \
        "$probe" run --first-frame "$magenta" "${close[@]}" --timeout 60 -- \
        "${VANTREL_WINE[@]}" "$VANTREL_BUILD/bin/$exe.exe" "$clip" >"$work/$1.$2.line" 2>"$work/$1.$2.trace" </dev/null
}

# The events of one run as "ms-since-start kind label" lines: the program's trace lines ("step"), the DLLs
# its process loaded ("dll"), Wine's desktop process starting ("wine") and what the probe saw ("probe").
events() { # program, run
    awk -v exe="${1%-first}.exe" -v line="$(tail -1 "$work/$1.$2.line")" '
        BEGIN {
            n = split(line, f, " ")
            for (i = 1; i < n; i += 2) probe[f[i]] = f[i + 1]
            t0 = probe["start_at"]
            if (probe["first_frame_ms"] != "-") print probe["first_frame_ms"], "probe", "first picture on the screen"
            if (probe["close_at"] != "-") print (probe["close_at"] - t0) * 1000, "probe", "close request (window manager)"
            if (probe["gone_at"] != "-") print (probe["gone_at"] - t0) * 1000, "probe", "window off the screen"
            print (probe["exit_at"] - t0) * 1000, "probe", "process ended"
        }
        {
            split($1, stamp, ":")
            ms = (stamp[1] - t0) * 1000
            pid = stamp[2]
        }
        /:trace:loaddll:/ {
            name = $0
            sub(/^.*Loaded L"/, "", name)
            sub(/".*$/, "", name)
            n = split(name, part, /\\\\/)
            dll = tolower(part[n])
            if (dll == tolower(exe)) player = pid
            if (dll == "explorer.exe" && !desktop) { desktop = 1; print ms, "wine", "Wine desktop process (explorer.exe) starts" }
            if (pid == player && !seen[dll]++) print ms, "dll", dll
            next
        }
        /:warn:seh:dispatch_exception "/ && pid == player {
            text = $0
            sub(/^[^"]*"/, "", text)
            sub(/(\\n)?"$/, "", text)
            if (!seen[text]++) print ms, "step", text
        }' "$work/$1.$2.trace"
}

# Medians over the runs, in time order; a step's cost is the time to the next step or picture.
report() { # program
    local r
    for ((r = 1; r <= runs; r++)); do events "$1" "$r"; done | awk -v runs="$runs" '
        function median(list,    n, v, i, j, t) {
            n = split(list, v, " ")
            for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
            return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        {
            kind = $2
            label = $0
            sub(/^[^ ]+ [^ ]+ /, "", label)
            key = kind SUBSEP label
            if (!(key in times)) { order[++count] = key; kinds[key] = kind; labels[key] = label }
            times[key] = times[key] " " $1
            hits[key]++
        }
        END {
            for (i = 1; i <= count; i++) { k = order[i]; at[k] = median(times[k]) }
            # Sort by median time.
            for (i = 2; i <= count; i++) for (j = i; j > 1 && at[order[j - 1]] > at[order[j]]; j--) { t = order[j]; order[j] = order[j - 1]; order[j - 1] = t }
            printf "   %8s %8s  %s\n", "at ms", "step ms", "(median of " runs " runs; DLLs: the player process loads them)"
            for (i = 1; i <= count; i++) {
                k = order[i]
                if (kinds[k] == "dll") { dlls = dlls (dlls == "" ? "" : " ") labels[k]; continue }
                if (dlls != "") { printf "   %8s %8s      DLLs: %s\n", "", "", dlls; dlls = "" }
                next_at = ""
                for (j = i + 1; j <= count; j++) if (kinds[order[j]] != "dll") { next_at = at[order[j]]; break }
                cost = (kinds[k] == "step" && next_at != "") ? sprintf("%.0f", next_at - at[k]) : ""
                note = hits[k] < runs ? sprintf("  (%d of %d runs)", hits[k], runs) : ""
                printf "   %8.0f %8s  %s%s\n", at[k], cost, (kinds[k] == "step" ? "" : "[" kinds[k] "] ") labels[k], note
            }
            if (dlls != "") printf "   %8s %8s      DLLs: %s\n", "", "", dlls
        }'
}

for ((r = 1; r <= runs; r++)); do
    for program in Vantrel-first Vantrel bridge_bench; do
        start "$program" "$r" || echo "[launch] $program run $r: $(cat "$work/$program.$r.line") $(grep -v '^[0-9]*\.[0-9]*:' "$work/$program.$r.trace" | tail -2)" >&2
    done
done
for program in Vantrel-first Vantrel bridge_bench; do
    echo "-- $program on the 2 s clip: first picture after $(for ((r = 1; r <= runs; r++)); do
        tail -1 "$work/$program.$r.line" | awk '{ for (i = 1; i < NF; i++) if ($i == "first_frame_ms") print $(i + 1) }'
    done | tr '\n' ' ')ms"
    report "$program"
done
