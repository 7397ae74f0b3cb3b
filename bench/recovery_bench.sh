#!/usr/bin/env bash
# Recovery speed against the disk's: a ~1 GiB file set (a few large files, many small
# ones) on a fresh NTFS volume under /tmp, then the time of `tarvik-cli recover --all`,
# `tsk_recover -a` and a plain `cat` of the image, in MB/s of the image's file data.
# Caches are dropped before each run when that is allowed (root). Not a CI test.
#   bash bench/recovery_bench.sh [BUILD_DIR]
set -euo pipefail
BUILD=${1:-build}
CLI=$BUILD/tarvik-cli
FIXTURE=$BUILD/ntfs-fixture
command -v mkntfs >/dev/null || PATH=$PATH:/usr/sbin:/sbin
WORK=$(mktemp -d /tmp/tarvik-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
IMAGE=$WORK/volume.img

# 1.25 GiB volume, 4 KiB clusters: 4 files of 192 MiB, 2000 of 100 KiB, 2000 of 2 KiB.
truncate -s $((1280 * 1024 * 1024)) "$IMAGE"
mkntfs -F -q -Q -s 512 -c 4096 -L bench "$IMAGE" >/dev/null 2>&1
{
    echo "mkdir /large"
    for i in 1 2 3 4; do echo "write /large/big$i.bin $((192 * 1024 * 1024)) $i"; done
    for d in 0 1 2 3 4 5 6 7 8 9; do
        echo "mkdir /small$d"
        for i in $(seq 1 200); do
            echo "write /small$d/f$i.dat 102400 $((d * 1000 + i))"
            echo "write /small$d/t$i.txt 2048 $((50000 + d * 1000 + i))"
        done
    done
} >"$WORK/script"
"$FIXTURE" "$IMAGE" "$WORK/script"
DATA=$((4 * 192 * 1024 * 1024 + 2000 * 102400 + 2000 * 2048))

drop_caches() { sync; { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null || CACHES=warm; }
CACHES=dropped

# timed LABEL COMMAND...: prints seconds
timed() {
    drop_caches
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

rate() { echo "scale=1; $DATA / 1000000 / $1" | bc; }

t_cat=$(timed cat "$IMAGE")
rm -rf "$WORK/out"
t_ours=$(timed "$CLI" recover --disk "$IMAGE" --out "$WORK/out" --all)
ours_bytes=$(du -sb "$WORK/out/Root" | cut -f1)
rm -rf "$WORK/out"
t_tsk=$(timed tsk_recover -a -f ntfs "$IMAGE" "$WORK/tsk")
tsk_bytes=$(du -sb "$WORK/tsk" | cut -f1)
rm -rf "$WORK/tsk"

echo "caches: $CACHES between runs"
echo "file data: $((DATA / 1000000)) MB in 4 large and 4000 small files; image $(( $(stat -c %s "$IMAGE") / 1000000)) MB"
printf '%-28s %8s s %8s MB/s\n' "cat IMAGE > /dev/null" "$t_cat" "$(rate "$t_cat")"
printf '%-28s %8s s %8s MB/s   (%s bytes written)\n' "tarvik-cli recover --all" "$t_ours" "$(rate "$t_ours")" "$ours_bytes"
printf '%-28s %8s s %8s MB/s   (%s bytes written)\n' "tsk_recover -a -f ntfs" "$t_tsk" "$(rate "$t_tsk")" "$tsk_bytes"
