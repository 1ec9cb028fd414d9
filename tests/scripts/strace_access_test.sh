#!/usr/bin/env bash
# What statlume-cli --once opens and stats, under strace: a family of figures is read only
# while the template shows one of its items (no other process's /proc/<pid>/ without a Top
# item, no battery, disk or GPU files without theirs), and a Top item does read the other
# processes, so the checks are not vacuous. Skipped (77) without strace or where ptrace is not
# permitted.
# Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
cli=$build/src/cli/statlume-cli
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
data=$source_dir/tests/data
if [[ ! -x $cli ]]; then
    echo "missing $cli"
    echo "0 passed, 1 failed"
    exit 1
fi
if ! command -v strace >/dev/null; then
    echo "skip: strace is missing (scripts/install-deps --test)"
    exit 77
fi
work=$(mktemp -d /tmp/statlume-strace.XXXXXX)
trap 'rm -rf "$work"' EXIT
if ! strace -o /dev/null true 2>"$work/strace"; then
    echo "skip: strace cannot trace here: $(cat "$work/strace")"
    exit 77
fi
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime

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

# The paths (extended regular expressions) of each family's files, on the machine's own roots
# and on the fixture trees alike.
other_processes='/proc/[0-9]+/|procfs_host/[0-9]+/'
gpu_files='/drm(/|$)|/dev/dri|libnvidia-ml'
battery_files='/power_supply'
disk_files='/diskstats|/block(/|$)'
fixtures=(--procfs "$data/procfs_host" --sysfs "$data/sysfs_host")
record_items='<NAME=Uptime> <NAME=Threads> <NAME=Processes> <NAME=PageUsed> <NAME=RAMUsed>
<NAME=ProcUsage> <NAME=NetRead> <NAME=NetWrite> <NAME=IPAddr> <NAME=CompName> <NAME=UserName>
<NAME=DateTime> <NAME=DriveSpace FORMAT="C FREE"> <NAME=Temp1> <NAME=Fan1>'

# Every path the traced program opened or looked at, one a line: a path relative to a folder
# descriptor is joined to the folder's (strace -y), and the program's own processes and
# threads (/proc/self, /proc/thread-self, /proc/<own id>) are left out.
accessed_paths() {
    local trace=$1 own
    own=$(awk '{ print $1 }' "$trace" | sort -u | paste -sd'|')
    sed -nE -e 's#^[0-9]+ +[a-z0-9_]+\([0-9]+<([^>]*)>, "([^"]*)".*#\1/\2#p' \
        -e 's#^[0-9]+ +[a-z0-9_]+\((AT_FDCWD<[^>]*>, )?"([^"]*)".*#\2#p' "$trace" |
        grep -Ev "^/proc/(self|thread-self|($own))(/|$)"
}

# One row of the table: a template run once under strace (with any further options); every
# pattern of MUST matches some accessed path, and no path matches MUST_NOT but those matching
# the pattern in $allowed, if set (allowed='/power/runtime_status$' row ...).
# Usage: row NAME TEMPLATE MUST MUST_NOT [OPTION...]
row() {
    local name=$1 template=$2 must=$3 must_not=$4
    shift 4
    local trace=$work/trace out
    # The leak checker cannot work under ptrace; the sanitizer suite checks leaks elsewhere.
    out=$(ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
        timeout 20 strace -f -y -s 4096 -e trace=%file,openat -o "$trace" \
        "$cli" --once --interval 200 --template "$template" "$@" 2>"$work/err")
    local status=$?
    if [[ $status != 0 ]]; then
        check "$name: runs" 0 "status $status, out '$out', err '$(cat "$work/err")'"
        return
    fi
    accessed_paths "$trace" >"$work/paths"
    local pattern missing=()
    IFS='|' read -ra patterns <<<"$must"
    for pattern in "${patterns[@]}"; do
        grep -Eq -- "$pattern" "$work/paths" || missing+=("$pattern")
    done
    check "$name: reads what it shows" "$([[ ${#missing[@]} == 0 ]] && echo 1)" \
        "nothing matched ${missing[*]}"
    local touched
    touched=$(grep -E -- "$must_not" "$work/paths" | grep -Ev -- "${allowed:-^$}" | sort -u |
        head -5 | paste -sd' ')
    check "$name: touches nothing else" "$([[ -z $touched ]] && echo 1)" "$touched"
}

row "record items" "$record_items" '^/proc/stat$|^/proc/meminfo$' \
    "$other_processes|$gpu_files|$battery_files|$disk_files"
row "load" '<NAME=LoadAvg>' '^/proc/loadavg$' "$other_processes|$gpu_files|$battery_files|$disk_files"
row "top by processor" '<NAME=TopCPU FORMAT="1 NAME">' '^/proc/[0-9]+/stat$' \
    "$gpu_files|$battery_files|$disk_files"
row "top by memory, fixture procfs" '<NAME=TopMem FORMAT="1 NAME">' 'procfs_host/4242/stat$' \
    "/proc/[0-9]+/|$gpu_files|$battery_files|$disk_files" "${fixtures[@]}"
row "disks, fixture trees" '<NAME=DiskRead> <NAME=DiskWrite>' 'procfs_host/diskstats$' \
    "$other_processes|$gpu_files|$battery_files" "${fixtures[@]}"
row "batteries, fixture trees" '<NAME=BatteryCharge> <NAME=BatteryState> <NAME=BatteryTime>
<NAME=BatteryPower>' 'sysfs_host/class/power_supply' \
    "$other_processes|$gpu_files|$disk_files" "${fixtures[@]}"

# GPUs on the fixture sysfs: listing the cards reads only links; a card is opened only when an
# item shows it, and of a sleeping one only whether it sleeps.
card_files='/(power/runtime_status|vendor|hwmon|gpu_busy_percent|mem_info_vram_[a-z]+|product_name|tile0|gt_act_freq_mhz)'
allowed='0000:03:00.0/' row "one GPU of six, fixture trees" \
    '<NAME=GPUUsage FORMAT="4"> <NAME=GPUTemp FORMAT="4 %">' '0000:03:00.0/gpu_busy_percent$' \
    "$other_processes|$battery_files|$disk_files|$card_files|/fdinfo" "${fixtures[@]}"
allowed='0000:05:00.0/power/runtime_status/?$' row "a sleeping GPU, fixture trees" \
    '<NAME=GPUUsage FORMAT="6"> <NAME=GPUName FORMAT="6">' '0000:05:00.0/power/runtime_status$' \
    "$other_processes|$battery_files|$disk_files|$card_files|/fdinfo" "${fixtures[@]}"

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
