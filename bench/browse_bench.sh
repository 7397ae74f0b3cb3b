#!/usr/bin/env bash
# The catalogue's peak memory per entry, and the folder tree and the file list timed over
# a made-up scan result of ENTRIES entries (1,000,000 by default): the check tree and the
# tree shown after the scan, a folder of 100,000 files listed, Root checked.
#   bash bench/browse_bench.sh [ENTRIES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$here/build" --target tarvik_browse_bench >/dev/null
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
"$here/build/tarvik_browse_bench" "${1:-1000000}"
