#!/usr/bin/env bash
# The shipped fleet files: the alert rules pass promtool, the dashboards are JSON, and every
# statlume_ metric they name is one a real statlume-cli --metrics exports on the fixture trees
# (which hold disks, batteries and GPUs). promtool comes with Debian's "prometheus"
# (scripts/install-deps --test); without it the test is skipped, but not under CI.
# Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
cli=$build/src/cli/statlume-cli
rules=$source_dir/dist/prometheus/alerts.yml
dashboards=("$source_dir/dist/grafana/statlume.json" "$source_dir/docs/grafana-dashboard.json")

if ! command -v promtool >/dev/null; then
    echo "promtool is not installed (scripts/install-deps --test)"
    [[ ${CI:-} == true ]] && { echo "0 passed, 1 failed"; exit 1; }
    exit 77
fi
if [[ ! -x $cli ]]; then
    echo "missing $cli"
    echo "0 passed, 1 failed"
    exit 1
fi

work=$(mktemp -d /tmp/statlume-fleet.XXXXXX)
pid=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

promtool check rules "$rules" > "$work/promtool.log" 2>&1
promtool_status=$?

port=$(python3 "$here/free_port.py")
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$cli" \
    --metrics="127.0.0.1:$port" --interval 200 \
    --procfs "$source_dir/tests/data/procfs_host" --sysfs "$source_dir/tests/data/sysfs_host" \
    > /dev/null 2> "$work/cli.err" &
pid=$!

python3 - "$port" "$promtool_status" "$work/promtool.log" "$rules" "${dashboards[@]}" <<'PY'
import json, re, sys, time, urllib.request

port, promtool_status, promtool_log, rules, dashboards = (
    sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
name = re.compile(r"\bstatlume_[a-z_]+")
passed = failed = 0

def check(title, ok, detail=""):
    global passed, failed
    print(("ok   " if ok else "FAIL ") + title + ("" if ok else ": " + detail))
    passed, failed = passed + ok, failed + (not ok)

with open(promtool_log) as f:
    check("promtool check rules alerts.yml", promtool_status == "0", f.read().strip())

# The queries of a dashboard: panel targets and template variables.
def queries(node):
    if isinstance(node, dict):
        for key, value in node.items():
            if key in ("expr", "query", "definition") and isinstance(value, str):
                yield value
            else:
                yield from queries(value)
    elif isinstance(node, list):
        for value in node:
            yield from queries(value)

with open(rules) as f:
    used = {"alerts.yml": set(name.findall(f.read()))}
for path in dashboards:
    label = path.split("/")[-1]
    try:
        with open(path) as f:
            dashboard = json.load(f)
        check(f"{label} is JSON", True)
    except (OSError, ValueError) as error:
        check(f"{label} is JSON", False, str(error))
        continue
    used[label] = {n for q in queries(dashboard) for n in name.findall(q)}

wanted = set().union(*used.values())
exported = set()
# The disk, battery and GPU families appear once the first samples are in; bounded wait.
deadline = time.time() + 20
while time.time() < deadline and not wanted <= exported:
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=3) as reply:
            exported = {line.split()[2] for line in reply.read().decode().splitlines()
                        if line.startswith("# TYPE ")}
    except OSError:
        pass
    time.sleep(0.3)
check("statlume-cli --metrics answered", bool(exported))
for label, names in used.items():
    missing = sorted(names - exported)
    check(f"{label}: the {len(names)} metrics it uses are exported", not missing,
          "not exported: " + ", ".join(missing))
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
PY
status=$?
[[ $status -ne 0 ]] && cat "$work/cli.err"
exit $status
