#!/usr/bin/env bash
# The window where no X display exists. On a headless sway with XWayland off it is still a
# layer surface at its stored place, with Qt on its own Wayland platform for the rest: a right
# click opens the menu as a small floating window, not one that takes the whole output, the
# menu's first item opens the options dialog, and with sway's bar as the tray the tray item
# opens the same small menu. On a weston without X (nested in that sway, so that the test's
# virtual pointer reaches it) it is an ordinary Wayland window that says once that it cannot
# place itself, draws, opens its menu and options dialog, and keeps its stored place at exit.
# sway, grim and weston come with scripts/install-deps --test; without them, or without
# root, the test is skipped.
# Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
app=$build/src/cli/statlume
here=$(cd "$(dirname "$0")" && pwd)

. "$here/wayland_session.sh"
for tool in sway swaymsg grim weston setpriv python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps --test)"
done
[[ -x $app ]] || { echo "missing $app"; echo "0 passed, 1 failed"; exit 1; }

start_bus
cat >"$work/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1280x720 position 0 0 bg #336699 solid_color
default_border none
xwayland disable
EOF
chmod 644 "$work/sway.conf"
cmd=(sway -c "$work/sway.conf")
(as_nobody DBUS_SESSION_BUS_ADDRESS="$bus" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    >"$work/sway.log" 2>&1) &
pids+=($!)
if ! wait_for "[[ -S $runtime/wayland-1 ]] && ls $runtime/sway-ipc.*.sock >/dev/null 2>&1" 100; then
    echo "sway did not start:"
    tail -5 "$work/sway.log"
    echo "0 passed, 1 failed"
    exit 1
fi

export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-1
export SWAYSOCK=$(ls "$runtime"/sway-ipc.*.sock)
export XDG_CONFIG_HOME=$work/config
# No X, and no tray until sway's bar comes: the right click is the way to the menu.
unset DISPLAY QT_QPA_PLATFORM
export DBUS_SESSION_BUS_ADDRESS=$bus
settings=$XDG_CONFIG_HOME/statlume/settings.reg
# Under the sanitizers Qt's Wayland platform leaves objects of libwayland-client and of its
# own module, unloaded at exit, which no suppression can name without hiding leaks of our
# own layer surface; the layer test keeps the leak check for that one.
if grep -q __asan_init "$app"; then
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
fi

coproc POINTER { exec python3 "$here/wayland_pointer.py" 2>"$work/pointer.log"; }
pids+=($POINTER_PID)
pointer() { # pointer COMMAND: sent, and handled by the compositor
    echo "$*" >&"${POINTER[1]}" && read -r -t 5 answer <&"${POINTER[0]}" && [[ $answer == done ]]
}
read -r -t 5 answer <&"${POINTER[0]}"
[[ $answer == ready ]] || check "virtual pointer" "$(cat "$work/pointer.log")"
# A press where the pointer already is: a little motion first lets a nested compositor learn
# where it is.
click() { # click X Y BUTTON
    swaymsg "seat - cursor set $(($1 - 1)) $(($2 - 1))" >/dev/null
    pointer move 1 1 && pointer button "$3" 1 && pointer button "$3" 0
}
# x y width height and "floating" or "tiled" of our window with that title; nothing if none.
sway_window() {
    swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node, floating):
    if node.get("app_id") == "statlume" and node.get("name") == sys.argv[1]:
        r = node["rect"]
        print(r["x"], r["y"], r["width"], r["height"], "floating" if floating else "tiled")
        sys.exit()
    for child in node.get("nodes", []):
        walk(child, floating)
    for child in node.get("floating_nodes", []):
        walk(child, True)
walk(json.load(sys.stdin), False)' "$1"
}
menu_shown() { # sway has placed the menu and it shows there; sets mx, my, mw and how
    read -r mx my mw _ how <<<"$(sway_window statlume)"
    [[ -n $mx ]] && grim -t ppm "$work/shot.ppm" &&
        [[ $(python3 "$here/wayland_box.py" --colour "$work/shot.ppm" $((mx + 60)) $((my + 10))) != 336699 ]]
}
said_once() { # said_once TEXT...: app.log has one "output:" line and it holds every TEXT
    local line
    [[ $(grep -c 'output:' "$work/app.log") -eq 1 ]] || return 1
    line=$(grep 'output:' "$work/app.log")
    for text in "$@"; do [[ $line == *"$text"* ]] || return 1; done
}

# 1. sway without XWayland: the layer surface, and Qt on Wayland for the menu and dialogs.
# The cursor's picture counts in the box unless it lies within the window.
swaymsg "seat - cursor set 302 230" >/dev/null
write_settings 'X"=dword:0000012c' 'Y"=dword:000000c8'
start_app
kill -0 "$app_pid" 2>/dev/null && said_once 'output: a Wayland layer surface' &&
    check "sway without XWayland: starts as a layer surface and says so once" ok ||
    check "sway without XWayland: starts as a layer surface and says so once" "$(cat "$work/app.log")"
box=$(window_box)
read -r l t r b <<<"$box"
[[ $box != none ]] && ((l >= 299 && l <= 301 && t >= 199 && t <= 201)) &&
    check "sway without XWayland: draws at its stored place" ok ||
    check "sway without XWayland: draws at its stored place" "found $box"
click $((l + 20)) $((b - 3)) 273
wait_for menu_shown 30
[[ $how == floating ]] && ((mw < 640)) && check "sway without XWayland: the menu floats" ok ||
    check "sway without XWayland: the menu floats" "menu: $(sway_window statlume)"
