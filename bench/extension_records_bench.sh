#!/usr/bin/env bash
# Folders and files whose names live in extension records, without an MFT to start from.
# Makes once, by mkntfs and ntfs-fixture under $BENCH_DIR, a volume of FOLDERS folders up
# to six levels deep holding FILES files written round the folders in turn, so that the
# index blocks of the big folders (one folder in 250 of them takes half of the files) are
# fragmented and ntfs-3g gives those folders attribute lists, moving their $FILE_NAME out
# to extension records; plus big compressed files of many runs, half of them deleted,
# whose names and data extents lie in extension records under non-resident lists. Then
# zeroes the MFT's first 16 records and its mirror on a copy, scans it, and counts the
# live files listed at their path (The Sleuth Kit's fls on the intact volume gives the
# paths) and the deleted big files listed at theirs. Run by hand, not by CTest:
#   bash bench/extension_records_bench.sh [FILES] [FOLDERS] [BIG_FILES]
# The default is the full size, 200000 5000 40; smaller volumes are made faster, but
# their big folders need some thousands of files each before ntfs-3g gives them lists.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
files=${1:-200000}
folders=${2:-5000}
big=${3:-40}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
cli=${TARVIK_CLI:-$here/build/tarvik-cli}
fixture=${TARVIK_FIXTURE:-$here/build/ntfs-fixture}
image="$dir/extension-records-${files}x${folders}x${big}.img"
big_size=24000000
mkdir -p "$dir"

# The script: folders first (each under a random earlier folder less than six deep),
# then the files round the folders, the big ones among them, then the deletions.
make_script() {
  awk -v files="$files" -v folders="$folders" -v big="$big" -v bigSize="$big_size" 'BEGIN {
    srand(23)
    path[0] = ""; depth[0] = 0; b = 0
    for (f = 1; f <= folders; f++) {
      do p = int(rand() * f); while (depth[p] >= 6)
      path[f] = path[p] "/folder-" f; depth[f] = depth[p] + 1
      print "mkdir " path[f]
    }
    # One folder in 250 is big: the big ones take every other file.
    for (i = 0; i < files; i++) {
      f = (i % 2 == 0) ? 1 + int(rand() * folders / 250) * 250 : 1 + int(rand() * folders)
      if (f > folders) f = folders
      print "write " path[f] "/file-" i ".dat " (100 + int(rand() * 6000)) " " i
      if (big > 0 && i % int(files / big) == 0 && b < big) {
        print "compressed " path[f] "/big-" b ".bin " bigSize " " (1000 + b)
        gone[b] = path[f] "/big-" b ".bin"; b++
      }
    }
    for (k = 0; k < b; k += 2) print "delete " gone[k]
  }'
}

if [ ! -f "$image" ]; then
  echo "making $image ..." >&2
  start=$(date +%s)
  truncate -s $(( files * 8 / 1000 + big * 4 + 256 ))M "$image.tmp"
  mkntfs -F -q -Q -c 4096 "$image.tmp" >/dev/null 2>&1
  make_script | "$fixture" "$image.tmp" -
  mv "$image.tmp" "$image"
  echo "made in $(( $(date +%s) - start )) s" >&2
fi
work=$(mktemp -d "$dir/extension-records.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Base records with an attribute list, by kind, and how many keep no $FILE_NAME of their own.
icat -f ntfs "$image" 0 >"$work/mft"
python3 - "$work/mft" <<'EOF'
import struct, sys
mft = open(sys.argv[1], 'rb').read()
size = 1024
counts = {}
for n in range(len(mft) // size):
    r = bytearray(mft[n * size:(n + 1) * size])
    if r[:4] != b'FILE' or struct.unpack_from('<Q', r, 0x20)[0]:
        continue
    usa, count = struct.unpack_from('<HH', r, 4)
    for i in range(1, count):
        r[i * 512 - 2:i * 512] = r[usa + 2 * i:usa + 2 * i + 2]
    flags = struct.unpack_from('<H', r, 0x16)[0]
    at, listed, named = struct.unpack_from('<H', r, 0x14)[0], False, False
    while at + 8 <= size:
        kind, length = struct.unpack_from('<II', r, at)
        if kind == 0xFFFFFFFF or length == 0:
            break
        listed |= kind == 0x20
        named |= kind == 0x30
        at += length
    if listed:
        key = ('folders' if flags & 2 else 'files') + (' in use' if flags & 1 else ' deleted')
        total, nameless = counts.get(key, (0, 0))
        counts[key] = (total + 1, nameless + (not named))
for key, (total, nameless) in sorted(counts.items()):
    print(f"{key} with an attribute list: {total}, of which {nameless} keep their name in extension records")
EOF

damaged="$work/damaged.img"
cp --sparse=always "$image" "$damaged"
spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
le64_at() { od -An -tu8 -j "$2" -N 8 "$1" | tr -d ' '; }
dd if=/dev/zero of="$damaged" bs=512 seek=$(( $(le64_at "$image" 48) * spc )) count=32 conv=notrunc status=none
dd if=/dev/zero of="$damaged" bs=512 seek=$(( $(le64_at "$image" 56) * spc )) count=8 conv=notrunc status=none

fls -r -p -f ntfs "$image" | awk -F'\t' '$1 ~ /^r\/r [0-9]/ && $2 !~ /\$/ { print "Root/" $2 }' |
  sort -u >"$work/live"
fls -r -p -d -f ntfs "$image" | awk -F'\t' '$2 ~ /\/big-[0-9]+\.bin$/ { print "Root/" $2 }' |
  sort -u >"$work/gone"
start=$(date +%s.%N)
"$cli" scan --disk "$damaged" 2>/dev/null >"$work/scan"
end=$(date +%s.%N)
awk -F'\t' '$1 == "File" && $2 == "normal" { print $7 }' "$work/scan" | sort -u >"$work/listed"
awk -F'\t' '$1 == "File" && $2 == "deleted" { print $7 }' "$work/scan" | sort -u >"$work/listed-deleted"
live=$(wc -l <"$work/live")
found=$(comm -12 "$work/live" "$work/listed" | wc -l)
echo "volume: $files files, $folders folders, $big big compressed files ($(wc -l <"$work/gone") deleted)"
printf 'live files at their path, MFT records 0-15 and mirror zeroed: %d of %d (%.2f%%)\n' \
  "$found" "$live" "$(echo "100 * $found / $live" | bc -l)"
echo "deleted big files listed at their path: $(comm -12 "$work/gone" "$work/listed-deleted" | wc -l) of $(wc -l <"$work/gone")"
echo "live files under a lost folder: $(awk -F'\t' '$1 == "File" && $2 == "normal" && $7 ~ /^Root\/Lost Folder/' "$work/scan" | wc -l)"
printf 'scan of the damaged copy: %.1f s\n' "$(echo "$end - $start" | bc -l)"
