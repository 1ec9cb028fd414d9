#!/usr/bin/env bash
# The desktop program under Xvfb with a window manager (openbox) and, where it is installed, a
# compositor (picom): the window's EWMH states after every toggle that hides and shows it, and
# that Transparent off gives exactly the window of a fresh start, with and without a compositor,
# also after the compositor stopped. Ends with status 77 (skipped) when a tool is missing.
# Usage: $0 BUILD_DIR [SHOTS_DIR] (SHOTS_DIR keeps the screenshots for a person to look at)
set -u

build=${1:?usage: $0 BUILD_DIR [SHOTS_DIR]}
program=$build/src/cli/statlume
[[ -x $program ]] || { echo "missing $program"; echo "0 passed, 1 failed"; exit 1; }
for tool in Xvfb openbox trayer xprop xwininfo xdotool import compare convert display; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
have_picom=0
command -v picom >/dev/null && have_picom=1

work=$(mktemp -d /tmp/statlume-x11.XXXXXX)
shots=${2:-$work/shots}
mkdir -p "$shots"
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# shellcheck source=check_lines.sh
source "$(dirname "${BASH_SOURCE[0]}")/check_lines.sh"
wait_for() { # wait_for SECONDS COMMAND...: runs the check every 0.1 s
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 10 grep -q '[0-9]' "$work/display" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -1 "$work/display")
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
# A blue-grey desktop: what a see-through window shows around its text.
desktop='#5B7A99'
convert -size 1024x768 "xc:$desktop" "$work/desktop.png"
display -window root "$work/desktop.png" 2>/dev/null
openbox >/dev/null 2>&1 &
pids+=($!)
wait_for 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "openbox did not start"; exit 1; }

# The tray: the menu opens from the icon, also while the window is cut to its text.
trayer --edge bottom --align right --widthtype pixel --width 96 --heighttype pixel --height 24 \
    --transparent false --tint 0xdddddd --SetDockType true --expand false >/dev/null 2>&1 &
pids+=($!)
wait_for 10 bash -c 'xdotool search --onlyvisible --class trayer >/dev/null' ||
    { echo "trayer did not start"; exit 1; }

picom_pid=""
start_picom() {
    picom --backend xrender --no-fading-openclose --shadow-radius 0 --config /dev/null \
        >/dev/null 2>&1 &
    picom_pid=$!
    pids+=("$picom_pid")
    wait_for 10 bash -c 'xprop -root | grep -q . && xwininfo -root -tree | grep -q .' &&
        sleep 1
}
stop_picom() {
    [[ -n $picom_pid ]] && kill "$picom_pid" 2>/dev/null && wait "$picom_pid" 2>/dev/null
    picom_pid=""
    sleep 1
}

statlume_pid=""
window=""
# Starts statlume on fresh settings: white text on black, a fixed template so two pictures
# of it are comparable.
start_statlume() { # start_statlume NAME [REGISTRY-LINES...]
    local config=$work/config-$1 runtime=$work/runtime-$1
    shift
    mkdir -p "$config/statlume" "$runtime"
    chmod 700 "$config" "$config/statlume" "$runtime"
    {
        printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n'
        printf '"Version"=dword:00000054\n"FormatString"="Statlume 123\\r\\nright here"\n'
        printf '"FontName"="DejaVu Sans"\n"FontColor"=dword:00ffffff\n"FontSize"=dword:00000012\n'
        printf '"X"=dword:00000064\n'
        printf '"Y"=dword:00000064\n'
        [[ $# -gt 0 ]] && printf '%s\n' "$@"
    } >"$config/statlume/settings.reg"
    chmod 600 "$config/statlume/settings.reg"
    XDG_CONFIG_HOME=$config XDG_RUNTIME_DIR=$runtime "$program" >"$work/statlume.log" 2>&1 &
    statlume_pid=$!
    pids+=("$statlume_pid")
    wait_for 10 window_of "$statlume_pid" >/dev/null || return 1
    wait_for 10 icon_of "$statlume_pid" >/dev/null || return 1
    window=$(window_of "$statlume_pid")
    sleep 1.5
}
stop_statlume() {
    kill "$statlume_pid" 2>/dev/null
    wait "$statlume_pid" 2>/dev/null
}
# The program's windows: the display window is the one with a window type of its own, the
# icon the small one docked in the tray.
window_of() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        ((WIDTH > 48 && HEIGHT > 20)) || continue
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q UTILITY && { echo "$id"; return 0; }
    done
    return 1
}
icon_of() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        ((WIDTH <= 48 && HEIGHT <= 48 && Y > 700)) && { echo "$id"; return 0; }
    done
    return 1
}
# Chooses a menu item by its access key: a right click on the tray icon opens the menu.
menu_key() {
    eval "$(xdotool getwindowgeometry --shell "$(icon_of "$statlume_pid")")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
    sleep 0.5
    xdotool key "$1"
    sleep 1
    # Hiding and showing may give the window a new id.
    window=$(window_of "$statlume_pid")
}
shoot() { # shoot FILE: the window's place on the screen with a margin
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "$((WIDTH + 16))x$((HEIGHT + 16))+$((X - 8))+$((Y - 8))" +repage "$1"
}
same_picture() { # same_picture A B
    [[ $(compare -metric AE "$1" "$2" null: 2>&1) == 0 ]]
}
colour_at() { # colour_at X Y
    import -window root -crop "1x1+$1+$2" +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -1
}
# The colour in the window's bottom right corner, where no text is.
corner_colour() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    colour_at $((X + WIDTH - 2)) $((Y + HEIGHT - 2))
}
# A compositor without a wallpaper property draws the desktop in its own colour.
desktop_colour() { colour_at 5 5; }
states() { xprop -id "$window" _NET_WM_STATE _NET_WM_WINDOW_TYPE _NET_WM_DESKTOP; }
has_states() { # has_states WANTED... ("-NAME" must be missing)
    local now
    now=$(states)
    for want in "$@"; do
        if [[ $want == -* ]]; then
            grep -q "_NET_WM_STATE_${want#-}\b" <<<"$now" && return 1
        else
            grep -qF "$want" <<<"$now" || return 1
        fi
    done
    return 0
}

