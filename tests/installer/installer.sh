#!/usr/bin/env bash
# The installer as users get it: packaged twice from this build, which must
# give the same bytes, then run for real in a Wine prefix of its own, with a
# desktop and taskbar of its own, by test_installer.exe.
#   installer.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
use_arch "$(basename "$1")"
work="$BUILD/installer"
target=$(nsis_target "$ARCH")

for copy in a b; do
    stage_release "$work/stage-$copy" "$BUILD/mossgate.exe"
    make_zip "$work/stage-$copy" "$work/mossgate-$copy.zip"
    make_installer "$work/stage-$copy" "$work/setup-$copy.exe" "$target"
done
cmp "$work/mossgate-a.zip" "$work/mossgate-b.zip"
cmp "$work/setup-a.exe" "$work/setup-b.exe"
log "packaged twice: the ZIP and the installer ($target) are the same bytes"

export WINEPREFIX="$BUILD/wine-install"
rm -rf "$WINEPREFIX"
ensure_prefix "$WINEPREFIX"
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
"$WINE" explorer /desktop=shell,1024x768 >/dev/null 2>&1 &
MOSSGATE_SETUP=$("$WINE" winepath -w "$work/setup-a.exe" 2>/dev/null | tr -d '\r')
export MOSSGATE_SETUP
"$WINE" "$BUILD/tests/test_installer.exe"
