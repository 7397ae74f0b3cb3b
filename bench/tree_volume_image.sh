#!/usr/bin/env bash
# The scan benchmarks' disk of a deep folder tree, made once under $BENCH_DIR: a 4 GiB
# MBR disk with one NTFS partition (mkntfs), filled through libntfs-3g (ntfs-fixture):
# FILES files of 100 bytes to 256 KiB in 5,000 folders up to six levels deep; then 20% of
# the files and 5% of the folders (leaf folders, with their files) are deleted, and new
# files and folders are written after the deletions so they take the freed records: some
# deleted files' parent references then name a record that now belongs to a newer file.
# Prints the disk's path.
#   bash bench/tree_volume_image.sh [FILES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
files=${1:-200000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
fixture=${NTFS_FIXTURE:-$here/build/ntfs-fixture}
image="$dir/tree-volume-$files.img"
mkdir -p "$dir"
if [ -f "$image" ]; then
  echo "$image"
  exit 0
fi
start=$(date +%s)
volume="$image.volume"
disk_bytes=$((4 << 30))
first_sector=2048
truncate -s $((disk_bytes - first_sector * 512)) "$volume"
mkntfs -F -q -Q -c 4096 -p $first_sector -H 255 -S 63 "$volume" >/dev/null 2>&1
python3 - "$files" >"$image.script" <<'EOF'
import random, sys
files = int(sys.argv[1])
rng = random.Random(25)
folders, depth, children = [""], {"": 0}, {"": 0}
out = []
for n in range(1, 5001):
    parent = rng.choice([f for f in folders[-400:] if depth[f] < 6] or [""])
    path = f"{parent}/d{n}"
    folders.append(path); depth[path] = depth[parent] + 1
    children[path] = 0; children[parent] += 1
    out.append(f"mkdir {path}")
def size():
    r = rng.random()
    if r < 0.75: return rng.randint(100, 8192)
    if r < 0.98: return rng.randint(8192, 32768)
    return rng.randint(32768, 262144)
placed = {f: [] for f in folders}
written = []
for n in range(1, files - files // 20 + 1):
    folder = rng.choice(folders)
    path = f"{folder}/file-{n}.dat"
    placed[folder].append(path); written.append(path)
    out.append(f"write {path} {size()} {n}")
# 5% of the folders, leaves only, go with their files; then more files until 20% are gone.
leaves = [f for f in folders[1:] if children[f] == 0]
gone_folders = rng.sample(leaves, min(len(leaves), 250))
gone = set()
for folder in gone_folders:
    for path in placed[folder]:
        out.append(f"delete {path}"); gone.add(path)
    out.append(f"rmdir {folder}")
gone_folders = set(gone_folders)
living = [p for p in written if p not in gone]
for path in rng.sample(living, max(0, files // 5 - len(gone))):
    out.append(f"delete {path}")
# Newer files and folders after the deletions take the freed records.
alive = [f for f in folders if f not in gone_folders]
for n in range(1, 51):
    path = f"{rng.choice(alive)}/new-d{n}"
    alive.append(path); out.append(f"mkdir {path}")
for n in range(files - files // 20 + 1, files + 1):
    out.append(f"write {rng.choice(alive)}/new-file-{n}.dat {size()} {n}")
print("\n".join(out))
EOF
"$fixture" "$volume" "$image.script" >/dev/null
truncate -s "$disk_bytes" "$image.tmp"
echo "$first_sector,,7" | sfdisk -q -X dos "$image.tmp" >/dev/null
dd if="$volume" of="$image.tmp" bs=4M seek=$((first_sector * 512)) oflag=seek_bytes \
  conv=notrunc,sparse status=none
rm -f "$volume"
mv "$image.tmp" "$image"
echo "made $image in $(($(date +%s) - start)) s" >&2
echo "$image"
