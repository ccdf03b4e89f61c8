#!/usr/bin/env bash
# Fuzzes the SWF reader of the stand-in Flash control natively with libFuzzer (and ASan/UBSan) for a
# short while: FUZZ_SECONDS (default 60). The corpus in build/fuzz/corpus grows from run to run; the
# seeds are written by the test SWF writer and the bundled samples. Exits non-zero on any finding.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
src=$root/platform/flash-control
out=$root/build/fuzz
mkdir -p "$out/corpus" "$out/seeds" "$out/artifacts"

clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$src" \
    "$root/tests/fuzz/swf_reader_fuzz.cpp" "$src/swf_reader.cpp" -lz -o "$out/swf_reader_fuzz"
clang++ -std=c++17 -O1 -I"$src" "$src/make_samples.cpp" "$src/swf_writer.cpp" -lz -o "$out/make_samples"
"$out/make_samples" --seeds "$out/seeds"
cp "$root"/samples/*.swf "$out/seeds/"

# A 64 KiB input can inflate to 64 MiB (the reader's cap); 512 MiB leaves room for the sanitizers.
"$out/swf_reader_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=65536 -rss_limit_mb=1024 \
    -malloc_limit_mb=512 -timeout=10 -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
    "$out/corpus" "$out/seeds" 2>"$out/last-run.log" || {
    tail -40 "$out/last-run.log" >&2
    echo "fuzz-swf: the fuzzer found a fault; the input is in $out/artifacts" >&2
    exit 1
}
grep -E "^stat::|Done [0-9]+ runs" "$out/last-run.log" | sed 's/^/fuzz-swf: /'
