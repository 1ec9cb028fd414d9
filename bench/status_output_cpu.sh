#!/usr/bin/env bash
# CPU per update of the whole console program in each output style (--print, --json,
# --one-line) with the default template, collecting from this machine at a 5 ms interval and
# writing to a file, in one run. Usage: bench/status_output_cpu.sh [build-folder]
# (default: build/bench, a Release build). About 3 x 3 x ${SECONDS_PER_RUN:-8} s.
set -euo pipefail

build=${1:-build/bench}
cli=$build/src/cli/statlume-cli
[[ -x $cli ]] || { echo "missing $cli; cmake --preset bench && cmake --build --preset bench --target statlume-cli" >&2; exit 1; }
seconds=${SECONDS_PER_RUN:-8}
rounds=${ROUNDS:-3}
work=$(mktemp -d /tmp/statlume-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
ticks=$(getconf CLK_TCK)

# Microseconds of CPU per update of one run: user+system time of the process over the updates
# it wrote (--print ends each with an empty line, the others write one line each).
run() { # run STYLE-OPTION
    local out=$work/out.txt
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$cli" $1 --interval 5 > "$out" &
    local pid=$!
    sleep "$seconds"
    local cpu
    cpu=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    kill "$pid"
    wait "$pid" || true
    local updates
    if [ "$1" = --print ]; then updates=$(grep -c '^$' "$out"); else updates=$(wc -l < "$out"); fi
    awk -v c="$cpu" -v t="$ticks" -v u="$updates" 'BEGIN { printf "%.2f\n", c / t / u * 1e6 }'
}

declare -A total
for style in print json one-line; do total[$style]=0; done
for ((round = 1; round <= rounds; ++round)); do
    for style in print json one-line; do
        case $style in
        print) us=$(run --print) ;;
        json) us=$(run --json) ;;
        one-line) us=$(run --one-line) ;;
        esac
        echo "round $round  --$style: $us us CPU per update"
        total[$style]=$(awk -v a="${total[$style]}" -v b="$us" 'BEGIN { print a + b }')
    done
done
base=$(awk -v a="${total[print]}" -v n="$rounds" 'BEGIN { print a / n }')
for style in print json one-line; do
    awk -v a="${total[$style]}" -v n="$rounds" -v b="$base" -v s="$style" \
        'BEGIN { m = a / n; printf "--%-9s %8.2f us CPU per update (%+.1f %% vs --print)\n", s, m, (m - b) / b * 100 }'
done
