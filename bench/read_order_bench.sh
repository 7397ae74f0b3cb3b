#!/usr/bin/env bash
# The order in which `tarvik-cli scan` and `recover --all` read a disk, and what a
# spinning disk would make of it. Every read request is traced (TARVIK_READ_TRACE) and
# priced with a simple disk model: 150 MB/s when reading on from where the previous read
# ended, plus 8 ms for every read that starts anywhere else (a jump of the head). Beside
# it: the time to read the same bytes front to back, and for the scan the time to read
# the MFT alone in order. Run by hand, not by CTest:
#   bash bench/read_order_bench.sh [IMAGE] [CLI]
# IMAGE defaults to the 200,000-file volume bench/scan_bench.sh makes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
image=${1:-${BENCH_DIR:-/tmp/tarvik-bench}/many-files-200x1000.img}
cli=${2:-$here/build/tarvik-cli}
if [ ! -f "$image" ]; then
  echo "no image at $image: make it with bench/scan_bench.sh" >&2
  exit 1
fi
work=$(mktemp -d /tmp/tarvik-readorder-XXXXXX)
trap 'rm -rf "$work"' EXIT

# model TRACE: reads, jumps, backward jumps, bytes, modeled and in-order seconds.
model() {
  awk '
    { offset = $1; length_ = $2
      if (NR == 1 || offset != last) { jumps++; if (NR > 1 && offset < last) back++ }
      bytes += length_; last = offset + length_; reads++ }
    END {
      rate = 150e6; seek = 0.008
      printf "  reads %d, jumps %d, backward %d, bytes %.1f MB\n", reads, jumps, back, bytes / 1e6
      printf "  modeled %.1f s; the same bytes in order %.2f s (%.1fx)\n",
             bytes / rate + jumps * seek, bytes / rate + seek,
             (bytes / rate + jumps * seek) / (bytes / rate + seek)
    }' "$1"
}

timed() {  # LABEL COMMAND...: wall, user and system seconds, and peak memory
  /usr/bin/time -o "$work/time" -f "  $1: %e s wall, %U s user, %S s sys, %M KiB peak" \
    "${@:2}" >/dev/null 2>&1
  cat "$work/time"
}

mft_bytes=$(istat -f ntfs "$image" 0 | awk '/\$DATA/ {for (i=1;i<=NF;i++) if ($i=="size:") print $(i+1)}' | head -1)
echo "image: $image ($(( $(stat -c %s "$image") / 1048576 )) MiB), MFT $((mft_bytes / 1000000)) MB"
awk -v b="$mft_bytes" 'BEGIN { printf "the MFT read in order: %.2f s\n", b / 150e6 + 0.008 }'

echo "tarvik-cli scan"
TARVIK_READ_TRACE="$work/scan.trace" timed scan "$cli" scan --disk "$image"
model "$work/scan.trace"
awk -v b="$mft_bytes" '
  { bytes += $2; if (NR == 1 || $1 != last) jumps++; last = $1 + $2 }
  END { printf "  modeled scan / MFT in order: %.2fx\n", (bytes / 150e6 + jumps * 0.008) / (b / 150e6 + 0.008) }' \
  "$work/scan.trace"

for mode in all deleted; do
  echo "tarvik-cli recover --$mode"
  rm -rf "$work/out"
  TARVIK_READ_TRACE="$work/recover-$mode.trace" timed "recover --$mode" \
    "$cli" recover --disk "$image" --out "$work/out" "--$mode"
  model "$work/recover-$mode.trace"
done
