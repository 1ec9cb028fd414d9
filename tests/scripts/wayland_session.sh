# Helpers the Wayland tests source: a work folder with a runtime folder that nobody owns,
# compositors run as nobody (sway refuses root), checks counted as PASS and FAIL lines.
# Sets work, runtime, pids (killed at exit), passed and failed; without root the test is
# skipped.

skip() {
    echo "$1: test skipped"
    echo "0 passed, 0 failed, 1 skipped"
    exit 0
}

[[ $(id -u) -eq 0 ]] || skip "sway must run as another user than the test: run as root"

work=$(mktemp -d /tmp/statlume-wayland.XXXXXX)
chmod 755 "$work"
runtime=$work/runtime
mkdir -m 700 "$runtime" "$work/shared"
chown 65534:65534 "$runtime" "$work/shared"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    [[ -n ${KEEP_WORK:-} ]] || rm -rf "$work"
}
trap cleanup EXIT INT TERM

passed=0
failed=0
check() {
    if [[ $2 == ok ]]; then
        passed=$((passed + 1))
        echo "PASS $1"
    else
        failed=$((failed + 1))
        echo "FAIL $1: $2"
    fi
}

# Runs cmd (an array) as nobody with the given VAR=VALUE words; exec: the pid kept for the
# cleanup must be the compositor's own.
as_nobody() {
    exec env -i PATH=/usr/bin:/bin HOME="$work/shared" XDG_RUNTIME_DIR="$runtime" "$@" \
        setpriv --reuid=65534 --regid=65534 --clear-groups "${cmd[@]}"
}

# wait_for CONDITION TRIES: evaluates CONDITION every 0.1 s until it holds.
wait_for() {
    local tries=$2
    while ((tries-- > 0)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

# A private session bus both users may use: sway's bar (nobody) is the tray's watcher and
# host, the window (root) its item. Sets bus to its address; empty without dbus-daemon and
# busctl.
bus=
start_bus() {
    command -v dbus-daemon >/dev/null && command -v busctl >/dev/null || return 0
    cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
EOF
    (umask 000 && exec dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile) &
    pids+=($!)
    wait_for "[[ -S $work/bus ]]" 50 && bus=unix:path=$work/bus
}

# The program under test: app, here (the scripts' folder) and settings are the caller's.

# Left, top, right, bottom of the pixels that are not the desktop's colour; "none" if all are.
window_box() {
    grim -t ppm "$work/shot.ppm" && python3 "$here/wayland_box.py" "$work/shot.ppm" "$@"
}

app_pid=
start_app() {
    "$app" "$@" >"$work/app.log" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
    wait_for "grep -q 'output:' $work/app.log" 50
    sleep 1.5
}
stop_app() {
    kill -TERM "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    local code=$?
    [[ $code -eq 0 ]] && check "clean exit ($1)" ok ||
        check "clean exit ($1)" "status $code: $(tail -3 "$work/app.log")"
}
write_settings() {
    mkdir -p "$(dirname "$settings")"
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Quorvale\Statlume]'
        echo '"Version"=dword:00000054'
        printf '"%s\n' "$@"
    } >"$settings"
}

