# Shared by scripts/run, scripts/test and scripts/bench. Source it; it sets
# ROOT and defines the steps below. Every step is safe to repeat.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PACKAGES=(cmake make googletest
    g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
    g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic xauth zip nsis)

VERSION=0.37.12

log() { printf '[mossgate] %s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The program is a 32-bit Windows executable. Some Linux hosts cannot run
# 32-bit code at all (the kernel refuses i386 binaries, and emulating Wine is
# far too slow); there the same sources are built and tested as a 64-bit
# Windows program under 64-bit Wine. MOSSGATE_ARCH=i686|x86_64 overrides.
pick_arch() {
    if [ -n "${MOSSGATE_ARCH:-}" ]; then echo "$MOSSGATE_ARCH"; return; fi
    if grep -qs 'qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null; then echo x86_64; return; fi
    if timeout 20 /lib/ld-linux.so.2 --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
}

# Sets WINE, WINEARCH and the build folder for an architecture.
use_arch() {
    ARCH=$1
    BUILD="$ROOT/build/$ARCH"
    if [ "$ARCH" = i686 ]; then
        WINE=/usr/bin/wine WINESERVER=/usr/lib/wine/wineserver32 WINEARCH=win32
    else
        WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
    fi
    [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
    export WINE WINESERVER WINEARCH MOSSGATE_WINE="$WINE"
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

build() { # build [extra cmake options]
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$ARCH.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$BUILD" -j"$(nproc)" >/dev/null
}

# Starts an Xvfb on a free display and exports DISPLAY.
start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    log "Xvfb did not start"
    return 1
}

# A private Wine prefix whose programs all run in one virtual desktop with a
# taskbar, with a Japanese font linked and without Wine's crash dialog.
ensure_prefix() { # ensure_prefix DIR
    export WINEPREFIX=$1
    [ -f "$WINEPREFIX/.mossgate-ready" ] && return 0
    log "creating Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    local reg="$WINEPREFIX/mossgate.reg"
    cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"shell"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"="ipag.ttf,IPAGothic"
"MS Shell Dlg"="ipag.ttf,IPAGothic"
"MS Shell Dlg 2"="ipag.ttf,IPAGothic"
"Microsoft Sans Serif"="ipag.ttf,IPAGothic"
REG
    "$WINE" regedit "$reg" >/dev/null 2>&1
    "$WINESERVER" -w
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    ln -sf /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf "$WINEPREFIX/drive_c/windows/Fonts/ipag.ttf"
    touch "$WINEPREFIX/.mossgate-ready"
}

stop_wine() { [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k >/dev/null 2>&1 || true; }
stop_xvfb() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true; }

# Release files are dated by the commit, so that packaging the same commit
# twice gives the same bytes.
source_date() {
    git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0
}

# Stages what a release holds under DIR/mossgate: the program, an empty
# plugin folder, the README, the licence and the plugin kit; the installer's
# icon beside it. Every file and folder gets the commit's time.
stage_release() { # stage_release DIR EXE
    local dir="$1/mossgate"
    rm -rf "$1"
    mkdir -p "$dir/plugin" "$dir/sdk/example"
    cp "$2" "$dir/mossgate.exe"
    cp "$ROOT/README.md" "$ROOT/LICENSE" "$dir/"
    cp "$ROOT/docs/plugins.md" "$ROOT/plugins/sdk/mossgate_plugin.h" "$dir/sdk/"
    cp "$ROOT/plugins/example/hello_plugin.c" "$dir/sdk/example/"
    cp "$ROOT/res/mossgate.ico" "$1/"
    find "$1" -exec touch -h -d "@$(source_date)" {} +
}

# The portable ZIP of a staged release: entries in a fixed order, with no
# extra attributes, times in UTC.
make_zip() { # make_zip STAGE OUT
    local out
    out=$(realpath -m "$2")
    rm -f "$out"
    (cd "$1" && find mossgate | LC_ALL=C sort | TZ=UTC zip -qX "$out" -@)
}

# The installer around a staged release; TARGET is x86-unicode for the
# 32-bit program, amd64-unicode for a 64-bit build.
make_installer() { # make_installer STAGE OUT TARGET
    local out
    out=$(realpath -m "$2")
    rm -f "$out"
    SOURCE_DATE_EPOCH=$(source_date) makensis -INPUTCHARSET UTF8 -V2 -DVERSION="$VERSION" \
        -DSTAGE="$(realpath "$1")" -DOUTFILE="$out" -DTARGET="$3" "$ROOT/packaging/mossgate.nsi" >&2
}

nsis_target() { # nsis_target ARCH
    if [ "$1" = i686 ]; then echo x86-unicode; else echo amd64-unicode; fi
}
