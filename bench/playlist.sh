#!/usr/bin/env bash
# Folder playlist: loadFolder over 10,000 files against the bare listing and opening of the same files.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/lib.sh"
bash "$VANTREL_ROOT/tools/wine-run" "$VANTREL_BUILD/bin/playlist_bench.exe"
