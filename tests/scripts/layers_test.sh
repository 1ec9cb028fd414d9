#!/usr/bin/env bash
# The folders under src/ keep their layers: nothing includes upwards or sideways, no cycles.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python3 "$here/layers.py" "$here/../../src"
