#!/usr/bin/env bash
# Measures the desktop program under one Xvfb, all in the same run:
#  (a) idle CPU per update at the default 1 s interval and the default template, against conky
#      in its own X11 window showing the same figures (bench/conky-window.conf), over 60 s;
#  (b) resident memory against a bare Qt Widgets program with one QLabel, in the same 60 s;
#  (c) process start to the window mapped (it is built with real figures before it is shown),
#      median of 10 starts;
#  (d) processor figure in the tray (trayer) at a 100 ms interval: RSS growth over TRAY_SECONDS.
# Usage: bench/compare_conky_window.sh [TRAY_SECONDS] (default 600)
# Needs: scripts/install-deps --bench
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
tray_seconds=${1:-600}
[[ "$tray_seconds" =~ ^[0-9]+$ ]] && ((tray_seconds >= 10 && tray_seconds <= 86400)) ||
    { echo "TRAY_SECONDS must be 10..86400" >&2; exit 2; }
idle_seconds=60
starts=10

source bench/window_common.sh
need_tools conky Xvfb trayer xdotool
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target statlume qt_label_baseline map_wait
program=build/bench/src/cli/statlume
baseline=build/bench/bench/qt_label_baseline
map_wait=build/bench/bench/map_wait

start_xvfb 1024x768x24

echo "== (a) idle cost and (b) memory: ${idle_seconds}s, 1 s interval, default template"
dir=$(settings idle)
run_statlume "$dir" "$program" >"$work/statlume.log" 2>&1 &
statlume=$!
pids+=("$statlume")
conky -c bench/conky-window.conf >"$work/conky.log" 2>&1 &
conky=$!
pids+=("$conky")
"$baseline" >"$work/baseline.log" 2>&1 &
bare=$!
pids+=("$bare")
# Start-up is left out: the figures are the differences over the measured span.
sleep 3
s_cpu0=$(cpu_ns $statlume); s_sched0=$(sched_ns $statlume)
c_cpu0=$(cpu_ns $conky); c_sched0=$(sched_ns $conky)
b_sched0=$(sched_ns $bare)
sleep "$idle_seconds"
s_cpu=$(($(cpu_ns $statlume) - s_cpu0)); s_sched=$(($(sched_ns $statlume) - s_sched0))
c_cpu=$(($(cpu_ns $conky) - c_cpu0)); c_sched=$(($(sched_ns $conky) - c_sched0))
b_sched=$(($(sched_ns $bare) - b_sched0))
for name in statlume bare; do
    pid=${!name}
    printf -v "${name}_rss" '%s' "$(status_kb "$pid" VmRSS)"
    printf -v "${name}_hwm" '%s' "$(status_kb "$pid" VmHWM)"
    printf -v "${name}_pss" '%s' "$(pss_kb "$pid")"
done
conky_rss=$(status_kb $conky VmRSS)
stop $statlume; stop $conky; stop $bare
# Both update once a second, so the span in seconds is the number of updates.
awk -v n="$idle_seconds" -v sc="$s_cpu" -v ss="$s_sched" -v cc="$c_cpu" -v cs="$c_sched" -v bs="$b_sched" 'BEGIN {
    printf "statlume  utime+stime/update %7.1f us  schedstat/update %7.1f us\n", sc / n / 1000, ss / n / 1000
    printf "conky     utime+stime/update %7.1f us  schedstat/update %7.1f us\n", cc / n / 1000, cs / n / 1000
    printf "qt_label_baseline (no updates) schedstat over the span %.1f us\n", bs / 1000
    if (cs > 0) printf "(a) cpu per update (schedstat): statlume / conky = %.3f (target <= 0.5)\n", ss / cs }'
echo "RSS kB: statlume $statlume_rss (peak $statlume_hwm, PSS $statlume_pss)  qt_label_baseline $bare_rss (peak $bare_hwm, PSS $bare_pss)  conky $conky_rss"
echo "(b) RSS statlume - qt_label_baseline = $(((statlume_rss - bare_rss))) kB (target <= 8192 kB)"

echo "== (c) start to window mapped: $starts starts (one warm-up first)"
dir=$(settings starts)
mapped=()
for i in $(seq 0 "$starts"); do
    m=$(run_statlume "$dir" "$map_wait" 10000 "$program")
    [ -n "$m" ] || { echo "no window mapped" >&2; exit 1; }
    [ "$i" -eq 0 ] || mapped+=("$m")
done
echo "mapped ms: ${mapped[*]}"
echo "(c) median start to mapped $(median "${mapped[@]}") ms (target < 150 ms)"

echo "== (d) processor figure in the tray, 100 ms interval, ${tray_seconds}s"
trayer --edge bottom --align right --widthtype pixel --width 96 --heighttype pixel --height 24 \
    --transparent false --SetDockType true --expand false >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 10 xdotool search --onlyvisible --class trayer >/dev/null
dir=$(settings tray '"DisplayProcInTray"=dword:00000001' '"Interval"=dword:00000064')
run_statlume "$dir" "$program" >"$work/tray.log" 2>&1 &
statlume=$!
pids+=("$statlume")
# The figure icon docked in the tray: a small window of the program.
docked() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$statlume" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" -le 48 ] && [ "$HEIGHT" -le 48 ] && return 0
    done
    return 1
}
wait_for 10 docked
sleep 5
rss0=$(status_kb $statlume VmRSS)
step=$((tray_seconds / 10))
samples=("$rss0")
for _ in $(seq 10); do
    sleep "$step"
    samples+=("$(status_kb $statlume VmRSS)")
done
rss1=${samples[-1]}
docked || echo "warning: the icon is no longer docked" >&2
stop $statlume
echo "RSS kB every ${step}s: ${samples[*]}"
echo "(d) RSS growth over $((step * 10))s = $((rss1 - rss0)) kB (target < 1024 kB over 600 s)"
