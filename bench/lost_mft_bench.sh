#!/usr/bin/env bash
# Recovery without an MFT at scale: the scan benchmark's volume (bench/many_files_image.sh
# makes it) with the MFT's first 16 records and its mirror zeroed, as when the start of
# a volume is overwritten. Recovers every file of the intact and of the damaged copy and
# counts the files the damaged copy gives back byte-identical at their original path,
# live and deleted apart. Run by hand, not by CTest:
#   bash bench/lost_mft_bench.sh [FOLDERS] [FILES_PER_FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
folders=${1:-200}
per_folder=${2:-1000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
image="$dir/many-files-${folders}x${per_folder}.img"
cli=${TARVIK_CLI:-$here/build/tarvik-cli}
bash "$here/bench/many_files_image.sh" "$folders" "$per_folder" >/dev/null
work=$(mktemp -d "$dir/lost-mft.XXXXXX")
trap 'rm -rf "$work"' EXIT

le64_at() { od -An -tu8 -j "$2" -N 8 "$1" | tr -d ' '; }
spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
damaged="$work/damaged.img"
cp --sparse=always "$image" "$damaged"
# 16 records of 1 KiB from the MFT's start; the mirror's 4 records.
dd if=/dev/zero of="$damaged" bs=512 seek=$(( $(le64_at "$image" 48) * spc )) count=32 conv=notrunc status=none
dd if=/dev/zero of="$damaged" bs=512 seek=$(( $(le64_at "$image" 56) * spc )) count=8 conv=notrunc status=none

# PATH<TAB>STATE of every file the intact volume's scan lists.
"$cli" scan --disk "$image" 2>/dev/null |
  awk -F'\t' '$1 == "File" && $2 != "made-up" { print $7 "\t" $2 }' | sort >"$work/states"
checksums() {  # DIR: md5 and path of every file, path-sorted
  (cd "$1" && find Root -type f -print0 | sort -z | xargs -0 -r md5sum | sed 's/^\([0-9a-f]*\)  /\1\t/')
}
start=$(date +%s)
"$cli" recover --disk "$image" --all --out "$work/intact" >/dev/null 2>&1
checksums "$work/intact" | sort -t$'\t' -k2 >"$work/intact.md5"
middle=$(date +%s)
"$cli" recover --disk "$damaged" --all --out "$work/damaged" 2>"$work/damaged.err" >/dev/null || true
end=$(date +%s)
checksums "$work/damaged" | sort -t$'\t' -k2 >"$work/damaged.md5"

# STATE<TAB>same|different|missing for every file of the intact volume.
join -t$'\t' -1 1 -2 2 -o 1.2,2.1,1.1 "$work/states" <(sort -t$'\t' -k2 "$work/intact.md5") |
  sort -t$'\t' -k3 >"$work/want"
join -t$'\t' -1 3 -2 2 -a 1 -o 1.1,1.2,2.1,1.3 -e none "$work/want" "$work/damaged.md5" \
  >"$work/compared"
awk -F'\t' '$2 != $3 { print "  not at its path intact: " $1 " " $4 }' "$work/compared" | head -n 10
awk -F'\t' '{ total[$1]++; if ($2 == $3) same[$1]++ }
    END { for (s in total) printf "%-8s files at their path, byte-identical: %d of %d (%.2f%%)\n",
            s, same[s], total[s], 100 * same[s] / total[s] }' "$work/compared" | sort
echo "intact recovery $((middle - start)) s, damaged recovery $((end - middle)) s"
echo "files written from the damaged copy: $(wc -l <"$work/damaged.md5"); made-up folders in its scan: $(
  "$cli" scan --disk "$damaged" 2>/dev/null | awk -F'\t' '$1 == "Dir" && $2 == "made-up"' | wc -l)"
