#!/usr/bin/env bash
# Drives the real mossgate.exe in the Wine desktop with real input, as a user
# would: the tray menu, hiding and showing a window, the desktop switch, Exit.
# Needs DISPLAY, WINE and WINEPREFIX as scripts/test sets them.
#   e2e.sh BUILD_DIR
set -uo pipefail
build=$1
shots="$build/e2e-shots"
mkdir -p "$shots"
failures=0 passes=0

check() { # check NAME COMMAND...
    if "${@:2}"; then
        passes=$((passes + 1)); echo "ok   $1"
    else
        failures=$((failures + 1)); echo "FAIL $1"
    fi
}
# Polls a condition for at most $1 seconds.
within() {
    local limit=$1; shift
    for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
    return 1
}
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
hidden() { ! visible "$1"; }
# The open menu is mossgate's X window that is neither the corner window nor
# the input-method window. Keys go to it directly: the virtual desktop keeps
# the keyboard focus on whatever it had before.
menu_window() { xwininfo -root -tree | grep '"mossgate.exe"' | grep -v '"Default IME"' |
    grep -v "^ *$corner_window " | head -1 | awk '{print $1}'; }
menu_open() { [ -n "$(menu_window)" ]; }
menu_closed() { [ -z "$(menu_window)" ]; }
menu_keys() {
    for key in "$@"; do
        xdotool key --window "$(menu_window)" "$key" 2>/dev/null
        sleep 0.15
    done
}
shot() { import -window root "$shots/$1.png"; }
tray_region() { import -window root -crop 500x150+524+598 +repage "$1"; }
changed() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1)" -gt 500 ]; }
right_click_tray() { xdotool mousemove 1013 757 click 3; }

cleanup() {
    kill "$host_pid" "$program_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

"$WINE" "$build/tests/window_host.exe" 2 >/dev/null 2>&1 &
host_pid=$!
within 20 visible "host window 1" || { echo "FAIL window host did not start"; exit 1; }

"$WINE" "$build/mossgate.exe" >/dev/null 2>&1 &
program_pid=$!
within 30 bash -c 'xwininfo -root -tree | grep -q "\"mossgate.exe\""' || { echo "FAIL mossgate did not start"; exit 1; }
sleep 1
corner_window=$(xwininfo -root -tree | grep '"mossgate.exe"' | grep -v '"Default IME"' | head -1 | awk '{print $1}')
shot 01-started

right_click_tray
check "a right click on the tray icon opens the menu" within 5 menu_open
shot 02-menu-open
menu_keys Escape
check "Escape closes it" within 5 menu_closed

tray_region "$shots/before-balloon.png"
# The topmost window is the first window item: down past the version line,
# into its submenu, and its first item is 非表示.
right_click_tray
within 5 menu_open
menu_keys Down Down Right
sleep 0.5
shot 03-window-submenu
menu_keys Return
check "非表示 hides the chosen window" within 5 hidden "host window 1"
check "the other window stays" visible "host window 0"
sleep 1
tray_region "$shots/after-balloon.png"
check "a balloon appears over the tray" changed "$shots/before-balloon.png" "$shots/after-balloon.png"
shot 04-balloon

# The hidden window is listed after the visible one.
right_click_tray
within 5 menu_open
menu_keys Down Down Down Right
sleep 0.5
shot 05-hidden-submenu
menu_keys Return
check "非表示 on a hidden window shows it again" within 5 visible "host window 1"

sleep 1.2
xdotool mousemove 1013 757 click --repeat 2 --delay 60 1
check "a double click hides the visible set" within 5 bash -c \
    "! xdotool search --onlyvisible --name '^host window [01]\$' >/dev/null"
shot 06-switched
sleep 1.2
xdotool mousemove 1013 757 click --repeat 2 --delay 60 1
check "a second double click brings the set back" within 5 bash -c \
    "$(declare -f visible); visible 'host window 0' && visible 'host window 1'"

# Hide one window again, then leave: Exit is the menu's last item.
right_click_tray
within 5 menu_open
menu_keys Down Down Right Return
within 5 hidden "host window 1"
right_click_tray
within 5 menu_open
menu_keys Up
sleep 0.5
shot 07-exit-selected
menu_keys Return
status=timeout
for _ in $(seq 100); do
    if ! kill -0 "$program_pid" 2>/dev/null; then wait "$program_pid"; status=$?; break; fi
    sleep 0.1
done
check "mossgateの終了 ends the process with exit code 0 (got $status)" test "$status" = 0
check "every hidden window is visible again" within 5 visible "host window 1"
shot 08-after-exit

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
