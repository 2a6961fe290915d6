#!/usr/bin/env bash
# Runs test_dpi at 144, 192 and then 96 DPI: sets the prefix's LogPixels,
# restarts the prefix's processes (they read it when they start) and the
# desktop with its taskbar, and runs the tests. It ends at 96, as it began.
# Needs WINE, WINESERVER, WINEPREFIX and DISPLAY as scripts/test sets them.
#   dpi.sh BUILD_DIR
set -uo pipefail
build=$1
status=0
for dpi in 144 192 96; do
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    "$WINE" explorer /desktop=shell,1024x768 >/dev/null 2>&1 &
    for _ in $(seq 100); do
        xwininfo -root -tree 2>/dev/null | grep -q '"Wine Desktop"\|"shell' && break
        sleep 0.2
    done
    sleep 2
    echo "at $dpi DPI:"
    MOSSGATE_EXPECT_DPI=$dpi "$WINE" "$build/tests/test_dpi.exe" || status=1
done
exit $status
