#!/usr/bin/env bash
# Wrong passwords for /metrics from 40 loopback addresses, each inside its 4-a-second share,
# for 10 s, against a cost-10 bcrypt user (about 70 ms a check). Each guess waits 1 s for its
# answer and then hangs up. Prints the exporter's resident size before and at its peak, how
# long it kept hashing after the flood (CPU still in use: the checks that were still queued),
# and how a valid user's first login fared in the middle of the flood.
# Usage: bench/metrics_password_flood.sh STATLUME-CLI   (htpasswd and python3 on PATH; loopback
# only; about half a minute, longer where the checks pile up).
set -euo pipefail

cli=$(realpath "${1:?usage: $0 STATLUME-CLI}")
work=$(mktemp -d /tmp/statlume-flood.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime" && chmod 700 "$work/runtime"
printf 'basic_auth_users:\n  bench: %s\n' "$(htpasswd -nbBC 10 "" 'bench secret' | tr -d ':\n')" \
    > "$work/web.yml"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime python3 - "$cli" "$port" "$work/web.yml" <<'PY'
import base64, socket, subprocess, sys, threading, time
cli, port, web = sys.argv[1], int(sys.argv[2]), sys.argv[3]
proc = subprocess.Popen([cli, f"--metrics=127.0.0.1:{port}", f"--metrics-web-config={web}",
                         "--interval", "1000", "--print", "--template", "x"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
def rss_kb():
    with open(f"/proc/{proc.pid}/status") as f:
        return next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))
def cpu_s():
    with open(f"/proc/{proc.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / 100
def request(user, password, source="127.0.0.1", limit=1.0):
    start = time.monotonic()
    token = base64.b64encode(f"{user}:{password}".encode()).decode()
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=limit, source_address=(source, 0))
        s.sendall(f"GET /metrics HTTP/1.1\r\nAuthorization: Basic {token}\r\nConnection: close\r\n\r\n".encode())
        reply = b""
        while time.monotonic() - start < limit:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
        s.close()
    except OSError:
        reply = b""
    return (reply[9:12].decode() or "nothing"), time.monotonic() - start
for _ in range(50):
    try:
        socket.create_connection(("127.0.0.1", port)).close()
        break
    except OSError:
        time.sleep(0.1)
request("bench", "warm up")
time.sleep(1.2)
one = min(request("bench", "timing")[1] for _ in range(3))
time.sleep(1.2)
idle = rss_kb()
peak = idle
flooding = threading.Event()
flooding.set()
counts = {}
def guesser(source):
    while flooding.is_set():
        started = time.monotonic()
        threading.Thread(target=lambda: counts.setdefault(request("bench", "guess", source)[0], []).append(1)).start()
        time.sleep(max(0, 0.26 - (time.monotonic() - started)))
threads = [threading.Thread(target=guesser, args=(f"127.0.0.{i}",)) for i in range(2, 42)]
start = time.monotonic()
for t in threads:
    t.start()
login = {}
def valid_login():
    time.sleep(5)
    login["status"], login["took"] = request("bench", "bench secret", "127.0.0.200", limit=30)
threading.Thread(target=valid_login).start()
while time.monotonic() - start < 10:
    peak = max(peak, rss_kb())
    time.sleep(0.1)
flooding.clear()
for t in threads:
    t.join()
end = time.monotonic()
last_cpu, busy_until = cpu_s(), end
while time.monotonic() - end < 300:
    time.sleep(0.5)
    peak = max(peak, rss_kb())
    now_cpu = cpu_s()
    if now_cpu - last_cpu > 0.1:
        busy_until = time.monotonic()
    elif time.monotonic() - busy_until > 2:
        break
    last_cpu = now_cpu
time.sleep(1.5)
hashing = max(0.0, busy_until - end - 0.5)
print(f"one wrong-password check: {one * 1000:.0f} ms")
print(f"answers to the guesses: " + ", ".join(f"{k}: {len(v)}" for k, v in sorted(counts.items())))
print(f"resident size: {idle / 1024:.1f} MB idle, {peak / 1024:.1f} MB at the peak")
print(f"guesses sent: {sum(len(v) for v in counts.values())}; hashing went on {hashing:.1f} s after the flood")
print(f"a valid login 5 s into the flood: {login.get('status')} after {login.get('took', 0) * 1000:.0f} ms")
proc.terminate()
proc.wait(5)
PY
