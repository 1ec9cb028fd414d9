#!/usr/bin/env bash
# Replies per second of the window's server (statlume with "Act as Server" on, repainting on
# its own 1 s timer under Xvfb) against the headless server statlume-cli --serve, the same
# load on each, in one run. Both encrypt (password "secret").
# Usage: bench/window_serve_vs_cli.sh [build-folder]   (default: build/bench, the Release
# preset "bench"). Loopback only; about 25 s.
set -euo pipefail

build=${1:-build/bench}
cli=$build/src/cli/statlume-cli
window=$build/src/cli/statlume
loadgen=$(find "$build" -name statlume-loadgen -type f -perm -u+x | head -n 1)
for tool in "$cli" "$window" "$loadgen"; do
    [[ -x $tool ]] || { echo "missing $tool; build statlume statlume-cli statlume-loadgen" >&2; exit 1; }
done
source "$(dirname "$0")/serve_common.sh"

# A display for the window: Xvfb when there is none.
if [[ -z ${DISPLAY:-} ]]; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=$display
    sleep 1
fi

echo "load: $clients clients, each asking again as soon as its reply is complete, ${seconds} s," \
    "loadgen on $threads threads; $(nproc) CPUs; both servers encrypt"

# The window, serving from its stored settings as after a completed Act as Server command.
port=$(free_port)
mkdir -p "$work/window/statlume" "$work/runtime-window"
chmod 700 "$work/runtime-window"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n"Version"=dword:00000054\n"ServPort"=dword:%08x\n"Server"=dword:00000001\n"Password"="secret"\n' \
    "$port" >"$work/window/statlume/settings.reg"
chmod 600 "$work/window/statlume/settings.reg"
XDG_CONFIG_HOME=$work/window XDG_RUNTIME_DIR=$work/runtime-window \
    "$window" -h >/dev/null 2>"$work/window.err" &
window_pid=$!
pids+=("$window_pid")
wait_port "$port" || { echo "the window did not listen:" >&2; cat "$work/window.err" >&2; exit 1; }
read -r window_rate window_cpu _ < <(measure window "$window_pid" "$port" --password secret)

port=$(free_port)
mkdir -p "$work/cli" "$work/runtime-cli"
chmod 700 "$work/runtime-cli"
XDG_CONFIG_HOME=$work/cli XDG_RUNTIME_DIR=$work/runtime-cli \
    "$cli" --serve="$port" -dsecret --interval 1000 >/dev/null 2>"$work/cli.err" &
cli_pid=$!
pids+=("$cli_pid")
wait_port "$port" || { echo "statlume-cli did not listen:" >&2; cat "$work/cli.err" >&2; exit 1; }
read -r cli_rate cli_cpu _ < <(measure cli "$cli_pid" "$port" --password secret)

printf '%-28s %12s %16s\n' server replies/s "CPU us/reply"
printf '%-28s %12s %16s\n' "statlume (Act as Server)" "$window_rate" "$window_cpu"
printf '%-28s %12s %16s\n' "statlume-cli --serve" "$cli_rate" "$cli_cpu"
awk -v w="$window_rate" -v c="$cli_rate" \
    'BEGIN { r = (c > 0 ? w / c : 0); printf "window / cli: %.2f (target >= 0.80)\n", r; exit (r >= 0.8 ? 0 : 1) }'
