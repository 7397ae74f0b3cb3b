#!/usr/bin/env bash
# Scan time and peak memory against the record count, on bare volumes whose MFT
# bench/synthetic_mft_image.py writes directly (made once under $BENCH_DIR): 200,000,
# 1,000,000 and 10,000,000 records by default. Each is scanned twice by tarvik-cli (the
# first run warms the page cache); the second run's wall time, processor time (user +
# system: on a shared machine the fairer measure) and peak memory are shown, with the
# time a record and the bytes a record. Run by hand, not by CTest:
#   bash bench/scale_one_pass.sh [RECORDS...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${BENCH_DIR:-/tmp/tarvik-bench}
cli=${CLI:-$here/build/tarvik-cli}
mkdir -p "$dir"
[ $# -gt 0 ] || set -- 200000 1000000 10000000

printf '%-10s %10s %9s %9s %11s %10s %10s\n' records entries "wall s" "cpu s" "cpu us/rec" \
  "peak MiB" "bytes/rec"
for records in "$@"; do
  image="$dir/synth-$records.img"
  [ -f "$image" ] || python3 "$here/bench/synthetic_mft_image.py" "$image" "$records"
  "$cli" scan --disk "$image" >/dev/null 2>&1
  read -r wall user sys peak < <(/usr/bin/time -f '%e %U %S %M' "$cli" scan --disk "$image" \
    2>&1 >"$dir/scan.out" | tail -n 1)
  entries=$(wc -l <"$dir/scan.out")
  awk -v r="$records" -v e="$entries" -v w="$wall" -v u="$user" -v s="$sys" -v p="$peak" \
    'BEGIN { printf "%-10d %10d %9.2f %9.2f %11.2f %10.1f %10.0f\n", r, e, w, u + s,
             (u + s) * 1e6 / r, p / 1024, p * 1024 / r }'
done
rm -f "$dir/scan.out"
