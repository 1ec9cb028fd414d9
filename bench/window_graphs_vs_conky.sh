#!/usr/bin/env bash
# The window with the gallery's "graphs" template (4 graphs, 4 bars, thresholds) against the
# default template and against conky showing the same graphs (bench/conky-window-graphs.conf),
# and against the same template with its graphs 3 lines high ("tall", HEIGHT=3), all at once
# under one Xvfb with openbox, updating once a second; beside them a window whose one line has
# no tag ("still"), for the cost of a tick that draws nothing; with BASELINE_BIN, the graphs
# template drawn by that other statlume too ("baseline"), for a change's cost:
#  - CPU per update over SECONDS: utime + stime (10 ms ticks; utime alone too) and the
#    scheduler's own sums;
#  - the X server's part of each: the other two stopped for X_SECONDS (conky draws through X,
#    statlume sends finished images), less the X server's own idle cost;
#  - resident memory after the span: RSS and PSS.
# The graphs are full (30 updates) before the span starts. REPEATS rounds, each with fresh
# processes; prints every round, then the minimum and median of each figure.
# Usage: bench/window_graphs_vs_conky.sh [SECONDS] [REPEATS] (default 60 3)
# WARM_UP and X_SECONDS (default 32 and 20 seconds) shorten a trial run.
# STATLUME_BIN=path measures a statlume already built; otherwise a bench build of its own.
# Needs: scripts/install-deps --bench
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
warm_up=${WARM_UP:-32}
x_seconds=${X_SECONDS:-20}

source bench/window_common.sh
read_rounds "$@"
need_tools conky Xvfb openbox xprop python3
program=$(statlume_program)

start_xvfb 1600x1000x24
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'

names=(default graphs tall conky still)
baseline=${BASELINE_BIN:-}
[[ -n $baseline ]] && names+=(baseline)
tall_template=$work/graphs-tall.txt
sed 's/GRAPH=\([0-9]*\)/GRAPH=\1 HEIGHT=3/g' dist/templates/graphs.txt >"$tall_template"
declare -A pid
figures=$work/figures
: >"$figures"
# One figure of the current round: "NAME VALUE".
put() { echo "$1 $2" >>"$figures"; }

start_round() {
    local dir
    dir=$(settings "$1-default" '"X"=dword:00000000' '"Y"=dword:00000000')
    run_statlume "$dir" "$program" >"$work/$1-default.log" 2>&1 &
    pid[default]=$!
    dir=$(settings "$1-graphs" '"X"=dword:00000000' '"Y"=dword:00000190' \
        "$(format_string dist/templates/graphs.txt)")
    run_statlume "$dir" "$program" >"$work/$1-graphs.log" 2>&1 &
    pid[graphs]=$!
    dir=$(settings "$1-tall" '"X"=dword:00000400' '"Y"=dword:00000000' \
        "$(format_string "$tall_template")")
    run_statlume "$dir" "$program" >"$work/$1-tall.log" 2>&1 &
    pid[tall]=$!
    if [[ -n $baseline ]]; then
        dir=$(settings "$1-baseline" '"X"=dword:00000400' '"Y"=dword:00000190' \
            "$(format_string dist/templates/graphs.txt)")
        run_statlume "$dir" "$baseline" >"$work/$1-baseline.log" 2>&1 &
        pid[baseline]=$!
    fi
    conky -c bench/conky-window-graphs.conf >"$work/$1-conky.log" 2>&1 &
    pid[conky]=$!
    dir=$(settings "$1-still" '"X"=dword:00000200' '"Y"=dword:00000000' '"FormatString"="still"')
    run_statlume "$dir" "$program" >"$work/$1-still.log" 2>&1 &
    pid[still]=$!
    pids+=("${pid[@]}")
}

# CPU of each program and of the X server over the span, per update (one a second).
measure_together() {
    local name t0 t1
    declare -A stat0 sched0 user0
    for name in "${names[@]}"; do
        stat0[$name]=$(cpu_ns "${pid[$name]}")
        user0[$name]=$(user_ns "${pid[$name]}")
        sched0[$name]=$(sched_ns "${pid[$name]}")
    done
    local x0=$(sched_ns "$xvfb") xs0=$(cpu_ns "$xvfb")
    t0=$(now_ns)
    sleep "$seconds"
    t1=$(now_ns)
    local updates=$(awk -v d=$((t1 - t0)) 'BEGIN { print d / 1e9 }')
    per_update() { awk -v d="$1" -v n="$updates" 'BEGIN { printf "%.1f", d / n / 1000 }'; }
    for name in "${names[@]}"; do
        put "cpu_us.$name" "$(per_update $(($(cpu_ns "${pid[$name]}") - stat0[$name])))"
        put "sched_us.$name" "$(per_update $(($(sched_ns "${pid[$name]}") - sched0[$name])))"
        put "user_us.$name" "$(per_update $(($(user_ns "${pid[$name]}") - user0[$name])))"
    done
    put "cpu_us.xvfb_all" "$(per_update $(($(cpu_ns "$xvfb") - xs0)))"
    put "sched_us.xvfb_all" "$(per_update $(($(sched_ns "$xvfb") - x0)))"
}

