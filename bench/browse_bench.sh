#!/usr/bin/env bash
# Times the folder tree and the file list over a made-up catalogue of ENTRIES entries
# (1,000,000 by default), with a folder of 100,000 files.
#   bash bench/browse_bench.sh [ENTRIES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$here/build" --target tarvik_browse_bench >/dev/null
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
"$here/build/tarvik_browse_bench" "${1:-1000000}"
