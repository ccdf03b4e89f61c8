#!/usr/bin/env bash
# Rewrites the bundled sample movies in samples/ with the test SWF writer, built natively.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/build/native
mkdir -p "$out" "$root/samples"
src=$root/platform/flash-control
clang++ -std=c++17 -O1 -I"$src" "$src/make_samples.cpp" "$src/swf_writer.cpp" -lz -o "$out/make_samples"
"$out/make_samples" --samples "$root/samples"
ls -l "$root/samples"
