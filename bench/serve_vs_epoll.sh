#!/usr/bin/env bash
# Request rate of the headless server (with a password, so every reply is encrypted) against a
# bare epoll server that answers every "T" with fixed bytes, under the same load, in one run.
# Usage: bench/serve_vs_epoll.sh [build-folder]   (default: build/ci; use an optimised
# build: RelWithDebInfo or Release). Loopback only; about 25 s.
set -euo pipefail

build=${1:-build/ci}
cli=$build/src/cli/statlume-cli
loadgen=$build/tests/tools/statlume-loadgen
epoll=$build/tests/tools/bare-epoll-server
for tool in "$cli" "$loadgen" "$epoll"; do
    [[ -x $tool ]] || { echo "missing $tool; build statlume-cli statlume-loadgen bare-epoll-server" >&2; exit 1; }
done
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
wait_port() { for _ in $(seq 50); do accepts "$1" && return 0; sleep 0.1; done; return 1; }
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
field() { grep -o "\b$1=[0-9.]*" "$2" | head -n 1 | cut -d= -f2; }
ticks_per_s=$(getconf CLK_TCK)

# Runs the load against port, measuring the server process pid; prints "replies/s cpu-us/reply".
measure() { # measure NAME PID PORT
    local name=$1 pid=$2 port=$3 before after replies rate
    before=$(cpu_ticks "$pid")
    "$loadgen" --port "$port" --clients "$clients" --flood --threads "$threads" \
        --seconds "$seconds" >"$work/$name.txt" 2>&1 || true
    after=$(cpu_ticks "$pid")
    replies=$(field replies "$work/$name.txt")
    rate=$(field replies_per_s "$work/$name.txt")
    sed 's/^/  /' "$work/$name.txt" >&2
    awk -v r="$rate" -v n="$replies" -v d="$((after - before))" -v hz="$ticks_per_s" \
        'BEGIN { printf "%.0f %.2f %.2f\n", r, (n > 0 ? d / hz * 1e6 / n : 0), d / hz }'
}

echo "load: $clients clients, each asking again as soon as its reply is complete, ${seconds} s," \
    "loadgen on $threads threads; $(nproc) CPUs"

port=$(free_port)
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
    "$cli" --serve="$port" -dsecret --interval 1000 >/dev/null 2>"$work/server.err" &
server=$!
pids+=("$server")
wait_port "$port" || { echo "statlume-cli did not listen: $(cat "$work/server.err")" >&2; exit 1; }
echo "statlume-cli --serve -dsecret:"
read -r ours_rate ours_us ours_cpu < <(measure statlume "$server" "$port")
kill -TERM "$server"
wait "$server" || true

port=$(free_port)
"$epoll" --port "$port" --seconds $((seconds + 20)) >"$work/epoll.out" 2>&1 &
bare=$!
pids+=("$bare")
wait_port "$port" || { echo "bare-epoll-server did not listen" >&2; exit 1; }
echo "bare-epoll-server:"
read -r bare_rate bare_us bare_cpu < <(measure epoll "$bare" "$port")
kill "$bare" 2>/dev/null || true

echo
printf "%-28s %12s %16s %12s\n" "server" "replies/s" "CPU us/reply" "CPU s"
printf "%-28s %12s %16s %12s\n" "statlume-cli --serve -d" "$ours_rate" "$ours_us" "$ours_cpu"
printf "%-28s %12s %16s %12s\n" "bare-epoll-server" "$bare_rate" "$bare_us" "$bare_cpu"
awk -v a="$ours_rate" -v b="$bare_rate" \
    'BEGIN { r = (b > 0 ? a / b : 0); printf "ratio statlume/bare: %.2f (target >= 0.60): %s\n", r, (r >= 0.6 ? "met" : "NOT met") }'