# A click that lands while sway still maps the floating menu can be lost: the menu is opened
# again where it closed, and the click repeated.
open_options() {
    local attempt
    for attempt in 1 2 3; do
        menu_shown || { click $((l + 20)) $((b - 3)) 273 && wait_for menu_shown 30; } || continue
        click $((mx + 60)) $((my + 10)) 272
        wait_for "[[ -n \$(sway_window Options) ]]" 30 && return 0
    done
    return 1
}
open_options &&
    check "sway without XWayland: Display Items opens the options dialog" ok ||
    check "sway without XWayland: Display Items opens the options dialog" "$(tail -3 "$work/app.log")"
grim "$work/sway-options.png"
swaymsg '[app_id="statlume" title="^Options$"] kill' >/dev/null
wait_for "[[ -z \$(sway_window Options) ]]" 30
# With sway's bar as the tray, the menu opens where the tray host asks.
if [[ -n $bus ]]; then
    printf 'bar {\n    position top\n    tray_output *\n}\n' >>"$work/sway.conf"
    swaymsg reload >/dev/null
    item=org.kde.StatusNotifierItem-$app_pid-1
    wait_for "busctl --user introspect $item /StatusNotifierItem >/dev/null 2>&1" 30
    wait_for "[[ -z \$(sway_window statlume) ]]" 30
    busctl --user call "$item" /StatusNotifierItem org.kde.StatusNotifierItem ContextMenu ii \
        1200 10 >/dev/null 2>&1
    wait_for menu_shown 30
    [[ $how == floating ]] && ((mw < 640)) &&
        check "sway without XWayland: the tray item's menu floats" ok ||
        check "sway without XWayland: the tray item's menu floats" "menu: $(sway_window statlume)"
    # At scale 2 the output is 640 x 360: the whole menu is taller, so it scrolls within the
    # output instead of being cut after a dozen items (sway's rectangle counts its border).
    swaymsg output HEADLESS-1 scale 2 >/dev/null
    busctl --user call "$item" /StatusNotifierItem org.kde.StatusNotifierItem ContextMenu ii \
        600 10 >/dev/null 2>&1
    fits="read -r _ my _ mh _ <<<\"\$(sway_window statlume)\" && [[ -n \$mh ]] && ((my >= 0 && my + mh <= 364))"
    wait_for "$fits" 50 && check "sway without XWayland, scale 2: the menu fits the output" ok ||
        check "sway without XWayland, scale 2: the menu fits the output" "menu: $(sway_window statlume)"
    grim "$work/sway-menu-scale2.png"
    swaymsg output HEADLESS-1 scale 1 >/dev/null
fi
stop_app "sway without XWayland"

# 2. weston without X, nested in the sway above: its desktop in the same colour, no panel.
# No tray there: the right click is the way to the menu again.
unset DBUS_SESSION_BUS_ADDRESS
cat >"$work/shared/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff336699
panel-position=none
EOF
chmod 644 "$work/shared/weston.ini"
cmd=(weston --config="$work/shared/weston.ini" --backend=wayland-backend.so --width=1280
    --height=720 --socket=wayland-weston)
(as_nobody WAYLAND_DISPLAY=wayland-1 >"$work/weston.log" 2>&1) &
pids+=($!)
# Up once its frame is drawn (sway's desktop is the same colour) and its desktop within.
colour() { python3 "$here/wayland_box.py" --colour "$work/empty.ppm" "$@"; }
weston_up="grim -t ppm $work/empty.ppm && [[ \$(colour 640 5) != 336699 && \$(colour 640 400) == 336699 ]]"
if ! wait_for "[[ -S $runtime/wayland-weston ]] && $weston_up" 100; then
    check "weston starts" "$(tail -3 "$work/weston.log")"
    echo "$passed passed, $failed failed"
    exit 1
fi
swaymsg "seat - cursor set 1270 710" >/dev/null
sleep 1
grim -t ppm "$work/empty.ppm"
changed() { grim -t ppm "$work/shot.ppm" && python3 "$here/wayland_box.py" --changed "$work/shot.ppm" "$work/empty.ppm"; }
WAYLAND_DISPLAY=wayland-weston start_app
kill -0 "$app_pid" 2>/dev/null &&
    said_once 'an ordinary Wayland window' 'lacks the zwlr_layer_shell_v1' 'cannot keep its position' &&
    check "weston without X: an ordinary Wayland window that says once it cannot place itself" ok ||
    check "weston without X: an ordinary Wayland window that says once it cannot place itself" \
        "$(cat "$work/app.log")"
wait_for "[[ \$(changed) != none ]]" 30
box=$(changed)
read -r l t r b <<<"$box"
[[ $box != none ]] && ((r - l > 50 && b - t > 20)) && check "weston without X: draws" ok ||
    check "weston without X: draws" "changed: $box"
grim "$work/weston.png"
click $((l + 20)) $((b - 3)) 273
menu_open="read -r _ _ _ mb <<<\"\$(changed)\" && ((mb > b + 100))"
wait_for "$menu_open" 30 && check "weston without X: a right click opens the menu" ok ||
    check "weston without X: a right click opens the menu" "changed: $(changed)"
grim "$work/weston-menu.png"
# The menu hangs from the pointer.
click $((l + 80)) $((b + 7)) 272
dialog_open="read -r dl _ dr _ <<<\"\$(changed)\" && ((dr - dl > 600))"
wait_for "$dialog_open" 50 && check "weston without X: Display Items opens the options dialog" ok ||
    check "weston without X: Display Items opens the options dialog" "changed: $(changed)"
grim "$work/weston-options.png"
stop_app "weston without X"
grep -q '"X"=dword:0000012c' "$settings" && grep -q '"Y"=dword:000000c8' "$settings" &&
    check "weston without X: exit keeps the stored place" ok ||
    check "weston without X: exit keeps the stored place" "$(grep '"[XY]"' "$settings")"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
