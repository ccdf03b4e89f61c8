#!/usr/bin/env bash
# Puts the libvlc.dll placeholder into the prefix's system32, so that Wine loads the bridge (the builtin
# winelib/libvlc.dll.so on WINEDLLPATH) for programs that import libvlc.dll. Not beside the exe: there a
# real Windows libvlc.dll would go.
set -euo pipefail
placeholder=$VANTREL_BUILD/winelib/libvlc.dll
[ -f "$placeholder" ] || { echo "libvlc.sh: $placeholder is missing (build first)" >&2; exit 1; }
cp -f "$placeholder" "$WINEPREFIX/drive_c/windows/system32/libvlc.dll"
