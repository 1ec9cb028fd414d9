#!/usr/bin/env bash
# The window's idle cost on Wayland: one headless sway (with XWayland) runs the window on a
# layer surface and the window through XWayland (--x11) side by side, each with settings of
# its own (the default template, 1 s updates), for REPEATS rounds of SECONDS with fresh
# processes; the start order changes every round. Reported per round and as min / median:
# CPU per update (utime + stime in 10 ms clock ticks, and the scheduler's nanosecond sums),
# PSS at the end of the round and the PSS difference within the round, with the machine's
# load average, as other work shares the processors. Both windows keep Qt itself on
# XWayland, but only the xcb window draws through it: XWayland's CPU per second is measured
# with each window alone (the other stopped) and with both stopped, and each window's share
# above that idle figure is added to its own as the whole cost of its path; so is what
# XWayland's resident size grew by when the window started.
# Usage: bench/wayland_layer_vs_xcb.sh [SECONDS] [REPEATS] (default 60 3)
# STATLUME_BIN=path measures a statlume already built; otherwise a bench build of its own.
# Needs root (sway refuses it, so it runs as nobody) and scripts/install-deps --test.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
[[ $(id -u) -eq 0 ]] || { echo "run as root: sway runs as nobody through setpriv" >&2; exit 1; }

source bench/window_common.sh
read_rounds "$@"
for tool in sway swaymsg Xwayland xhost setpriv python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/install-deps --test" >&2; exit 1; }
done
program=$(statlume_program)
[[ -x $program ]] || { echo "missing $program" >&2; exit 1; }

# sway as nobody, with a run-time folder of nobody's; clients running as root may connect.
chmod 755 "$work"
runtime=$work/sway-runtime
mkdir -m 700 "$runtime" "$work/home"
chown 65534:65534 "$runtime" "$work/home"
cat >"$work/sway.conf" <<'END'
output HEADLESS-1 resolution 1280x720 position 0 0 bg #336699 solid_color
default_border none
xwayland enable
exec sh -c 'xhost +si:localuser:root >/dev/null && echo "$DISPLAY" > "$HOME/display"'
END
chmod 644 "$work/sway.conf"
env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
    WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    setpriv --reuid=65534 --regid=65534 --clear-groups sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$runtime/wayland-1" -a -s "$work/home/display" ||
    { tail -5 "$work/sway.log" >&2; exit 1; }
# Each window has its own run-time folder (one instance per folder), so the compositor's
# socket is named by its full path.
export WAYLAND_DISPLAY=$runtime/wayland-1 DISPLAY=$(cat "$work/home/display")
export SWAYSOCK=$(ls "$runtime"/sway-ipc.*.sock)
unset QT_QPA_PLATFORM

