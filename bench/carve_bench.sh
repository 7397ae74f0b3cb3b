#!/usr/bin/env bash
# Carving free clusters against PhotoRec. Makes a volume (mkntfs, filled through the
# ntfs-3g driver) with files made by real programs (bench/carve_files.py), records
# every file's SHA-256, deletes some, then writes small new files until the deleted
# files' MFT records are reused. Then, on that volume: the files our carving gives back
# byte-identical against PhotoRec's, among those the MFT no longer knows, how many
# files the MFT pass already recovers were carved again, and the time of each.
# Run by hand, not by CTest (needs /dev/fuse, ImageMagick, zip, testdisk):
#   bash bench/carve_bench.sh [FILES_PER_TYPE] [VOLUME_MIB]
# The volume is made a fifth larger than the files by default, so that it is mostly full
# as a used disk is.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
per_type=${1:-30}
volume_mib=${2:-}
cli=${TARVIK_CLI:-$here/build/tarvik-cli}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
mkdir -p "$dir"
work=$(mktemp -d "$dir/carve.XXXXXX")
mnt="$work/mnt"
cleanup() {
  mountpoint -q "$mnt" 2>/dev/null && fusermount -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
for tool in photorec mkntfs ntfs-3g zip python3; do
  command -v "$tool" >/dev/null || { echo "carve_bench: $tool is missing" >&2; exit 1; }
done

python3 "$here/bench/carve_files.py" "$work/files" "$per_type" 4242
(cd "$work/files" && sha256sum -- * | sort -k2) >"$work/files.sha256"

if [ -z "$volume_mib" ]; then
  volume_mib=$(( $(du -sm --apparent-size "$work/files" | cut -f1) * 6 / 5 + 24 ))
fi
image="$work/volume.img"
truncate -s "${volume_mib}M" "$image"
mkntfs -F -Q -q -c 4096 "$image"
mkdir -p "$mnt"
ntfs-3g "$image" "$mnt"
mkdir "$mnt/keep"
# Files go in one by one, shuffled so the types lie mixed on the volume.
ls "$work/files" | shuf --random-source=<(yes) >"$work/order"
while read -r name; do cp "$work/files/$name" "$mnt/keep/$name"; done <"$work/order"
sync
# Every other file is deleted; then as many tiny (resident) files as were deleted, and
# some more, take their records back without touching their clusters.
awk 'NR % 2 == 0' "$work/order" | sort >"$work/deleted"
while read -r name; do rm "$mnt/keep/$name"; done <"$work/deleted"
mkdir "$mnt/new"
for ((i = 0; i < $(wc -l <"$work/deleted") + 20; i++)); do
  printf 'note %d\n' "$i" >"$mnt/new/note$i.txt"
done
fusermount -u "$mnt" 2>/dev/null || umount "$mnt"

# What the MFT pass knows: deleted files it lists by name, and those it recovers whole.
"$cli" scan --disk "$image" 2>/dev/null | awk -F'\t' '$1 == "File" && $2 == "deleted" { n = $7; sub(/.*\//, "", n); print n }' |
  sort -u >"$work/known-deleted"
"$cli" recover --disk "$image" --deleted --out "$work/mft" >/dev/null 2>&1 || true
(cd "$work/mft" && find . -type f -print0 | xargs -0 -r sha256sum | awk '{ print $1 }' | sort -u) >"$work/mft.sha256"
# Deleted files whose record is gone (the MFT lists no deleted file of that name).
comm -23 "$work/deleted" "$work/known-deleted" >"$work/gone"
awk 'NR == FNR { gone[$1] = 1; next } ($2 in gone) { print $1 }' "$work/gone" "$work/files.sha256" |
  sort -u >"$work/gone.sha256"
# Every file's hash that the MFT pass gives back or that is still live.
awk 'NR == FNR { gone[$1] = 1; next } !($2 in gone) { print $1 }' "$work/gone" "$work/files.sha256" |
  sort -u >"$work/known.sha256"

hashes() { (cd "$1" && find . -type f -print0 | xargs -0 -r sha256sum | awk '{ print $1 }' | sort); }
# Each run's wall time and processor time (user + system): the machine may be shared, and
# the processor time tells the work apart from the waiting.
timed() {  # NAME COMMAND...: runs it, its times in $work/NAME.time
  local name=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" || true
}
timed ours "$cli" recover --disk "$image" --carve --select "Root/Carved Files" --out "$work/ours"
mkdir -p "$work/photorec"
(cd "$work" && timed photorec photorec /log /d "$work/photorec/recup" /cmd "$image" \
  wholespace,fileopt,everything,enable,search)
hashes "$work/ours" >"$work/ours.sha256"
hashes "$work/photorec" >"$work/photorec.sha256"

count_in() { comm -12 <(sort -u "$1") "$2" | wc -l; }
gone_total=$(wc -l <"$work/gone.sha256")
echo "files made: $(wc -l <"$work/files.sha256"), deleted: $(wc -l <"$work/deleted"), records gone: $gone_total"
grep -h "carved" "$work/ours.err" || true
printf '%-9s %6s %10s %12s %16s %8s %8s\n' tool files identical "of-gone" "MFT-known-again" "wall s" "cpu s"
for tool in ours photorec; do
  read -r wall user system <"$work/$tool.time"
  printf '%-9s %6d %10d %12s %16d %8.2f %8.2f\n' $tool "$(wc -l <"$work/$tool.sha256")" \
    "$(count_in "$work/$tool.sha256" <(cat "$work/gone.sha256" "$work/known.sha256" | sort -u))" \
    "$(count_in "$work/$tool.sha256" "$work/gone.sha256")/$gone_total" \
    "$(count_in "$work/$tool.sha256" "$work/known.sha256")" "$wall" "$(echo "$user + $system" | bc)"
done
# Per type, the gone files each gives back.
for ext in jpg png gif bmp pdf zip sqlite wav; do
  awk -v e=".$ext" 'NR == FNR { gone[$1] = 1; next } ($2 in gone) && index($2, e) { print $1 }' \
    "$work/gone" "$work/files.sha256" | sort -u >"$work/gone.$ext"
  printf '  %-7s gone %3d  ours %3d  photorec %3d\n' "$ext" "$(wc -l <"$work/gone.$ext")" \
    "$(count_in "$work/ours.sha256" "$work/gone.$ext")" "$(count_in "$work/photorec.sha256" "$work/gone.$ext")"
done
