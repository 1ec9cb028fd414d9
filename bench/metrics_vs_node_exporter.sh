#!/usr/bin/env bash
# /metrics under load in one run: statlume-cli --metrics against prometheus-node-exporter
# (Debian, its default collectors), each scraped by 10 keep-alive clients on loopback
# (bench/http_scrape_bench.cpp), in clear and then over TLS with basic authentication from
# one web configuration file both take (a throwaway CA made here with openssl). Reports
# scrapes per second, the median scrape after the first, the exporter's CPU per scrape and
# per series, and whether statlume-cli's 1 s collection kept its schedule under the load.
# Usage: bench/metrics_vs_node_exporter.sh [build-folder]   (default: build/bench, Release;
# scripts/install-deps --bench installs the node exporter, openssl and htpasswd). Loopback
# only; about a minute.
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
series() { # number of samples in one scrape (over TLS with a password when the bench's
           # variables say so)
    python3 -c 'import base64, os, ssl, sys, urllib.request
ca, auth = os.environ.get("STATLUME_SCRAPE_CA"), os.environ.get("STATLUME_SCRAPE_AUTH")
scheme = "https" if ca else "http"
request = urllib.request.Request(f"{scheme}://127.0.0.1:{sys.argv[1]}/metrics")
if auth:
    request.add_header("Authorization", "Basic " + base64.b64encode(auth.encode()).decode())
context = ssl.create_default_context(cafile=ca) if ca else None
body = urllib.request.urlopen(request, timeout=5, context=context).read().decode()
print(sum(1 for l in body.splitlines() if l and not l.startswith("#")))' "$1"
}
wait_port() {
    for _ in $(seq 100); do
        python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

start_statlume() { # start_statlume TICKS-FILE [OPTION...]: sets statlume_port, statlume_pid
    statlume_port=$(free_port)
    # statlume-cli prints one JSON line a tick; each is time-stamped on arrival.
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$cli" \
        --metrics="127.0.0.1:$statlume_port" --json --interval 1000 "${@:2}" \
        > >(python3 -u -c 'import sys, time
for _ in sys.stdin: print(time.monotonic(), flush=True)' > "$1") &
    statlume_pid=$!
    pids+=("$statlume_pid")
    wait_port "$statlume_port"
}
start_node() { # start_node [OPTION...]: sets node_port, node_pid
    node_port=$(free_port)
    "$node" --web.listen-address="127.0.0.1:$node_port" "$@" >> "$work/node.log" 2>&1 &
    node_pid=$!
    pids+=("$node_pid")
    wait_port "$node_port"
}
start_statlume "$work/ticks.txt"
[[ -n $node ]] && start_node

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
print(f"{name:18s} {int(series):5d} series  {scrapes / wall:9.0f} scrapes/s  "
      f"median {run['median_us'] / 1000:6.3f} ms  "
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
ticks() { # ticks FILE LABEL
    python3 - "$1" "$2" <<'PY'
import sys
# The first line is the render at start, before the schedule begins.
t = [float(l) for l in open(sys.argv[1])][1:]
gaps = [b - a for a, b in zip(t, t[1:])]
print(f"statlume-cli collection under {sys.argv[2]}: {len(t)} ticks, "
      f"gaps {min(gaps):.3f}..{max(gaps):.3f} s (interval 1.000 s)")
PY
}
ticks "$work/ticks.txt" "load"

# The same over TLS with basic authentication: one web configuration file for both.
if ! command -v openssl >/dev/null || ! command -v htpasswd >/dev/null; then
    echo "openssl or htpasswd missing (scripts/install-deps --bench): TLS run skipped"
    exit 0
fi
kill "$statlume_pid" ${node_pid:+"$node_pid"} 2>/dev/null || true
(
    cd "$work"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
        -subj /CN=bench-ca -keyout ca.key -out ca.crt
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=127.0.0.1 \
        -keyout server.key -out server.csr
    echo "subjectAltName=IP:127.0.0.1" > server.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
        -extfile server.ext -out server.crt
) > "$work/openssl.log" 2>&1
printf 'tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\nbasic_auth_users:\n  prometheus: %s\n' \
    "$(htpasswd -nbBC 10 "" 'bench secret' | tr -d ':\n')" > "$work/web-config.yml"
export STATLUME_SCRAPE_CA=$work/ca.crt STATLUME_SCRAPE_AUTH='prometheus:bench secret'
start_statlume "$work/ticks-tls.txt" --metrics-web-config="$work/web-config.yml"
[[ -n $node ]] && start_node --web.config.file="$work/web-config.yml"
echo "the same over TLS (ECDSA P-256) with basic authentication (bcrypt cost 10), one web config"
measure statlume-cli-tls "$statlume_port" "$statlume_pid"
[[ -n $node ]] && measure node-exporter-tls "$node_port" "$node_pid"
ticks "$work/ticks-tls.txt" "TLS load"
