#!/usr/bin/env bash
# A machine without network devices but loopback (`unshare -n`): the network items read
# 0 KB/s and the run goes on; the first --json line comes from a second sample taken shortly
# after the first, well before a whole interval. Skipped (77) where unshare is not permitted.
# Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
cli=$build/src/cli/statlume-cli
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
graphs=$source_dir/dist/templates/graphs.txt
if [[ ! -x $cli ]]; then
    echo "missing $cli"
    echo "0 passed, 1 failed"
    exit 1
fi
work=$(mktemp -d /tmp/statlume-first-sample.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config"
export XDG_CONFIG_HOME=$work/config

passed=0
failed=0
check() {
    local name=$1 ok=$2 detail=${3:-}
    if [[ $ok == 1 ]]; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name: $detail"
        failed=$((failed + 1))
    fi
}

# Prints the milliseconds until the first line, then the line; the run is ended after it.
first_line() {
    timeout 20 python3 - "$@" <<'PY'
import subprocess, sys, time
start = time.monotonic()
proc = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
line = proc.stdout.readline().decode(errors="replace").strip()
print(int((time.monotonic() - start) * 1000))
print(line)
proc.terminate()
proc.wait()
PY
}

if ! unshare -n true 2>"$work/unshare"; then
    echo "skip: unshare -n is not permitted here: $(cat "$work/unshare")"
    exit 77
fi

out=$(unshare -n "$cli" --once --interval 200 --template-file "$graphs" 2>"$work/err")
status=$?
check "unshare -n: the graphs template prints figures" \
    "$([[ $status == 0 && $out == *'Down 0.00 '* && $out == *'Up   0.00 '* && ! -s $work/err ]] &&
        echo 1)" "status $status, out '$out', err '$(cat "$work/err")'"

template='Down <NAME=NetRead DECIMAL> Up <NAME=NetWrite DECIMAL> CPU <NAME=ProcUsage>'
mapfile -t got < <(first_line unshare -n "$cli" --json --interval 5000 --template "$template")
check "unshare -n: the first --json line has rates" \
    "$([[ ${got[1]:-} =~ '"text":"Down 0.00 Up 0.00 CPU '[0-9]+'"' ]] && echo 1)" "${got[1]:-none}"
check "the first --json line waits for a second sample, not for an interval" \
    "$([[ ${got[0]:-0} -ge 240 && ${got[0]:-0} -lt 5000 ]] && echo 1)" "${got[0]:-none} ms"

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
