#!/usr/bin/env bash
# Registers the stand-in Flash control of this build under the Flash CLSID in the prefix named by
# WINEPREFIX (the caller sets it), so that CoCreateInstance finds it as it would find the real control.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
dll=$VANTREL_BUILD/bin/flash_standin.dll
if [ ! -f "$dll" ]; then
    echo "flash-control: $dll is not built" >&2
    exit 1
fi
# A Windows path: regsvr32 stores the name it loaded as InprocServer32. The Unix root is drive Z:.
"${VANTREL_WINE[@]}" regsvr32 /s "Z:${dll//\//\\}"