# 1. The states survive every toggle that re-creates or re-maps the window.
start_statlume states || { echo "statlume did not start"; exit 1; }
# openbox puts a window on every workspace through its desktop number, not the sticky state.
all_desktops="= 4294967295"
base=(_NET_WM_STATE_SKIP_TASKBAR _NET_WM_STATE_SKIP_PAGER _NET_WM_WINDOW_TYPE_UTILITY)
wait_for 3 has_states "${base[@]}" -ABOVE -BELOW -STICKY
check "states at start" $? "$(states)"
steps=("o:on top:_NET_WM_STATE_ABOVE -BELOW"
       "o:on top undone:-ABOVE -BELOW -STICKY"
       "p:pinned:_NET_WM_STATE_BELOW $all_desktops -ABOVE"
       "t:transparent while pinned:_NET_WM_STATE_BELOW $all_desktops"
       "o:on top while pinned:_NET_WM_STATE_ABOVE -BELOW -STICKY"
       "o:on top undone while pinned:_NET_WM_STATE_BELOW $all_desktops"
       "p:unpinned:-BELOW -STICKY -ABOVE"
       "t:transparent off:-BELOW -STICKY -ABOVE")
for step in "${steps[@]}"; do
    IFS=: read -r key name wanted <<<"$step"
    menu_key "$key"
    # shellcheck disable=SC2086
    wait_for 3 has_states "${base[@]}" $wanted
    check "states: $name" $? "$(states | tr '\n' ' ')"
done
stop_statlume

# 1b. Click Through: with the tray icon shown the pointer over the window is over the desktop
# (an empty input shape, which the window manager's frame takes over); unchecked in the tray
# menu, the window takes the pointer again.
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
under_pointer() { # the top-level window below the pointer when it is over the window's middle
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    eval "$(xdotool getmouselocation --shell)"
    printf '0x%x\n' "$WINDOW"
}
over_desktop() { [[ $(under_pointer) == "$root" ]]; }
over_window() { [[ $(under_pointer) != "$root" ]]; }
start_statlume click '"ClickThrough"=dword:00000001' || { echo "statlume did not start"; exit 1; }
wait_for 5 over_desktop
check "click through: the pointer over the window is over the desktop" $? "$(under_pointer)"
menu_key c
wait_for 5 over_window
check "click through unchecked: the window takes the pointer" $? "root $root"
grep -q '"ClickThrough"=dword:00000000' "$work/config-click/statlume/settings.reg"
check "click through unchecked: stored" $? "$(grep Click "$work/config-click/statlume/settings.reg")"
stop_statlume

