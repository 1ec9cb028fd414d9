#!/usr/bin/env bash
# Runs statlume-cli and conky side by side, both updating ten times a second on the console
# with the same figures, and reports CPU time per update and peak resident memory of each.
# Usage: bench/compare_conky.sh [path/to/statlume-cli] [seconds]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bench/src/cli/statlume-cli}
seconds=${2:-20}
ticks=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
# Neither program may outlive the script, whatever step fails.
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

command -v conky >/dev/null || { echo "conky is missing: scripts/install-deps --bench" >&2; exit 1; }
[ -x "$cli" ] || { echo "no statlume-cli at $cli (build the bench preset)" >&2; exit 1; }

# Own settings and run-time folders: the default template is measured, and the exit's
# saved settings and uptime records never reach the user's own.
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
    "$cli" --print --interval 100 >"$work/statlume.out" 2>&1 &
statlume=$!
pids+=("$statlume")
conky -c "$here/conky.conf" >"$work/conky.out" 2>"$work/conky.err" &
conky=$!
pids+=("$conky")

# CPU time in ns of all threads: utime + stime (clock-tick resolution) and the scheduler's
# own sums (schedstat of every task).
cpu_ns() { awk -v t="$ticks" '{ printf "%.0f", ($14 + $15) * 1e9 / t }' "/proc/$1/stat"; }
sched_ns() { cat /proc/$1/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f", sum }'; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
updates() { grep -c '^Proc %:' "$1" || true; }

# Start-up is left out: the figures are the differences over the measured span.
sleep 2
s_cpu0=$(cpu_ns $statlume); s_sched0=$(sched_ns $statlume); s_up0=$(updates "$work/statlume.out")
c_cpu0=$(cpu_ns $conky); c_sched0=$(sched_ns $conky); c_up0=$(updates "$work/conky.out")
sleep "$seconds"
s_cpu=$(( $(cpu_ns $statlume) - s_cpu0 )); s_sched=$(( $(sched_ns $statlume) - s_sched0 ))
c_cpu=$(( $(cpu_ns $conky) - c_cpu0 )); c_sched=$(( $(sched_ns $conky) - c_sched0 ))
s_updates=$(( $(updates "$work/statlume.out") - s_up0 ))
c_updates=$(( $(updates "$work/conky.out") - c_up0 ))
s_rss=$(peak_kb $statlume); c_rss=$(peak_kb $conky)
kill -INT $statlume $conky
wait $statlume $conky 2>/dev/null || true

report() {
    awk -v name="$1" -v cpu="$2" -v sched="$3" -v updates="$4" -v rss="$5" 'BEGIN {
        if (updates < 1) updates = 1
        printf "%-12s updates %5d  utime+stime/update %7.1f us  schedstat/update %7.1f us  peak RSS %6d kB\n",
               name, updates, cpu / updates / 1000, sched / updates / 1000, rss }'
}
echo "side by side for $seconds s after 2 s of start-up, update interval 100 ms"
report statlume-cli "$s_cpu" "$s_sched" "$s_updates" "$s_rss"
report conky "$c_cpu" "$c_sched" "$c_updates" "$c_rss"
awk -v ss="$s_sched" -v su="$s_updates" -v cs="$c_sched" -v cu="$c_updates" -v sr="$s_rss" -v cr="$c_rss" 'BEGIN {
    if (su > 0 && cu > 0 && cs > 0)
        printf "cpu per update (schedstat): statlume-cli / conky = %.3f (target <= 0.2)\n", (ss / su) / (cs / cu)
    printf "peak RSS: statlume-cli / conky = %.3f (target < 1, aim 4096 kB)\n", sr / cr }'
