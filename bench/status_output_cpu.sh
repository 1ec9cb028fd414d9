#!/usr/bin/env bash
# CPU per update of the whole console program in each output style (--print, --json,
# --one-line) with the default template, collecting from this machine every ${INTERVAL_MS:-2} ms and
# writing to a file, in one run. Usage: bench/status_output_cpu.sh [build-folder]
# (default: build/bench, a Release build). About ${ROUNDS:-6} x ${SECONDS_PER_RUN:-8} s.
set -euo pipefail

build=${1:-build/bench}
cli=$build/src/cli/statlume-cli
[[ -x $cli ]] || { echo "missing $cli; cmake --preset bench && cmake --build --preset bench --target statlume-cli" >&2; exit 1; }
seconds=${SECONDS_PER_RUN:-8}
rounds=${ROUNDS:-6}
work=$(mktemp -d /tmp/statlume-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The three styles run side by side in each round, so a change in the machine's load touches
# them alike; use a multiple of 3 rounds. Microseconds of CPU per update: user+system time of each process over the
# updates it wrote (--print ends each with an empty line, the others write one line each).
styles=(print json one-line)
declare -A total
for style in "${styles[@]}"; do total[$style]=0; done
for ((round = 1; round <= rounds; ++round)); do
    declare -A pid
    # The start order changes every round: the process started first runs measurably
    # differently, whatever its style.
    order=("${styles[@]:round % 3}" "${styles[@]:0:round % 3}")
    for style in "${order[@]}"; do
        mkdir -p "$work/$style/config" "$work/$style/runtime"
        chmod 700 "$work/$style/runtime"
        XDG_CONFIG_HOME=$work/$style/config XDG_RUNTIME_DIR=$work/$style/runtime \
            "$cli" "--$style" --interval "${INTERVAL_MS:-2}" > "$work/$style.out" &
        pid[$style]=$!
    done
    sleep "$seconds"
    for style in "${styles[@]}"; do
        # Nanoseconds on the CPU of every thread of the process.
        cpu=$(cat /proc/"${pid[$style]}"/task/*/schedstat | awk '{ s += $1 } END { print s }')
        kill "${pid[$style]}"
        wait "${pid[$style]}" || true
        if [ "$style" = print ]; then
            updates=$(grep -c '^$' "$work/$style.out")
        else
            updates=$(wc -l < "$work/$style.out")
        fi
        us=$(awk -v c="$cpu" -v u="$updates" 'BEGIN { printf "%.2f", c / u / 1000 }')
        echo "round $round  --$style: $us us CPU per update ($updates updates)"
        total[$style]=$(awk -v a="${total[$style]}" -v b="$us" 'BEGIN { print a + b }')
    done
done
base=$(awk -v a="${total[print]}" -v n="$rounds" 'BEGIN { print a / n }')
for style in "${styles[@]}"; do
    awk -v a="${total[$style]}" -v n="$rounds" -v b="$base" -v s="$style" \
        'BEGIN { m = a / n; printf "--%-9s %8.2f us CPU per update (%+.1f %% vs --print)\n", s, m, (m - b) / b * 100 }'
done