# 3. The dialogs open beside the window; the options dialog keeps its size and place.
dialog_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
# Escape to a dialog, given the focus first: the keys go where the focus is.
close_dialog() {
    local id
    id=$(dialog_id "$1")
    [[ -n $id ]] && xdotool windowactivate --sync "$id" key Escape
    sleep 1
}
# Opens a dialog from the menu; a busy machine may drop the first click, so up to three tries.
open_dialog() { # open_dialog NAME KEY
    for _ in 1 2 3; do
        menu_key "$2"
        wait_for 10 bash -c "xdotool search --onlyvisible --name '^$1\$' >/dev/null" && return 0
        xdotool key Escape
    done
    return 1
}
frame_of() { # frame_of NAME: left top right bottom of the named window's frame
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
    [[ -n $id ]] || return 1
    xwininfo -id "$id" -frame >/dev/null 2>&1 || return 1
    local frame
    frame=$(xprop -id "$id" _NET_FRAME_EXTENTS | grep -o '[0-9, ]*$' | tr -d ' ')
    IFS=, read -r fl fr ft fb <<<"${frame:-0,0,0,0}"
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "$((X - fl)) $((Y - ft)) $((X + WIDTH + fr)) $((Y + HEIGHT + fb))"
}
apart() { # apart "L T R B" "L T R B": the two boxes do not overlap
    [[ -n $1 && -n $2 ]] || return 1
    read -r al at ar ab <<<"$1"
    read -r bl bt br bb <<<"$2"
    ((ar <= bl || br <= al || ab <= bt || bb <= at))
}
window_box() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    echo "$X $Y $((X + WIDTH)) $((Y + HEIGHT))"
}
start_statlume dialogs
open_dialog Font f
sleep 1
import -window root "$shots/font-dialog.png"
apart "$(frame_of Font)" "$(window_box)"
check "the font dialog opens beside the window" $? "font $(frame_of Font), window $(window_box)"
close_dialog Font
open_dialog Options d
sleep 1
import -window root "$shots/options-dialog.png"
apart "$(frame_of Options)" "$(window_box)"
check "the options dialog opens beside the window" $? "options $(frame_of Options), window $(window_box)"
options=$(dialog_id Options)
xdotool windowsize "$options" 600 400
xdotool windowmove "$options" 20 150
sleep 1
eval "$(xdotool getwindowgeometry --shell "$options")"
wanted="$WIDTH $HEIGHT $X $Y"
[[ $WIDTH == 600 && $HEIGHT == 400 ]]
check "the options dialog can be resized" $? "$wanted"
close_dialog Options
open_dialog Options d
sleep 1
options=$(dialog_id Options)
eval "$(xdotool getwindowgeometry --shell "$options")"
[[ "$WIDTH $HEIGHT $X $Y" == "$wanted" ]]
check "the options dialog opens at the size and place it was left" $? "$WIDTH $HEIGHT $X $Y, not $wanted"
import -window root "$shots/options-resized.png"
close_dialog Options
stop_statlume

# 4. A window stored off the screen comes back whole, where the message says.
start_statlume offscreen '"X"=dword:00000bb8' '"Y"=dword:000007d0'
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root "$shots/offscreen-rescued.png"
((X >= 0 && Y >= 0 && X + WIDTH <= 1024 && Y + HEIGHT <= 768))
check "a window stored at 3000, 2000 is wholly on the 1024 x 768 screen" $? "$X $Y $WIDTH x $HEIGHT"
grep -q "placed at $X, $Y" "$work/statlume.log"
check "the message names the place used" $? "$(grep -a placed "$work/statlume.log") vs $X, $Y"
stop_statlume

# 2. Transparent off is the fresh window, with and without a compositor.
transparency_round() { # transparency_round LABEL
    start_statlume "fresh-$1"
    shoot "$shots/$1-fresh.png"
    stop_statlume
    start_statlume "toggled-$1"
    menu_key t
    shoot "$shots/$1-transparent.png"
    [[ $(corner_colour) == "$(desktop_colour)" ]]
    check "$1: Transparent on shows the desktop around the text" $? "corner $(corner_colour)"
    menu_key t
    shoot "$shots/$1-off-again.png"
    same_picture "$shots/$1-fresh.png" "$shots/$1-off-again.png"
    check "$1: Transparent off is the fresh window" $? "see $shots/$1-*.png"
    # Right alignment moves the text: nothing of the old place may stay behind.
    # Right is the first item of the Align submenu.
    menu_key g
    xdotool key Return
    sleep 1.5
    shoot "$shots/$1-right.png"
    stop_statlume
    start_statlume "right-$1" '"Align"=dword:00000001'
    shoot "$shots/$1-right-fresh.png"
    same_picture "$shots/$1-right-fresh.png" "$shots/$1-right.png"
    check "$1: Align Right after the toggles is the fresh right-aligned window" $? \
        "see $shots/$1-right*.png"
    stop_statlume
}
transparency_round plain
if ((have_picom)); then
    start_picom
    transparency_round composited
    # The compositor stops while Transparent is on: the text stays, the desktop shows.
    start_statlume stopping '"Trans"=dword:00000001'
    shoot "$shots/stopping-composited.png"
    stop_picom
    sleep 1.5
    shoot "$shots/stopping-after.png"
    [[ $(corner_colour) == "$(desktop_colour)" ]]
    check "compositor stopped: the desktop still shows around the text" $? "corner $(corner_colour)"
    start_picom
    sleep 1.5
    [[ $(corner_colour) == "$(desktop_colour)" ]]
    check "compositor back: the desktop shows around the text" $? "corner $(corner_colour)"
    stop_statlume
    stop_picom
else
    echo "picom is missing: the compositor cases were not run"
fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
