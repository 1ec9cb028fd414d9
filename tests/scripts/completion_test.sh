#!/usr/bin/env bash
# The generated bash completion offers exactly the tags statlume-cli --list-items lists, and
# completes options as before. Skipped (77) where bash-completion is not installed.
# Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
cli=$build/src/cli/statlume-cli
script=$build/dist/completion/statlume-cli
framework=/usr/share/bash-completion/bash_completion
[[ -r $framework ]] || { echo "bash-completion not installed"; exit 77; }
for file in "$cli" "$script"; do
    [[ -e $file ]] || { echo "missing $file"; exit 1; }
done

# The words the completion offers for the command line "statlume-cli WORD... CURRENT".
complete_line() {
    bash -c 'source "$1"; source "$2"; shift 2
        COMP_WORDS=(statlume-cli "$@"); COMP_CWORD=$#; COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}; _statlume_cli statlume-cli "${!#}" "${COMP_WORDS[$#-1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$framework" "$script" "$@"
}

status=0
listed=$("$cli" --list-items | awk 'NR > 1 && NF == 0 { exit } NR > 1 && /^[^ ]/ { print $1 }')
offered=$(complete_line --describe "")
if [[ $(sort <<<"$listed") != $(sort <<<"$offered") ]]; then
    echo "FAIL --describe offers other tags than --list-items lists:"
    diff <(sort <<<"$listed") <(sort <<<"$offered")
    status=1
fi
[[ $(complete_line --describe ProcU) == ProcUsage ]] || { echo "FAIL --describe ProcU"; status=1; }
[[ $(complete_line --desc) == --describe ]] || { echo "FAIL --desc"; status=1; }
exit $status
