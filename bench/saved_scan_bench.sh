#!/usr/bin/env bash
# Times saving and opening a kept scan of a made-up catalogue of ENTRIES entries
# (1,000,000 by default). Compare the open time with a scan of as many records
# (bench/scale_bench.sh). Run by hand, not by CTest:
#   bash bench/saved_scan_bench.sh [ENTRIES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$here/build" --target tarvik_saved_scan_bench >/dev/null
/usr/bin/time -f 'peak %M KiB' "$here/build/tarvik_saved_scan_bench" "${1:-1000000}"
