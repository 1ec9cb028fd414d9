#!/usr/bin/env bash
# /metrics under load in one run: statlume-cli --metrics against prometheus-node-exporter
# (Debian, its default collectors), each scraped by 10 keep-alive clients on loopback
# (bench/http_scrape_bench.cpp). Reports scrapes per second, the exporter's CPU per scrape and
# per series, and whether statlume-cli's 1 s collection kept its schedule under the load.
# Usage: bench/metrics_vs_node_exporter.sh [build-folder]   (default: build/bench, Release;
# scripts/install-deps --bench installs the node exporter). Loopback only; about 30 s.
set -euo pipefail

build=${1:-build/bench}
cli=$build/src/cli/statlume-cli
bench=$build/bench/http_scrape_bench
for tool in "$cli" "$bench"; do
    [[ -x $tool ]] || { echo "missing $tool; cmake --preset bench && cmake --build --preset bench --target statlume-cli http_scrape_bench" >&2; exit 1; }
done
node=$(command -v prometheus-node-exporter || true)
seconds=${SECONDS_PER_RUN:-10}
ticks_per_s=$(getconf CLK_TCK)

work=$(mktemp -d /tmp/statlume-bench.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
series() { # number of samples in one scrape
    python3 -c 'import sys, urllib.request
body = urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}/metrics", timeout=5).read().decode()
print(sum(1 for l in body.splitlines() if l and not l.startswith("#")))' "$1"
}
wait_port() {
    for _ in $(seq 100); do
        python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# statlume-cli prints one JSON line a tick; each is time-stamped on arrival.
statlume_port=$(free_port)
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$cli" \
    --metrics="127.0.0.1:$statlume_port" --json --interval 1000 \
    > >(python3 -u -c 'import sys, time
for _ in sys.stdin: print(time.monotonic(), flush=True)' > "$work/ticks.txt") &
statlume_pid=$!
pids+=("$statlume_pid")
wait_port "$statlume_port"
if [[ -n $node ]]; then
    node_port=$(free_port)
    "$node" --web.listen-address="127.0.0.1:$node_port" > "$work/node.log" 2>&1 &
    node_pid=$!
    pids+=("$node_pid")
    wait_port "$node_port"
fi

measure() { # measure NAME PORT PID
    local n
    n=$(series "$2")
    local before start
    before=$(cpu_ticks "$3")
    start=$(date +%s.%N)
    STATLUME_SCRAPE_TARGET=127.0.0.1:$2 "$bench" --benchmark_min_time="$seconds" \
        --benchmark_format=json > "$work/$1.json"
    local end after
    end=$(date +%s.%N)
    after=$(cpu_ticks "$3")
    python3 - "$1" "$work/$1.json" "$n" "$before" "$after" "$ticks_per_s" "$start" "$end" <<'PY'
import json, sys
name, path, series, before, after, hz, start, end = sys.argv[1:]
run = json.load(open(path))["benchmarks"][0]
scrapes = run["scrapes"]
wall = float(end) - float(start)
cpu = (int(after) - int(before)) / int(hz)
per_scrape = cpu / scrapes * 1e6
print(f"{name:14s} {int(series):5d} series  {scrapes / wall:9.0f} scrapes/s  "
      f"{per_scrape:8.1f} us CPU/scrape  {per_scrape / int(series) * 1000:8.1f} ns CPU/series")
PY
}

echo "10 keep-alive clients, ${seconds} s each, loopback; CPU of the exporter process only"
start_tick=$(date +%s.%N)
measure statlume-cli "$statlume_port" "$statlume_pid"
end_tick=$(date +%s.%N)
if [[ -n ${node_pid:-} ]]; then
    measure node-exporter "$node_port" "$node_pid"
else
    echo "prometheus-node-exporter not installed (scripts/install-deps --bench): comparison skipped"
fi
python3 - "$work/ticks.txt" <<'PY'
import sys
# The first line is the render at start, before the schedule begins.
t = [float(l) for l in open(sys.argv[1])][1:]
gaps = [b - a for a, b in zip(t, t[1:])]
print(f"statlume-cli collection under load: {len(t)} ticks, gaps {min(gaps):.3f}..{max(gaps):.3f} s "
      f"(interval 1.000 s)")
PY
