# Shared by the window benchmarks (sourced, not run): a scratch folder and the processes to
# end on exit, an Xvfb to draw on, settings folders for statlume runs, and the per-process
# figures read from /proc.

ticks=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
# Nothing started here may outlive the script, whatever step fails.
cleanup() {
    # Stopped ones (the X share phases) are woken first, or TERM waits.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -CONT "${pids[i]}" 2>/dev/null || true
        kill "${pids[i]}" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

need_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/install-deps --bench" >&2; exit 1; }
    done
}

# SECONDS and REPEATS from the arguments (default 60 and 3), bounded, into $seconds and $repeats.
read_rounds() {
    seconds=${1:-60}
    repeats=${2:-3}
    [[ "$seconds" =~ ^[0-9]+$ ]] && ((seconds >= 10 && seconds <= 3600)) ||
        { echo "SECONDS must be 10..3600" >&2; exit 2; }
    [[ "$repeats" =~ ^[0-9]+$ ]] && ((repeats >= 1 && repeats <= 20)) ||
        { echo "REPEATS must be 1..20" >&2; exit 2; }
}

# The statlume to measure: STATLUME_BIN, or a bench build of its own (its output to stderr).
statlume_program() {
    if [[ -n ${STATLUME_BIN:-} ]]; then
        echo "$STATLUME_BIN"
        return
    fi
    cmake --preset bench >/dev/null
    cmake --build --preset bench -j2 --target statlume >&2
    echo build/bench/src/cli/statlume
}

# Runs a check every 0.1 s until it succeeds; fails after the given seconds.
wait_for() {
    local seconds=$1; shift
    for _ in $(seq $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    echo "timed out after ${seconds}s: $*" >&2
    return 1
}
# Ends one started process, TERM first, KILL after 5 s.
stop() {
    kill "$1" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# Starts an Xvfb of the given screen size and makes it the display of what follows; its pid
# is left in $xvfb.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.err" &
    xvfb=$!
    pids+=("$xvfb")
    wait_for 10 grep -q '[0-9]' "$work/display"
    export DISPLAY=:$(head -1 "$work/display")
    unset WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb
}

# A settings and run-time folder of its own for each statlume run; the registry lines given
# are stored before the start (the current "Version", or the program starts afresh).
settings() {
    local dir=$work/$1
    shift
    mkdir -p "$dir/config/statlume" "$dir/runtime"
    chmod 700 "$dir/config" "$dir/config/statlume" "$dir/runtime"
    {
        printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n"Version"=dword:00000054\n'
        [ $# -gt 0 ] && printf '%s\n' "$@"
    } >"$dir/config/statlume/settings.reg"
    chmod 600 "$dir/config/statlume/settings.reg"
    echo "$dir"
}
# Runs a command with a settings folder; exec, so a background job's pid is the program's.
run_statlume() {
    local dir=$1
    shift
    XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/runtime exec "$@"
}
# A template file as a "FormatString" registry line: backslash, quote and line breaks escaped.
format_string() {
    python3 -c 'import sys; t = open(sys.argv[1], encoding="utf-8").read().rstrip("\n")
print("\"FormatString\"=\"" + t.replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\r\\n") + "\"")' "$1"
}

# CPU time in ns of all threads: utime + stime (clock ticks) and the scheduler's own sums.
cpu_ns() { awk -v t="$ticks" '{ printf "%.0f", ($14 + $15) * 1e9 / t }' "/proc/$1/stat"; }
user_ns() { awk -v t="$ticks" '{ printf "%.0f", $14 * 1e9 / t }' "/proc/$1/stat"; }
sched_ns() { cat /proc/$1/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f", sum }'; }
status_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }
pss_kb() { awk '$1 == "Pss:" { print $2 }' "/proc/$1/smaps_rollup"; }
rss_kb() { awk '$1 == "Rss:" { print $2 }' "/proc/$1/smaps_rollup"; }
now_ns() { date +%s%N; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { printf '%s\n' "$@" | sort -g | head -1; }
