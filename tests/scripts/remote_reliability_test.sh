#!/usr/bin/env bash
# Reliability of the headless server under load, on loopback: many polling clients, clients
# that never read, and a flood of connections sending garbage. Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
cli=$build/src/cli/statlume-cli
loadgen=$build/tests/tools/statlume-loadgen
for tool in "$cli" "$loadgen"; do
    if [[ ! -x $tool ]]; then
        echo "missing $tool (build statlume-cli and statlume-loadgen first)"
        echo "0 passed, 1 failed"
        exit 1
    fi
done

work=$(mktemp -d /tmp/statlume-reliability.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

passed=0
failed=0
check() { # check NAME CONDITION-STATUS DETAIL
    if [[ $2 -eq 0 ]]; then
        passed=$((passed + 1))
        echo "ok:   $1"
    else
        failed=$((failed + 1))
        echo "FAIL: $1 ($3)"
    fi
}

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

accepts() { # accepts PORT: something listens on the loopback port
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }

# Samples the server's RSS every 200 ms while process $2 runs; prints the largest.
peak_rss_while() {
    local server=$1 watched=$2 peak=0 now
    while kill -0 "$watched" 2>/dev/null; do
        now=$(rss_kb "$server")
        ((now > peak)) && peak=$now
        sleep 0.2
    done
    echo "$peak"
}

field() { # field NAME FILE: the value of NAME=... in the loadgen report
    grep -o "\b$1=[0-9]*" "$2" | head -n 1 | cut -d= -f2
}

# Checks one normal loadgen report: every client kept receiving valid records.
check_clients() { # check_clients LABEL FILE CLIENTS MIN_VALID
    local label=$1 file=$2 clients=$3 least=$4
    local connected errors invalid minValid maxGap
    connected=$(field connected "$file")
    errors=$(field errors "$file")
    invalid=$(field invalid "$file")
    minValid=$(field min_valid "$file")
    maxGap=$(field max_gap_ms "$file")
    [[ ${connected:-0} -eq $clients && ${errors:-1} -eq 0 && ${invalid:-1} -eq 0 ]]
    check "$label: $clients clients connected, no errors, no invalid record" $? "$(tail -n 1 "$file")"
    [[ ${minValid:-0} -ge $least && ${maxGap:-99999} -lt 1000 ]]
    check "$label: every client got >= $least valid records, never 1 s without one" $? \
        "min_valid=$minValid max_gap_ms=$maxGap"
}

port=$(free_port)
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
    "$cli" --serve="$port" --interval 100 >"$work/server.out" 2>"$work/server.err" &
server=$!
pids+=("$server")
for _ in $(seq 50); do
    accepts "$port" && break
    sleep 0.1
done
accepts "$port"
check "server listens on 127.0.0.1:$port" $? "$(cat "$work/server.err")"
sleep 1
idle=$(rss_kb "$server")
echo "idle RSS: ${idle} kB"

# (a) 100 clients polling every 20 ms for 10 s: about 500 requests each.
"$loadgen" --port "$port" --clients 100 --interval 20 --seconds 10 >"$work/a.txt" 2>&1 &
a=$!
pids+=("$a")
peak=$(peak_rss_while "$server" "$a")
wait "$a"
cat "$work/a.txt"
echo "server RSS: idle ${idle} kB, peak under (a) ${peak} kB"
check_clients "(a) 100 polling clients" "$work/a.txt" 100 250
((peak - idle <= 2048))
check "(a) server RSS within 2 MB of idle" $? "idle ${idle} kB, peak ${peak} kB"

# (b) 50 clients that request without ever reading, beside 10 normal ones.
"$loadgen" --port "$port" --clients 50 --interval 20 --seconds 10 --no-read >"$work/b-noread.txt" 2>&1 &
b1=$!
"$loadgen" --port "$port" --clients 10 --interval 20 --seconds 10 >"$work/b-normal.txt" 2>&1 &
b2=$!
pids+=("$b1" "$b2")
peak=$(peak_rss_while "$server" "$b2")
wait "$b1" "$b2"
cat "$work/b-noread.txt" "$work/b-normal.txt"
echo "server RSS: idle ${idle} kB, peak under (b) ${peak} kB"
check_clients "(b) 10 normal clients beside 50 that never read" "$work/b-normal.txt" 10 250
((peak - idle <= 2048))
check "(b) server RSS within 2 MB of idle" $? "idle ${idle} kB, peak ${peak} kB"

# (c) 10,000 connections that send random bytes and disconnect.
timeout 120 "$loadgen" --port "$port" --clients 0 --garbage 10000 --seconds 60 >"$work/c.txt" 2>&1
cat "$work/c.txt"
kill -0 "$server" 2>/dev/null
check "(c) server alive after 10000 garbage connections" $? "$(tail -n 5 "$work/server.err")"
"$loadgen" --port "$port" --clients 1 --interval 50 --seconds 1 >"$work/c-after.txt" 2>&1
cat "$work/c-after.txt"
check_clients "(c) a normal client afterwards" "$work/c-after.txt" 1 5
echo "server RSS at the end: $(rss_kb "$server") kB"

# A server that ignores SIGTERM must fail the check, not hang the run until its timeout.
kill -TERM "$server"
for _ in $(seq 50); do
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$server" 2>/dev/null && kill -KILL "$server"
wait "$server"
status=$?
check "server ends with status 0 on SIGTERM" $status "status $status"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
