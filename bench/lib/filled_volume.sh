# Sourced by the condition benchmarks: the volume they fill to its last cluster, and the
# timed scan and recovery of the deleted files they then measure.

# Free clusters of IMAGE (CLUSTERS clusters of 4 KiB), by $Bitmap as The Sleuth Kit reads it.
bench_free_clusters() {  # IMAGE CLUSTERS
  icat -f ntfs "$1" 6 | python3 -c "
import sys
bits = sys.stdin.buffer.read()
n = $2
used = sum(bin(b).count('1') for b in bits[: n // 8])
if n % 8:
    used += bin(bits[n // 8] & ((1 << (n % 8)) - 1)).count('1')
print(n - used)"
}

# Fills what is left of IMAGE with files of 4 MiB at most (none needs a run list longer
# than its record holds) until the volume refuses more: ntfs-3g keeps the MFT's zone for
# the MFT, so the count of free clusters says more than can be had.
bench_fill_to_last_cluster() {  # FIXTURE IMAGE LOG
  local clusters free k=0
  clusters=$(( $(stat -c %s "$2") / 4096 ))
  free=$(bench_free_clusters "$2" "$clusters")
  while [ $((k * 4)) -lt $((free / 256 + 1)) ]; do
    k=$((k + 1))
    echo "write /filler-$k.bin 4194304 7"
  done | "$1" "$2" - 2>"$3" || true
}

# Scans IMAGE (listing into OUT/scan) and recovers its deleted files into OUT/dest with
# OUT/report.tsv, printing how long each took.
bench_scan_and_recover_deleted() {  # CLI IMAGE OUT
  local start
  start=$(date +%s.%N)
  "$1" scan --disk "$2" >"$3/scan" 2>/dev/null
  echo "scan with conditions: $(echo "$(date +%s.%N) - $start" | bc) s"
  start=$(date +%s.%N)
  "$1" recover --disk "$2" --deleted --out "$3/dest" --report "$3/report.tsv" >/dev/null 2>&1 ||
    true
  echo "recover --deleted --report: $(echo "$(date +%s.%N) - $start" | bc) s"
}
