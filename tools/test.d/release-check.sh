#!/usr/bin/env bash
# Checks the 32-bit release build, which this machine cannot run: every binary is a 32-bit PE that
# imports only system DLLs (and, for the player, the three DLLs that ship beside it), and the player
# carries its version resource.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
bin=$VANTREL_BUILD32/bin
objdump=i686-w64-mingw32-objdump
system='^(kernel32|user32|gdi32|gdiplus|comctl32|comdlg32|shell32|shlwapi|ole32|oleaut32|advapi32|winmm|msvcrt|ws2_32|version|uxtheme|imm32|api-ms-win-.*)\.dll$'
beside='^(libvlc|quorra|merrow)\.dll$'
rc=0
checked=0
for f in "$bin"/Vantrel.exe "$bin"/quorra.dll "$bin"/merrow.dll; do
    [ -f "$f" ] || { [ "$(basename "$f")" = Vantrel.exe ] && { echo "missing $f"; rc=1; }; continue; }
    checked=$((checked + 1))
    if ! $objdump -f "$f" | grep -q 'file format pei-i386'; then
        echo "FAIL $(basename "$f"): not a 32-bit PE"; rc=1
    fi
    while read -r dll; do
        lower=$(echo "$dll" | tr 'A-Z' 'a-z')
        if [[ ! $lower =~ $system ]] && { [ "$(basename "$f")" != Vantrel.exe ] || [[ ! $lower =~ $beside ]]; }; then
            echo "FAIL $(basename "$f") imports $dll"; rc=1
        fi
    done < <($objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
done
for text in Tarnwell Vantrel 1.0.0.1; do
    strings -el "$bin/Vantrel.exe" | grep -qx "$text" || { echo "FAIL Vantrel.exe: no version text $text"; rc=1; }
done
[ $rc -eq 0 ] && echo "release-check: ok ($checked binaries)" || echo "release-check: FAILED"
exit $rc
