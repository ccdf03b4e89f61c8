#!/usr/bin/env bash
# Where the player's own time goes, on the X server and sound server of the benchmark:
#   1. how many events Debian's libvlc raises while it plays the benchmark's clips (vlc_events, native);
#   2. what each step of the user interface costs per call, with the program's real modules (ui_cost),
#      to the program's thread, the X server and the wineserver;
#   3. a sampled profile (Debian's linux-perf) of Vantrel.exe and of the bare bridge program playing the
#      same clip, by shared object and by thread, with the X server's and the wineserver's CPU beside.
# Usage: bash bench/profile/run.sh [clip name: long (default) or hd]. Builds what it needs and starts its
# own services; prints its findings; leaves the perf data in build/x64/profile/.
# bash bench/profile/run.sh launch: the start-up road and the exit step by step instead (launch.sh).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
source tools/lib.sh
clip=${1:-long}
VANTREL_SKIP_X86=1 bash tools/build >/dev/null || exit 1
if [ "$clip" = launch ]; then
    cmake --build "$VANTREL_BUILD" --target vantrel_bench_host >/dev/null || exit 1
    vantrel_prepare_prefixes || exit 1
    vantrel_start_services || exit 1
    bash bench/profile/launch.sh
    exit
fi
cmake --build "$VANTREL_BUILD" --target vantrel_bench_host ui_cost >/dev/null || exit 1
out=$VANTREL_BUILD/profile
mkdir -p "$out"
cc -O2 -Wall -o "$out/vlc_events" bench/profile/vlc_events.c -lvlc -lpthread || exit 1
command -v perf >/dev/null || { echo "run.sh: linux-perf is not installed" >&2; exit 1; }
vantrel_prepare_prefixes || exit 1
vantrel_start_services || exit 1
export DISPLAY=$VANTREL_DISPLAY
probe=$VANTREL_BUILD/bench/xprobe
case $clip in
    long) media=$VANTREL_BUILD/media/long.flv ;;
    hd) media=$VANTREL_BUILD/media/bench/hd.flv ;;
    *) echo "run.sh: unknown clip $clip" >&2; exit 1 ;;
esac
work=$(mktemp -d /tmp/vantrel-profile.XXXXXX)
trap 'rm -rf "$work"; vantrel_stop_services' EXIT
mkdir -p "$work/clip"
cp "$media" "$work/clip/"
file=$work/clip/$(basename "$media")
xvfb=$(cat "$VANTREL_RUN/xvfb.pid")
wineserver=$(cat "$VANTREL_RUN/wineserver-x11.pid")
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }

echo "== 1. libvlc's events while $(basename "$media") plays (native libvlc, X11 output)"
HOME=$work "$out/vlc_events" "$file" --no-video-title-show --vout=xcb_x11 --aout=pulse 2>/dev/null

echo
echo "== 2. the user interface's steps, per call (real modules, main window on the X server)"
VANTREL_PROFILE_PIDS="Xvfb=$xvfb wineserver=$wineserver" VANTREL_TIER=video \
    bash tools/wine-run "$VANTREL_BUILD/bin/ui_cost.exe" 400

echo
echo "== 3. sampled profile while $(basename "$media") plays to its end"
for program in Vantrel bridge_bench; do
    exe=$VANTREL_BUILD/bin/$program.exe
    close=()
    [ "$program" = Vantrel ] && close=(--close-at-end Vantrel)
    rm -f "$work/pid"
    x0=$(ticks "$xvfb")
    w0=$(ticks "$wineserver")
    "$probe" run "${close[@]}" --pid-file "$work/pid" --timeout 240 -- env WINEPREFIX="$VANTREL_WINE_X11" \
        "${VANTREL_WINE[@]}" "$exe" "Z:${file//\//\\}" >"$work/run.line" 2>/dev/null &
    runner=$!
    vantrel_wait_for 10 test -s "$work/pid" || { echo "run.sh: $program did not start" >&2; exit 1; }
    perf record -q -F 499 -p "$(cat "$work/pid")" -o "$out/$program.perf.data" >/dev/null 2>&1 &
    recorder=$!
    wait "$runner"
    wait "$recorder"
    x1=$(ticks "$xvfb")
    w1=$(ticks "$wineserver")
    echo "-- $program.exe: $(cat "$work/run.line")"
    echo "   X server $(awk -v t=$((x1 - x0)) 'BEGIN { print t / 100 }') s, wineserver $(awk -v t=$((w1 - w0)) 'BEGIN { print t / 100 }') s"
    echo "   samples by shared object (the PE modules of Wine and of the program show as their files):"
    perf report -i "$out/$program.perf.data" --stdio --sort dso 2>/dev/null | grep -v '^#' | grep -v '^$' | head -25 |
        sed 's/^/     /'
    echo "   samples by thread:"
    perf report -i "$out/$program.perf.data" --stdio --sort tid 2>/dev/null | grep -v '^#' | grep -v '^$' | head -12 |
        sed 's/^/     /'
done

# perf does not read the symbols of PE modules; they sit at their preferred bases, so their samples are
# named here from the modules' own symbol tables (mingw's nm).
echo
echo "== 4. Vantrel.exe's samples by function, the PE modules included"
pe_modules=("$VANTREL_BUILD/bin/Vantrel.exe")
for dll in gdiplus gdi32 user32 win32u ntdll kernelbase kernel32 msvcrt comctl32 windowscodecs ucrtbase; do
    f=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/$dll.dll
    [ -f "$f" ] && pe_modules+=("$f")
done
for m in "${pe_modules[@]}"; do
    x86_64-w64-mingw32-nm -C --defined-only "$m" 2>/dev/null | awk -v m="$(basename "$m")" '$2 ~ /^[Tt]$/ {
        $2 = ""; addr = $1; $1 = ""; print addr, m ":" substr($0, 3) }'
    # The module's end, so that an address past its last function is not given to that function.
    read -r base size < <(x86_64-w64-mingw32-objdump -p "$m" |
        awk '$1 == "ImageBase" { b = $2 } $1 == "SizeOfImage" { s = $2 } END { print b, s }')
    printf '%016x (elsewhere: not a PE module)\n' $((0x$base + 0x$size))
done | sort -u -k1,1 >"$work/symbols"
perf script -i "$out/Vantrel.perf.data" -F ip,dso 2>/dev/null | awk '{ print $1 }' >"$work/ips"
awk '
    FILENAME == ARGV[1] { n++; addr[n] = $1; $1 = ""; name[n] = substr($0, 2); next }
    {
        total++
        ip = $1
        # Binary search over the hex addresses, all 16 digits wide.
        while (length(ip) < 16) ip = "0" ip
        lo = 1; hi = n; found = 0
        while (lo <= hi) { mid = int((lo + hi) / 2); if (addr[mid] <= ip) { found = mid; lo = mid + 1 } else hi = mid - 1 }
        key = found ? name[found] : "(elsewhere: not a PE module)"
        count[key]++
    }
    END { for (k in count) printf "%6.2f%%  %s\n", 100 * count[k] / total, k }' "$work/symbols" "$work/ips" |
    sort -rn | head -40 | sed 's/^/   /'
