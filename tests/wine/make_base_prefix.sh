#!/bin/bash
# make_base_prefix.sh PREFIX
#
# Creates the 64-bit Wine prefix that every Wine scenario copies. Made once per
# test run: booting a prefix takes seconds, copying a finished one is quick.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 PREFIX" >&2
    exit 2
fi
prefix=$1
wine=${PELLSWEEP_WINE:-/usr/lib/wine/wine64}
wineserver=${PELLSWEEP_WINESERVER:-/usr/lib/wine/wineserver}

export WINEPREFIX=$prefix WINEDEBUG=-all
# Without these overrides the first boot asks to download Mono and Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ -d "$prefix" ]; then
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$prefix"
fi
mkdir -p "$(dirname "$prefix")"

end_server() { "$wineserver" -k 2>/dev/null || true; }
trap end_server EXIT
trap 'exit 1' INT TERM HUP
timeout 300 "$wine" wineboot -i
# The registry reaches system.reg only when the prefix's wineserver exits.
timeout 120 "$wineserver" -w
trap - EXIT INT TERM HUP

for needed in system.reg drive_c/windows/system32 "drive_c/Program Files" \
              "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"; do
    if [ ! -e "$prefix/$needed" ]; then
        echo "make_base_prefix: $prefix/$needed is missing after wineboot" >&2
        exit 1
    fi
done
if ! grep -q 'Session Manager' "$prefix/system.reg"; then
    echo "make_base_prefix: $prefix/system.reg has no Session Manager key" >&2
    exit 1
fi
echo "Wine prefix ready: $prefix"
