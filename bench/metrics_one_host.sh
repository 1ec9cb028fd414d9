#!/usr/bin/env bash
# /metrics scraped by many keep-alive connections from one address, as a reverse proxy, a
# Prometheus pair beside a federation client, or a load test make it: wrk with 1, 4, 8, 16
# and 64 connections from 127.0.0.1, in clear and over TLS with basic authentication (a
# throwaway CA made here with openssl), then scrapes beside a slot holder (one host keeping 16
# silent connections and reopening each one closed), from another address and from its own.
# Prints scrapes per second and wrk's errors for each run, and how the beside-scrapes went.
# Usage: bench/metrics_one_host.sh STATLUME-CLI   (wrk, openssl, htpasswd and python3 on PATH;
# loopback only; about two minutes).
set -euo pipefail

cli=$(realpath "${1:?usage: $0 STATLUME-CLI}")
seconds=${SECONDS_PER_RUN:-5}
for tool in wrk openssl htpasswd python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
work=$(mktemp -d /tmp/statlume-one-host.XXXXXX)
pid=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
cd "$work"
mkdir -p config runtime && chmod 700 runtime
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

(
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
        -subj /CN=bench-ca -keyout ca.key -out ca.crt
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=127.0.0.1 \
        -keyout server.key -out server.csr
    printf 'subjectAltName=IP:127.0.0.1\n' > server.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
        -extfile server.ext -out server.crt
) > openssl.log 2>&1
printf 'tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\nbasic_auth_users:\n  bench: %s\n' \
    "$(htpasswd -nbBC 10 "" 'bench secret' | tr -d ':\n')" > web.yml
auth="Authorization: Basic $(printf 'bench:bench secret' | base64)"

serve() { # ARGS...: starts the exporter and waits for its port
    port=$(free_port)
    "$cli" --metrics=127.0.0.1:$port --interval 1000 --print --template x "$@" > /dev/null 2> cli.err &
    pid=$!
    for _ in $(seq 50); do
        python3 -c "import socket; socket.create_connection(('127.0.0.1', $port)).close()" 2>/dev/null && return
        sleep 0.1
    done
}
stop() { kill "$pid"; wait "$pid" 2>/dev/null || true; pid=; }

run() { # SCHEME CONNECTIONS EXTRA-WRK-ARGS...
    local scheme=$1 connections=$2
    shift 2
    local out
    out=$(wrk -t1 -c"$connections" -d"${seconds}s" --timeout 2s "$@" "$scheme://127.0.0.1:$port/metrics" 2>&1)
    local rate errors
    rate=$(awk '/Requests\/sec/ {printf "%.0f", $2}' <<< "$out")
    errors=$(awk '/Socket errors/ {sub(/.*errors: /, ""); print}' <<< "$out")
    printf '%-5s %3s connections: %8s scrapes/s  errors: %s\n' "$scheme" "$connections" "$rate" "${errors:-none}"
}

serve
for c in 1 4 8 16 64; do run http "$c"; done
stop
serve --metrics-web-config=web.yml
for c in 1 4 8 16 64; do run https "$c" -H "$auth"; done
stop

serve
python3 - "$port" <<'PY'
import select, socket, sys, threading, time
port = int(sys.argv[1])
holding = threading.Event()
holding.set()
def holder():
    held = []
    while holding.is_set():
        held = [s for s in held if not select.select([s], [], [], 0)[0] or s.close()]
        while len(held) < 16:
            try:
                held.append(socket.create_connection(("127.0.0.1", port), timeout=1))
            except OSError:
                break
        time.sleep(0.005)
    for s in held:
        s.close()
def scrape(source):
    start = time.monotonic()
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=2, source_address=(source, 0))
        s.sendall(b"GET /metrics HTTP/1.0\r\n\r\n")
        reply = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
        s.close()
    except OSError:
        reply = b""
    return reply.startswith(b"HTTP/1.1 200"), time.monotonic() - start
thread = threading.Thread(target=holder)
thread.start()
time.sleep(0.5)
for source, name in (("127.0.0.2", "another address"), ("127.0.0.1", "the holder's address")):
    results = []
    for _ in range(20):
        results.append(scrape(source))
        time.sleep(0.25)
    ok = [t for good, t in results if good]
    print(f"beside a 16-connection holder, from {name}: {len(ok)} of 20 answered, "
          f"slowest {max(ok, default=0) * 1000:.0f} ms")
holding.clear()
thread.join()
PY
stop
