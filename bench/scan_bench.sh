#!/usr/bin/env bash
# Scan speed at scale: a volume of many small files in many folders (made once by
# bench/many_files_image.sh under $BENCH_DIR), scanned by tarvik-cli and listed by The
# Sleuth Kit's fls, from a cold and a warm page cache. Run by hand, not by CTest:
#   bash bench/scan_bench.sh [FOLDERS] [FILES_PER_FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
folders=${1:-200}
per_folder=${2:-1000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
image="$dir/many-files-${folders}x${per_folder}.img"
cli="$here/build/tarvik-cli"
mkdir -p "$dir"

bash "$here/bench/many_files_image.sh" "$folders" "$per_folder" >/dev/null

drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true; }
timed() {  # LABEL COMMAND...
  local start end
  start=$(date +%s.%N)
  "${@:2}" >/dev/null 2>&1
  end=$(date +%s.%N)
  printf '%-34s %6.2f s\n' "$1" "$(echo "$end - $start" | bc)"
}

size_mb=$(( $(stat -c %s "$image") / 1048576 ))
mft_mb=$(( $(istat -f ntfs "$image" 0 | awk '/\$DATA/ {for (i=1;i<=NF;i++) if ($i=="size:") print $(i+1)}' | head -1) / 1048576 ))
echo "image: $image, ${size_mb} MiB, MFT ${mft_mb} MiB, $((folders * per_folder)) files"
for cache in cold warm; do
  [ $cache = cold ] && drop_caches
  timed "tarvik-cli scan ($cache)" "$cli" scan --disk "$image"
  [ $cache = cold ] && drop_caches
  timed "fls -r -p ($cache)" fls -r -p -f ntfs "$image"
  [ $cache = cold ] && drop_caches
  timed "cat of the MFT's size ($cache)" dd if="$image" of=/dev/null bs=1M count="$mft_mb" skip=0
done
