#!/usr/bin/env bash
# Runs statlume-cli and conky side by side among 2,000 extra sleeping processes, both showing
# the five processes using the most processor time (name and share) once a second, and
# reports CPU time per update of each and their ratio.
# Usage: bench/top_vs_conky.sh [path/to/statlume-cli] [seconds] [runs]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bench/src/cli/statlume-cli}
seconds=${2:-30}
runs=${3:-3}
sleepers=2000
ticks=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
sleeping=()
# No program and no sleeper may outlive the script, whatever step fails.
cleanup() {
    for pid in "${pids[@]}" "${sleeping[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

command -v conky >/dev/null || { echo "conky is missing: scripts/install-deps --bench" >&2; exit 1; }
[ -x "$cli" ] || { echo "no statlume-cli at $cli (build the bench preset)" >&2; exit 1; }

for ((i = 0; i < sleepers; i++)); do
    sleep 100000 &
    sleeping+=("$!")
done
echo "$sleepers sleeping processes started; $(ls -d /proc/[0-9]* | wc -l) processes in all"

template='Top1 <NAME=TopCPU FORMAT="1 NAME"> <NAME=TopCPU FORMAT="1 CPU" DECIMAL>
Top2 <NAME=TopCPU FORMAT="2 NAME"> <NAME=TopCPU FORMAT="2 CPU" DECIMAL>
Top3 <NAME=TopCPU FORMAT="3 NAME"> <NAME=TopCPU FORMAT="3 CPU" DECIMAL>
Top4 <NAME=TopCPU FORMAT="4 NAME"> <NAME=TopCPU FORMAT="4 CPU" DECIMAL>
Top5 <NAME=TopCPU FORMAT="5 NAME"> <NAME=TopCPU FORMAT="5 CPU" DECIMAL>'

# CPU time in ns of all threads: utime + stime (clock-tick resolution) and the scheduler's
# own sums (schedstat of every task).
cpu_ns() { awk -v t="$ticks" '{ printf "%.0f", ($14 + $15) * 1e9 / t }' "/proc/$1/stat"; }
sched_ns() { cat /proc/$1/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f", sum }'; }
updates() { grep -c '^Top1 ' "$1" || true; }
report() {
    awk -v name="$1" -v cpu="$2" -v sched="$3" -v updates="$4" 'BEGIN {
        if (updates < 1) updates = 1
        printf "  %-12s updates %4d  utime+stime/update %8.1f us  schedstat/update %8.1f us\n",
               name, updates, cpu / updates / 1000, sched / updates / 1000 }'
}

run_once() {
    local run=$1 config=$work/config$1 runtime=$work/runtime$1
    # Own settings and run-time folders, so the exit's saved settings never reach the user's.
    mkdir -p "$config" "$runtime"
    chmod 700 "$runtime"
    XDG_CONFIG_HOME=$config XDG_RUNTIME_DIR=$runtime \
        "$cli" --print --interval 1000 --template "$template" >"$work/statlume$run.out" 2>&1 &
    local statlume=$!
    conky -c "$here/conky-top.conf" >"$work/conky$run.out" 2>"$work/conky$run.err" &
    local conky=$!
    pids=("$statlume" "$conky")

    # Start-up and the first samples are left out: the figures are differences over the span.
    sleep 3
    local s_cpu0 s_sched0 s_up0 c_cpu0 c_sched0 c_up0
    s_cpu0=$(cpu_ns $statlume); s_sched0=$(sched_ns $statlume); s_up0=$(updates "$work/statlume$run.out")
    c_cpu0=$(cpu_ns $conky); c_sched0=$(sched_ns $conky); c_up0=$(updates "$work/conky$run.out")
    sleep "$seconds"
    local s_cpu=$(($(cpu_ns $statlume) - s_cpu0)) s_sched=$(($(sched_ns $statlume) - s_sched0))
    local c_cpu=$(($(cpu_ns $conky) - c_cpu0)) c_sched=$(($(sched_ns $conky) - c_sched0))
    local s_updates=$(($(updates "$work/statlume$run.out") - s_up0))
    local c_updates=$(($(updates "$work/conky$run.out") - c_up0))
    kill -INT $statlume $conky
    wait $statlume $conky 2>/dev/null || true
    pids=()

    echo "run $run: side by side for $seconds s after 3 s of start-up, update interval 1 s"
    report statlume-cli "$s_cpu" "$s_sched" "$s_updates"
    report conky "$c_cpu" "$c_sched" "$c_updates"
    awk -v ss="$s_sched" -v su="$s_updates" -v cs="$c_sched" -v cu="$c_updates" \
        -v sc="$s_cpu" -v cc="$c_cpu" 'BEGIN {
        if (su > 0 && cu > 0 && cs > 0 && cc > 0)
            printf "  cpu per update: statlume-cli / conky = %.3f schedstat, %.3f utime+stime (target <= 0.5)\n",
                   (ss / su) / (cs / cu), (sc / su) / (cc / cu) }'
    echo "  last statlume-cli update:"
    awk '/^Top1 /{ n = 0 } /^Top[1-5] /{ last[n++] = $0 } END { for (i = 0; i < n; i++) print "    " last[i] }' \
        "$work/statlume$run.out"
}

for ((run = 1; run <= runs; run++)); do
    run_once "$run"
done
