# Sourced by the script tests: one "ok:"/"FAIL:" line a check, counted for the closing
# "N passed, N failed" line.
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