# The X server's CPU per second while only the named programs run (none: its idle cost).
x_alone() {
    local name running=" $* " x0 t0 t1
    for name in "${names[@]}"; do
        [[ "$running" == *" $name "* ]] || kill -STOP "${pid[$name]}"
    done
    sleep 1
    x0=$(sched_ns "$xvfb")
    t0=$(now_ns)
    sleep "$x_seconds"
    t1=$(now_ns)
    awk -v d=$(($(sched_ns "$xvfb") - x0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.1f", d / (t / 1e9) / 1000 }'
    for name in "${names[@]}"; do kill -CONT "${pid[$name]}"; done
}

measure_x_share() {
    local idle name
    idle=$(x_alone)
    put "sched_us.xvfb_idle_per_s" "$idle"
    for name in "${names[@]}"; do
        put "sched_us.xvfb_for.$name" "$(awk -v a="$(x_alone "$name")" -v i="$idle" 'BEGIN { printf "%.1f", a - i }')"
    done
}

measure_memory() {
    local name
    for name in "${names[@]}"; do
        put "rss_kb.$name" "$(rss_kb "${pid[$name]}")"
        put "pss_kb.$name" "$(pss_kb "${pid[$name]}")"
    done
}

# Ratios of the round's figures: the last COUNT lines written.
put_ratios() {
    tail -n "$1" "$figures" | awk '
        { v[$1] = $2 }
        function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "n/a" }
        END {
            print "ratio.graphs_per_default.sched", ratio(v["sched_us.graphs"], v["sched_us.default"])
            print "ratio.graphs_per_default.cpu", ratio(v["cpu_us.graphs"], v["cpu_us.default"])
            print "ratio.graphs_per_conky.sched", ratio(v["sched_us.graphs"], v["sched_us.conky"])
            print "ratio.graphs_per_conky.cpu", ratio(v["cpu_us.graphs"], v["cpu_us.conky"])
            print "ratio.graphs_per_conky.with_x", ratio(v["sched_us.graphs"] + v["sched_us.xvfb_for.graphs"],
                v["sched_us.conky"] + v["sched_us.xvfb_for.conky"])
            print "ratio.tall_per_graphs.sched", ratio(v["sched_us.tall"], v["sched_us.graphs"])
            print "ratio.tall_per_conky.sched", ratio(v["sched_us.tall"], v["sched_us.conky"])
            print "ratio.tall_per_conky.with_x", ratio(v["sched_us.tall"] + v["sched_us.xvfb_for.tall"],
                v["sched_us.conky"] + v["sched_us.xvfb_for.conky"])
            if ("sched_us.baseline" in v) {
                print "ratio.graphs_per_baseline.sched", ratio(v["sched_us.graphs"], v["sched_us.baseline"])
                print "ratio.tall_per_baseline.sched", ratio(v["sched_us.tall"], v["sched_us.baseline"])
            }
            print "rss_kb.graphs_less_default", v["rss_kb.graphs"] - v["rss_kb.default"]
            print "pss_kb.graphs_less_default", v["pss_kb.graphs"] - v["pss_kb.default"]
        }' >>"$figures"
}

echo "$(nproc) cores; load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$repeats"); do
    before=$(wc -l <"$figures")
    put "round" "$round"
    put "load1" "$(cut -d' ' -f1 /proc/loadavg)"
    start_round "r$round"
    sleep "$warm_up"
    measure_together
    measure_memory
    measure_x_share
    put_ratios $(($(wc -l <"$figures") - before))
    for name in "${names[@]}"; do stop "${pid[$name]}"; done
    tail -n +$((before + 1)) "$figures" | column -t
done
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== min / median over $repeats rounds (us per update, kB; sched = scheduler sums," \
    "cpu = utime+stime in 10 ms ticks)"
awk '$1 != "round" { if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } v[$1] = v[$1] " " $2 }
    END { for (i = 1; i <= n; i++) print order[i], v[order[i]] }' "$figures" |
    while read -r name values; do
        # shellcheck disable=SC2086
        printf '%-36s min %10s  median %10s\n' "$name" "$(minimum $values)" "$(median $values)"
    done
echo "targets: graphs/default <= 1.5, graphs/conky <= 0.5, RSS graphs - default <= 2048 kB," \
    "tall/graphs (and tall/baseline) <= 1.2, tall/conky <= 0.5"
