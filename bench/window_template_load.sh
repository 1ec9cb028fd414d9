#!/usr/bin/env bash
# Cost of large templates in the desktop program under Xvfb without a compositor and with
# Transparent on (the shaped window): for 1,000 and 100,000 template lines, with every line
# changing each tick ("all") or only the first ("one"), prints the start time (process start
# to the window mapped), the resident memory after start and the processor time per tick
# over TICK_SECONDS at the default 1 s interval. Also the memory of a stored 16384 x 16384 size.
# Usage: bench/window_template_load.sh [TICK_SECONDS] (default 10)
# STATLUME_BIN=path measures a statlume already built; otherwise a bench build of its own.
# Needs: scripts/install-deps --bench
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
tick_seconds=${1:-10}
[[ "$tick_seconds" =~ ^[0-9]+$ ]] && ((tick_seconds >= 2 && tick_seconds <= 600)) ||
    { echo "TICK_SECONDS must be 2..600" >&2; exit 2; }
for tool in Xvfb xdotool python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/install-deps --bench" >&2; exit 1; }
done
source bench/window_common.sh
program=$(statlume_program)
start_xvfb 1280x1024x24

# Writes a settings file: Transparent on and the given extra lines.
transparent_settings() {
    local config=$1; shift
    mkdir -p "$config/statlume"
    chmod 700 "$config" "$config/statlume"
    {
        printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n'
        printf '"Version"=dword:00000054\n"Trans"=dword:00000001\n'
        printf '%s\n' "$@"
    } >"$config/statlume/settings.reg"
    chmod 600 "$config/statlume/settings.reg"
}

# A "FormatString" line of N template lines; "all" changes every line each second.
template() {
    python3 - "$1" "$2" <<'EOF'
import sys
lines, kind = int(sys.argv[1]), sys.argv[2]
moving = 'Up <NAME=Uptime FORMAT=\\"*S*\\"> %d'
rows = [moving % i if kind == "all" or i == 0 else "static %d" % i for i in range(lines)]
print('"FormatString"="' + "\\r\\n".join(rows) + '"')
EOF
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_mb() { awk '/^VmRSS:/ {printf "%.0f", $2 / 1024}' "/proc/$1/status"; }

# Starts statlume on a settings folder; prints start ms, RSS MB and CPU ms per tick.
measure() {
    local config=$1 runtime=$work/runtime-$RANDOM
    mkdir -p "$runtime" && chmod 700 "$runtime"
    local start=$(date +%s%N)
    XDG_CONFIG_HOME=$config XDG_RUNTIME_DIR=$runtime "$program" >"$work/log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    local mapped=""
    for _ in $(seq 1200); do
        if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then
            mapped=$(( ($(date +%s%N) - start) / 1000000 ))
            break
        fi
        sleep 0.05
    done
    sleep 2
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "ended after ${mapped:-never} ms: $(tr -cd '[:print:]\n' <"$work/log" | tail -2)"
        return 0
    fi
    local rss=$(rss_mb "$pid") before=$(cpu_ticks "$pid")
    sleep "$tick_seconds"
    local after=$(cpu_ticks "$pid")
    local per_tick=$(( (after - before) * 1000 / ticks / tick_seconds ))
    local stop=$(date +%s%N)
    kill "$pid"
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    local exit_ms=$(( ($(date +%s%N) - stop) / 1000000 ))
    echo "start ${mapped:-never} ms, RSS $rss MB, $per_tick ms CPU per tick, exit $exit_ms ms"
}

for lines in 1000 100000; do
    for kind in one all; do
        config=$work/config-$lines-$kind
        transparent_settings "$config" "$(template "$lines" "$kind")"
        printf '%6d lines, %3s changing: ' "$lines" "$kind"
        measure "$config"
    done
done
config=$work/config-huge
transparent_settings "$config" '"W"=dword:00004000' '"H"=dword:00004000'
printf 'stored 16384 x 16384:        '
measure "$config"
