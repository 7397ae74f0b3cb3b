#!/usr/bin/env bash
# Speed of the whole-disk searches against a plain sequential read of the same image:
# the logical drive search (drives --search) and the drive-wide record search (a scan of
# the volume with its MFT record 0 and mirror destroyed). Run by hand:
#   bash bench/search_bench.sh [IMAGE]      (default: the scan benchmark's image)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli="$here/build/tarvik-cli"
image=${1:-/tmp/tarvik-bench/many-files-200x1000.img}
[ -f "$image" ] || { echo "no image $image: run bench/scan_bench.sh first" >&2; exit 1; }
no_mft="${image%.img}-no-mft.img"
if [ ! -f "$no_mft" ]; then
  cp --sparse=always "$image" "$no_mft"
  spc=$(od -An -tu1 -j 13 -N 1 "$no_mft" | tr -d ' ')
  for field in 48 56; do
    cluster=$(od -An -tu4 -j $field -N 4 "$no_mft" | tr -d ' ')
    dd if=/dev/zero of="$no_mft" bs=512 seek=$((cluster * spc)) count=2 conv=notrunc status=none
  done
fi
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true; }
timed() {
  local start end
  start=$(date +%s.%N)
  "${@:2}" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  printf '%-40s %6.2f s\n' "$1" "$(echo "$end - $start" | bc)"
}
echo "image: $image, $(( $(stat -c %s "$image") / 1048576 )) MiB"
for cache in cold warm; do
  [ $cache = cold ] && drop_caches
  timed "cat ($cache)" cat "$image"
  [ $cache = cold ] && drop_caches
  timed "tarvik-cli drives --search ($cache)" "$cli" drives --search --disk "$image"
  [ $cache = cold ] && drop_caches
  timed "tarvik-cli scan, no MFT ($cache)" "$cli" scan --disk "$no_mft"
done
