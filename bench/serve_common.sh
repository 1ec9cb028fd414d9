# Shared by the serving benchmarks (sourced, not run): the load's settings, a scratch folder
# and the processes to end on exit, and measure(), which runs the load generator against a
# port and prints "replies/s cpu-us/reply cpu-s" of the measured server process.
# Needs $loadgen set before it is sourced.

clients=${CLIENTS:-50}
seconds=${SECONDS_PER_RUN:-10}
threads=${LOADGEN_THREADS:-2}

work=$(mktemp -d /tmp/statlume-bench.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}
accepts() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
wait_port() { for _ in $(seq 100); do accepts "$1" && return 0; sleep 0.1; done; return 1; }
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
field() { grep -o "\b$1=[0-9.]*" "$2" | head -n 1 | cut -d= -f2; }
ticks_per_s=$(getconf CLK_TCK)

measure() { # measure NAME PID PORT [LOADGEN-ARGS...]
    local name=$1 pid=$2 port=$3 before after replies rate
    shift 3
    before=$(cpu_ticks "$pid")
    "$loadgen" --port "$port" --clients "$clients" --flood --threads "$threads" \
        --seconds "$seconds" "$@" >"$work/$name.txt" 2>&1 || true
    after=$(cpu_ticks "$pid")
    replies=$(field replies "$work/$name.txt")
    rate=$(field replies_per_s "$work/$name.txt")
    sed 's/^/  /' "$work/$name.txt" >&2
    awk -v r="$rate" -v n="$replies" -v d="$((after - before))" -v hz="$ticks_per_s" \
        'BEGIN { printf "%.0f %.2f %.2f\n", r, (n > 0 ? d / hz * 1e6 / n : 0), d / hz }'
}
