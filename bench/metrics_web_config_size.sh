#!/usr/bin/env bash
# A huge web configuration (just under 16 MiB of basic_auth_users by default): how long statlume-cli
# --metrics takes to start with it (to its first answer, or to refusing it) and its peak
# resident size; then, running on a small one with output every 100 ms, the file is replaced
# by the huge one: the longest gap in the output and the slowest scrape while it is re-read.
# Usage: bench/metrics_web_config_size.sh STATLUME-CLI [MIB]   (htpasswd and python3 on PATH;
# loopback only).
set -euo pipefail

cli=$(realpath "${1:?usage: $0 STATLUME-CLI [MIB]}")
mib=${2:-16}
work=$(mktemp -d /tmp/statlume-web-size.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime" && chmod 700 "$work/runtime"
hash=$(htpasswd -nbBC 4 "" 'bench secret' | tr -d ':\n')
printf 'basic_auth_users:\n  bench: %s\n' "$hash" > "$work/small.yml"
python3 - "$work/huge.yml" "$hash" "$mib" <<'PY'
import sys
path, hash, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
with open(path, "w") as f:
    f.write("basic_auth_users:\n")
    size, i = 18, 0
    while size + 100 < mib << 20:
        line = f"  user{i:08d}: {hash}\n"
        f.write(line)
        size, i = size + len(line), i + 1
PY
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime python3 - "$cli" "$port" "$work" "$mib" <<'PY'
import base64, os, shutil, socket, subprocess, sys, threading, time
cli, port, work, mib = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
web = f"{work}/web.yml"
token = base64.b64encode(b"bench:bench secret").decode()
def scrape(limit=60.0):
    start = time.monotonic()
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=limit)
        s.sendall(f"GET /metrics HTTP/1.0\r\nAuthorization: Basic {token}\r\n\r\n".encode())
        reply = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
        s.close()
    except OSError:
        reply = b""
    return reply[9:12].decode() or "nothing", time.monotonic() - start
def start(config, lines=None):
    shutil.copy(config, web)
    proc = subprocess.Popen([cli, f"--metrics=127.0.0.1:{port}", f"--metrics-web-config={web}",
                             "--interval", "100", "--print", "--template", "x"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return proc
def peak_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            return next(int(l.split()[1]) for l in f if l.startswith("VmHWM:"))
    except (OSError, StopIteration):
        return 0

began = time.monotonic()
proc = start(f"{work}/huge.yml")
peak, outcome = 0, "still starting after 120 s"
while time.monotonic() - began < 120:
    peak = max(peak, peak_kb(proc.pid))
    if proc.poll() is not None:
        outcome = f"exit {proc.returncode}: {proc.stderr.read().decode().strip()[:100]}"
        break
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        outcome = "serving"
        break
    except OSError:
        time.sleep(0.05)
took = time.monotonic() - began
print(f"start with a {mib} MiB web configuration: {outcome} after {took:.1f} s, peak resident {peak / 1024:.0f} MB")
if proc.poll() is None:
    proc.terminate()
    proc.wait(10)

proc = start(f"{work}/small.yml")
ticks = []
def read_ticks():
    for _ in proc.stdout:
        ticks.append(time.monotonic())
threading.Thread(target=read_ticks, daemon=True).start()
while scrape(2)[0] != "200":
    time.sleep(0.1)
time.sleep(1.2)
shutil.copy(f"{work}/huge.yml", web + ".new")
os.replace(web + ".new", web)
changed = time.monotonic()
scrapes = []
while time.monotonic() - changed < 20:
    scrapes.append(scrape(30))
    time.sleep(0.1)
during = [t for t in ticks if t >= changed - 0.2]
gaps = [b - a for a, b in zip(during, during[1:])]
print(f"re-read of it while running: longest output gap {max(gaps, default=0):.2f} s, "
      f"slowest scrape {max(t for _, t in scrapes):.2f} s, answers "
      + ", ".join(f"{k}: {sum(1 for s, _ in scrapes if s == k)}" for k in sorted({s for s, _ in scrapes})))
err = proc.stderr
proc.terminate()
proc.wait(10)
print("its message:", err.read().decode().strip()[:160])
PY
