#!/usr/bin/env bash
# Scan time and peak memory against the record count: volumes of FOLDERS x 1000 small
# files (200,000 and 1,000,000 by default; made once under $BENCH_DIR by
# bench/many_files_image.sh), each scanned by tarvik-cli with a
# warm page cache. The catalogue's own bytes are its entries x 305 (the packed entry).
# Run by hand, not by CTest:
#   bash bench/scale_bench.sh [FOLDERS...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${BENCH_DIR:-/tmp/tarvik-bench}
cli="$here/build/tarvik-cli"
per_folder=1000
mkdir -p "$dir"
[ $# -gt 0 ] || set -- 200 1000

printf '%-10s %10s %9s %12s %14s %7s\n' records entries "scan s" "peak MiB" "catalogue MiB" ratio
for folders in "$@"; do
  image=$(bash "$here/bench/many_files_image.sh" "$folders" "$per_folder")
  "$cli" scan --disk "$image" >/dev/null 2>&1  # warm the page cache
  read -r seconds peak_kib < <(/usr/bin/time -f '%e %M' "$cli" scan --disk "$image" 2>&1 \
    >"$dir/scan.out" | tail -n 1)
  entries=$(wc -l <"$dir/scan.out")
  catalogue_mib=$(echo "$entries * 305 / 1048576" | bc -l)
  printf '%-10s %10s %9.2f %12.1f %14.1f %7.2f\n' $((folders * per_folder)) "$entries" "$seconds" \
    "$(echo "$peak_kib / 1024" | bc -l)" "$catalogue_mib" \
    "$(echo "$peak_kib / 1024 / $catalogue_mib" | bc -l)"
done
rm -f "$dir/scan.out"
