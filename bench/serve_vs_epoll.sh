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
source "$(dirname "$0")/serve_common.sh"

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
