#!/usr/bin/env bash
# A real Prometheus, on loopback with the sample configuration in docs/, scrapes
# statlume-cli --metrics twice: in clear, and over TLS with basic auth from a web
# configuration (a throwaway CA made here with openssl); PromQL queries must return the
# figures each console printed at the same ticks. Prometheus (Debian "prometheus") comes with scripts/install-deps --test, which
# scripts/test runs; without it the test is skipped. Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
docs=$here/../../docs
cli=$build/src/cli/statlume-cli

for tool in prometheus openssl htpasswd; do
    if ! command -v $tool >/dev/null; then
        echo "$tool is not installed (scripts/install-deps --test): test skipped"
        echo "0 passed, 0 failed, 1 skipped"
        exit 0
    fi
done
if [[ ! -x $cli ]]; then
    echo "missing $cli"
    echo "0 passed, 1 failed"
    exit 1
fi

work=$(mktemp -d /tmp/statlume-prometheus.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

free_port() {
    python3 "$here/free_port.py"
}
metrics_port=$(free_port)
tls_port=$(free_port)
prom_port=$(free_port)

# The sample configuration as shipped, with this machine as its only target and a short
# interval so the test ends soon.
sed -e 's/scrape_interval: 15s/scrape_interval: 1s/' -e 's/scrape_timeout: 5s/scrape_timeout: 1s/' \
    "$docs/prometheus.yml" > "$work/prometheus.yml"
printf -- '- targets: ["127.0.0.1:%s"]\n  labels:\n    site: test\n' "$metrics_port" \
    > "$work/statlume-targets.yml"
printf -- '- targets: ["127.0.0.1:%s"]\n' "$tls_port" > "$work/statlume-tls-targets.yml"

# The TLS side: a CA and a certificate for 127.0.0.1, the password in the files the sample
# configuration names.
(
    cd "$work" || exit 1
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
        -subj /CN=statlume-test-ca -keyout ca.key -out statlume-ca.crt
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=127.0.0.1 \
        -keyout server.key -out server.csr
    echo "subjectAltName=IP:127.0.0.1" > server.ext
    openssl x509 -req -in server.csr -CA statlume-ca.crt -CAkey ca.key -CAcreateserial \
        -days 2 -extfile server.ext -out server.crt
) > "$work/openssl.log" 2>&1
printf 'scrape secret' > "$work/statlume-scrape-password"
printf 'tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\nbasic_auth_users:\n  prometheus: %s\n' \
    "$(htpasswd -nbBC 10 "" 'scrape secret' | tr -d ':\n')" > "$work/web-config.yml"

mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$cli" \
    --metrics="127.0.0.1:$metrics_port" --print --one-line --interval 1000 \
    --template '<NAME=ProcUsage DECIMAL>|<NAME=RAMTotal>|<NAME=RAMFree>' \
    > "$work/console.txt" 2> "$work/cli.err" &
pids+=($!)
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$cli" \
    --metrics="127.0.0.1:$tls_port" --metrics-web-config="$work/web-config.yml" \
    --print --one-line --interval 1000 \
    --template '<NAME=ProcUsage DECIMAL>|<NAME=RAMTotal>|<NAME=RAMFree>' \
    > "$work/console-tls.txt" 2>> "$work/cli.err" &
pids+=($!)
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data" \
    --web.listen-address="127.0.0.1:$prom_port" --log.level=warn > "$work/prometheus.log" 2>&1 &
pids+=($!)

python3 - "$prom_port" "$work/console.txt" "$work/console-tls.txt" <<'PY'
import json, sys, time, urllib.parse, urllib.request

port, consoles = sys.argv[1], {"statlume": sys.argv[2], "statlume-tls": sys.argv[3]}
passed = failed = 0

def check(name, ok, detail=""):
    global passed, failed
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
    passed, failed = passed + ok, failed + (not ok)

def query(expr):
    url = f"http://127.0.0.1:{port}/api/v1/query?" + urllib.parse.urlencode({"query": expr})
    with urllib.request.urlopen(url, timeout=3) as reply:
        return json.load(reply)["data"]["result"]

def console_lines(console):
    with open(console) as f:
        return [line.strip().split("|") for line in f if line.count("|") == 2]

def check_job(job, console, deadline):
    cpu = ram = []
    while time.time() < deadline:
        try:
            cpu = query(f'statlume_cpu_usage_ratio{{cpu="total",job="{job}"}}')
            ram = query(f'statlume_memory_bytes{{kind="ram",job="{job}"}}')
            if cpu and len(ram) == 2:
                break
        except OSError:
            pass
        time.sleep(0.5)
    check(f"{job}: prometheus scraped statlume_cpu_usage_ratio", bool(cpu), str(cpu))
    check(f"{job}: prometheus scraped statlume_memory_bytes{{kind=ram}}", len(ram) == 2, str(ram))
    up = query(f'statlume_up{{job="{job}"}}') if cpu else []
    check(f"{job}: statlume_up is 1 with a host label", bool(up) and up[0]["value"][1] == "1"
          and up[0]["metric"].get("host") == "127.0.0.1", str(up))
    if not (cpu and len(ram) == 2):
        return
    ratio = float(cpu[0]["value"][1])
    total = next(float(r["value"][1]) for r in ram if r["metric"]["state"] == "total")
    free = next(float(r["value"][1]) for r in ram if r["metric"]["state"] == "free")
    lines = console_lines(console)
    # The scraped sample is one of the ticks the console printed.
    check(f"{job}: cpu figure matches a console tick",
          any(abs(ratio * 100 - float(l[0])) <= 0.006 for l in lines),
          f"{ratio * 100:.4f} not in {[l[0] for l in lines]}")
    check(f"{job}: RAM total matches the console in MB",
          any(round(total / 1048576) == int(l[1]) for l in lines), f"{total} vs {lines[-1:]}")
    check(f"{job}: RAM free matches a console tick in MB",
          any(round(free / 1048576) == int(l[2]) for l in lines), f"{free} vs {[l[2] for l in lines]}")

# Prometheus needs a few seconds to start and scrape; every wait is bounded.
deadline = time.time() + 45
for job, console in consoles.items():
    check_job(job, console, deadline)
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
PY
status=$?
[ $status -ne 0 ] && { cat "$work/cli.err" "$work/prometheus.log"; }
exit $status