# One window with the default settings but for X and Y, which keep the two windows apart; its
# pid goes to pid[NAME].
start() { # start NAME X [ARGS...]
    local name=$1 dir
    dir=$(settings "$name" "$(printf '"X"=dword:%08x' "$2")" '"Y"=dword:00000028')
    shift 2
    run_statlume "$dir" "$program" "$@" >"$work/$name.log" 2>&1 &
    pid[$name]=$!
    pids+=($!)
}
load() { cut -d' ' -f1-3 /proc/loadavg; }
# XWayland's CPU in us per second while only the named windows run (none: its idle cost).
xwayland_alone() {
    local name running=" $* " x0 t0 t1
    for name in layer xcb; do [[ $running == *" $name "* ]] || kill -STOP "${pid[$name]}"; done
    sleep 1
    x0=$(sched_ns "$xwayland")
    t0=$(now_ns)
    sleep "$x_seconds"
    t1=$(now_ns)
    for name in layer xcb; do kill -CONT "${pid[$name]}"; done
    awk -v d=$(($(sched_ns "$xwayland") - x0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.0f", d / (t / 1e9) / 1000 }'
}
# The X11 window's size as sway placed it; the layer surface has the widget's own size.
x11_rect() {
    swaymsg -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("pid") == int(sys.argv[1]):
        r = n["rect"]; print("%dx%d at %d,%d" % (r["width"], r["height"], r["x"], r["y"])); sys.exit()
    for c in n.get("nodes", []) + n.get("floating_nodes", []): walk(c)
walk(json.load(sys.stdin)); print("not in the tree")' "$1"
}

xwayland=$(pgrep -x -u 65534 Xwayland | head -1)
[[ -n $xwayland ]] || { echo "sway started no XWayland" >&2; exit 1; }
x_seconds=$((seconds / 3 > 10 ? seconds / 3 : 10))
echo "== the window on a layer surface vs through XWayland (--x11): $repeats x ${seconds}s," \
    "1 s updates, default template; $(nproc) processors"
declare -A results
for ((round = 1; round <= repeats; ++round)); do
    order=(layer xcb)
    ((round % 2 == 0)) && order=(xcb layer)
    declare -A pid=()
    # One at a time, so that what XWayland's resident size gains with each window is its own
    # (its PSS would also move as the window maps libraries XWayland maps too).
    declare -A said=([layer]='output: a Wayland layer surface' [xcb]='output: X11 (xcb), as --x11 asks')
    declare -A xw_pss=()
    before=$(rss_kb "$xwayland")
    for name in "${order[@]}"; do
        if [[ $name == layer ]]; then start layer 40; else start xcb 640 --x11; fi
        wait_for 10 grep -q "${said[$name]}" "$work/$name.log" || { cat "$work/$name.log" >&2; exit 1; }
        sleep 3
        after=$(rss_kb "$xwayland")
        xw_pss[$name]=$((after - before))
        before=$after
    done
    # Start-up is left out: the figures are differences over the span.
    sleep 5
    ((round == 1)) && echo "X11 window: $(x11_rect "${pid[xcb]}")"
    load0=$(load)
    declare -A c0=() s0=() pss=() sched_us=()
    for name in layer xcb; do c0[$name]=$(cpu_ns "${pid[$name]}"); s0[$name]=$(sched_ns "${pid[$name]}"); done
    sleep "$seconds"
    line="round $round (load $load0 -> $(load)):"
    for name in layer xcb; do
        p=${pid[$name]}
        kill -0 "$p" 2>/dev/null || { echo "$name window ended: $(tail -3 "$work/$name.log")" >&2; exit 1; }
        # One update a second: the span in seconds is the number of updates.
        ms=$(awk -v d="$(($(cpu_ns "$p") - c0[$name]))" -v n="$seconds" 'BEGIN { printf "%.3f", d / n / 1e6 }')
        us=$(awk -v d="$(($(sched_ns "$p") - s0[$name]))" -v n="$seconds" 'BEGIN { printf "%.0f", d / n / 1000 }')
        pss[$name]=$(pss_kb "$p")
        results[$name.ms]+="$ms "
        results[$name.us]+="$us "
        sched_us[$name]=$us
        results[$name.kb]+="${pss[$name]} "
        line+="  $name $ms ms/update (sched $us us), PSS ${pss[$name]} KiB;"
    done
    # Shared libraries count for less the more processes map them, so PSS moves with the
    # rest of the machine: the difference within a round is the figure to compare.
    results[diff.kb]+="$((pss[layer] - pss[xcb])) "
    echo "$line  PSS layer - xcb $((pss[layer] - pss[xcb])) KiB"
    # One update a second: XWayland's us per second above idle is its us per update.
    idle=$(xwayland_alone)
    line="  XWayland idle $idle us/s;"
    for name in layer xcb; do
        share=$(($(xwayland_alone "$name") - idle))
        results[$name.whole]+="$((sched_us[$name] + share)) "
        results[$name.wkb]+="$((pss[$name] + xw_pss[$name])) "
        line+="  $name: XWayland's share $share us/update and ${xw_pss[$name]} KiB, with them"
        line+=" $((sched_us[$name] + share)) us/update and $((pss[$name] + xw_pss[$name])) KiB;"
    done
    echo "$line"
    for name in "${order[@]}"; do stop "${pid[$name]}"; done
done

stats() { printf "min $2 median $2" "$(minimum $1)" "$(median $1)"; }
echo "== min / median over $repeats rounds"
for name in layer xcb; do
    echo "$name: utime+stime ms/update $(stats "${results[$name.ms]}" %.3f);" \
        "sched us/update $(stats "${results[$name.us]}" %.0f); PSS KiB $(stats "${results[$name.kb]}" %.0f)"
done
echo "PSS layer - xcb KiB: $(stats "${results[diff.kb]}" %.0f)"
for name in layer xcb; do
    echo "$name with its XWayland share: sched us/update $(stats "${results[$name.whole]}" %.0f);" \
        "PSS KiB $(stats "${results[$name.wkb]}" %.0f)"
done
