#!/usr/bin/env bash
# The scan and the recovery against the reads they must make, on the deep-tree disk of
# bench/tree_volume_image.sh (made once under $BENCH_DIR), beside ntfsundelete, fls and
# tsk_recover on the same disk in the same run:
#  - the scan's reads (TARVIK_READ_TRACE) priced by a spinning-disk model: 150 MB/s
#    reading on from where the previous read ended, 8 ms for every read that starts
#    anywhere else; against the MFT read once in order;
#  - the scan's wall time with a warm page cache, in paired runs (ours, theirs, ours,
#    theirs...) against `ntfsundelete --scan` and `fls -r -p`; the median of the pairs;
#  - `recover --all`: bytes read against the bytes it must read (the MFT once, and each
#    non-resident file's clusters up to its size), and the model's time against the
#    must-read bytes read in order; `tsk_recover -e` beside it.
# Run by hand, not by CTest:
#   bash bench/one_pass_bench.sh [FILES] [PAIRS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
files=${1:-200000}
pairs=${2:-3}
cli=${CLI:-$here/build/tarvik-cli}
image=$(bash "$here/bench/tree_volume_image.sh" "$files")
offset=2048
work=$(mktemp -d /tmp/tarvik-onepass-XXXXXX)
trap 'rm -rf "$work"' EXIT
# ntfsundelete reads a volume, not a disk: the partition, copied out once beside it.
part="$image.partition"
[ -f "$part" ] || dd if="$image" of="$part" bs=4M skip=$((offset * 512)) iflag=skip_bytes \
  conv=sparse status=none

model() {  # TRACE: "reads jumps bytes modelled_seconds"
  awk '{ if (NR == 1 || $1 != last) jumps++; bytes += $2; last = $1 + $2; reads++ }
       END { printf "%d %d %.0f %.3f\n", reads, jumps, bytes, bytes / 150e6 + jumps * 0.008 }' "$1"
}
in_order() { awk -v b="$1" 'BEGIN { printf "%.3f", b / 150e6 + 0.008 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
seconds() {  # COMMAND...: wall seconds, output dropped
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

mft_bytes=$(istat -f ntfs -o $offset "$image" 0 |
  awk '/\$DATA/ {for (i=1;i<=NF;i++) if ($i=="size:") print $(i+1)}' | head -1)
mft_s=$(in_order "$mft_bytes")
echo "disk: $image ($(($(stat -c %s "$image") >> 20)) MiB), MFT $((mft_bytes / 1000000)) MB," \
  "read in order in $mft_s s"

# The scan under the model.
TARVIK_READ_TRACE="$work/scan.trace" /usr/bin/time -o "$work/scan.time" -f '%U+%S %M' \
  "$cli" scan --disk "$image" >"$work/scan.out" 2>/dev/null
read -r reads jumps bytes modelled < <(model "$work/scan.trace")
read -r scan_cpu scan_peak <"$work/scan.time"
entries=$(wc -l <"$work/scan.out")
echo "scan: $entries entries, $reads reads, $jumps jumps, $((bytes >> 20)) MiB read;" \
  "modelled $modelled s = $(ratio "$modelled" "$mft_s")x the MFT in order (target <= 1.2x)"
# The scan proper against the condition check after it: reads inside the MFT's extent
# (and the boot sectors) and the others, which the check makes for the bytes of deleted
# files no record claims.
read -r mft_first mft_last < <(istat -f ntfs -o $offset "$image" 0 |
  awk '/^Type: \$DATA/ {on = 1; next} /^Type:/ {on = 0} on {for (i = 1; i <= NF; i++) {
         if (min == "" || $i < min) min = $i; if ($i > max) max = $i } }
       END { print min, max }')
awk -v a=$(((offset * 512) + mft_first * 4096)) -v b=$(((offset * 512) + (mft_last + 1) * 4096)) \
  '$1 < a + 0 && $1 >= 1048576 + 4096 || $1 >= b + 0 { print > "/dev/stderr"; next } { print }' \
  "$work/scan.trace" >"$work/scan-mft.trace" 2>"$work/scan-other.trace"
read -r reads jumps bytes modelled < <(model "$work/scan-mft.trace")
echo "  of which the MFT pass: $reads reads, $jumps jumps, $((bytes >> 20)) MiB; modelled $modelled s" \
  "= $(ratio "$modelled" "$mft_s")x the MFT in order"
read -r reads jumps bytes modelled < <(model "$work/scan-other.trace")
echo "  and the condition check: $reads reads, $jumps jumps, $((bytes >> 20)) MiB; modelled $modelled s"
echo "scan peak memory: $((scan_peak >> 10)) MiB, $((scan_peak * 1024 / (mft_bytes / 1024))) bytes a record;" \
  "processor time $(echo "$scan_cpu" | bc) s"

# Wall time, warm cache, paired runs.
"$cli" scan --disk "$image" >/dev/null 2>&1
ntfsundelete --scan "$part" >/dev/null 2>&1 || true
fls -r -p -f ntfs -o $offset "$image" >/dev/null
: >"$work/undelete"
: >"$work/fls"
for ((i = 0; i < pairs; i++)); do
  ours=$(seconds "$cli" scan --disk "$image")
  theirs=$(seconds ntfsundelete --scan "$part")
  echo "$ours $theirs $(ratio "$ours" "$theirs")" >>"$work/undelete"
  ours=$(seconds "$cli" scan --disk "$image")
  theirs=$(seconds fls -r -p -f ntfs -o $offset "$image")
  echo "$ours $theirs $(ratio "$ours" "$theirs")" >>"$work/fls"
done
echo "scan wall (warm) vs ntfsundelete --scan, pairs (ours theirs ratio): $(tr '\n' ';' <"$work/undelete")"
echo "  median ratio $(cut -d' ' -f3 "$work/undelete" | median)x (target <= 1.0x)"
echo "scan wall (warm) vs fls -r -p, pairs (ours theirs ratio): $(tr '\n' ';' <"$work/fls")"
echo "  median ratio $(cut -d' ' -f3 "$work/fls" | median)x (target <= 0.06x)"

# The recovery of everything.
TARVIK_READ_TRACE="$work/recover.trace" /usr/bin/time -o "$work/recover.time" -f '%e %M' \
  "$cli" recover --disk "$image" --out "$work/out" --all >/dev/null 2>&1 || true
read -r reads jumps bytes modelled < <(model "$work/recover.trace")
read -r recover_wall _ <"$work/recover.time"
# What it must read: the MFT, and the clusters of every file too large to live in its
# record (files of up to 700 bytes are taken as resident: they are read with the MFT).
data_bytes=$(find "$work/out" -type f -printf '%s\n' |
  awk '$1 > 700 { total += int(($1 + 4095) / 4096) * 4096 } END { printf "%.0f", total }')
must=$((data_bytes + mft_bytes))
echo "recover --all: $reads reads, $jumps jumps, $((bytes >> 20)) MiB read, must read" \
  "$((must >> 20)) MiB: $(ratio "$bytes" "$must")x (target <= 1.05x); wall $recover_wall s"
must_s=$(in_order "$must")
echo "  modelled $modelled s = $(ratio "$modelled" "$must_s")x the must-read bytes in order" \
  "($must_s s; target <= 1.5x)"
rm -rf "$work/out"
tsk=$(seconds tsk_recover -e -f ntfs -o $offset "$image" "$work/tsk")
echo "tsk_recover -e: $tsk s, $(($(du -sb "$work/tsk" | cut -f1) >> 20)) MiB written"
