#!/usr/bin/env bash
# Names and data that ntfs-3g moves out of a base record into extension records: a folder
# of many files whose $FILE_NAME went to an extension record as its index grew, and two
# compressed files of many runs (one of them deleted) whose $FILE_NAME and later data
# extents lie in extension records named by a non-resident attribute list. The scan
# follows the list on the intact volume and on a copy whose MFT's first 16 records and
# mirror are zeroed; The Sleuth Kit's fls and istat give the paths, sizes and states. The
# advance search follows it too, in the records of the volume once it is formatted over.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}"
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

files=3000
packed=24000000
image="$work/lists.img"
truncate -s 128M "$image"
mkntfs -F -q -Q -c 4096 "$image" >/dev/null 2>&1
{
  # Small files first: the records that follow lie past what a later format overwrites.
  for i in $(seq 1 300); do echo "write /pad-$i 100 $i"; done
  echo "mkdir /many"
  echo "mkdir /keep"
  for i in $(seq 1 "$files"); do echo "write /many/file-$i 5000 $i"; done
  echo "compressed /keep/packed.bin $packed 3"
  echo "compressed /keep/gone.bin $packed 4"
  echo "delete /keep/gone.bin"
} | "$fixture" "$image" - || fail "the volume could not be made"

inode_of() {  # PATH-IN-FLS [-d] -> record number
  fls -r -p -f ntfs "${@:2}" "$image" | awk -F'\t' -v p="$1" '$2 == p {
      split($1, a, " "); n = a[2] == "*" ? a[3] : a[2]; sub(/-.*/, "", n); sub(/:$/, "", n); print n; exit }'
}
# The volume has what the checks are about, as The Sleuth Kit reads it.
folder=$(inode_of many)
gone=$(inode_of keep/gone.bin -d)
name_record=$(istat -f ntfs "$image" "$folder" | awk '/^Type: 48-/ { print $5; exit }')
[ -n "$name_record" ] && [ "$name_record" != "$folder" ] ||
  fail "the folder's name is not in an extension record"
istat -f ntfs "$image" "$gone" >"$work/gone.istat"
grep -q '^Type: \$ATTRIBUTE_LIST.*Non-Resident' "$work/gone.istat" ||
  fail "the deleted file has no non-resident attribute list"
grep -q 'Not Allocated' "$work/gone.istat" || fail "istat does not show the file deleted"
istat_size() {  # RECORD
  istat -f ntfs "$image" "$1" | awk '/^Type: \$DATA \(128-[0-9]+\) +Name: N\/A/ {
      for (i = 1; i <= NF; i++) if ($i == "size:") { print $(i + 1); exit } }'
}
[ "$(istat_size "$gone")" = "$packed" ] || fail "istat gives the deleted file another size"

damaged="$work/damaged.img"
cp --sparse=always "$image" "$damaged"
spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
for at in 48 56; do
  dd if=/dev/zero of="$damaged" bs=512 conv=notrunc status=none count=$((at == 48 ? 32 : 8)) \
    seek=$(($(od -An -tu8 -j "$at" -N 8 "$image" | tr -d ' ') * spc))
done

# KIND STATE SIZE PATH of the listed entries, the volume's own files left out.
listing() {  # IMAGE
  "$cli" scan --disk "$1" 2>/dev/null |
    awk -F'\t' '$2 != "made-up" && $7 !~ /\$/ { print $1 "\t" $2 "\t" $3 "\t" $7 }' | sort
}
# The same from fls and istat: every file and folder of the volume, the deleted file too.
{
  fls -r -p -f ntfs "$image" | awk -F'\t' -v big="$(istat_size "$(inode_of keep/packed.bin)")" '
      $2 !~ /\$/ && $1 ~ /^[rd]\/[rd] [0-9]/ {
        dir = $1 ~ /^d/
        size = $2 ~ /packed/ ? big : $2 ~ /^pad-/ ? 100 : 5000
        print (dir ? "Dir" : "File") "\tnormal\t" (dir ? 0 : size) "\tRoot/" $2 }'
  printf 'File\tdeleted\t%s\tRoot/keep/gone.bin\n' "$(istat_size "$gone")"
} | sort >"$work/expected"
[ "$(grep -c '^File' "$work/expected")" -eq $((files + 302)) ] || fail "fls does not list every file"

for copy in "$image" "$damaged"; do
  what=$([ "$copy" = "$image" ] && echo "intact volume" || echo "MFT's first records zeroed")
  listing "$copy" >"$work/listed"
  if diff "$work/expected" "$work/listed" >"$work/diff"; then pass; else
    fail "$what: the listing differs from fls and istat: $(head -n 5 "$work/diff" | tr '\n' ' ')"
  fi
done

# From the damaged copy both compressed files come back with their bytes, the deleted one
# through the extension records its non-resident list names.
"$cli" recover --disk "$damaged" --all --out "$work/out" >/dev/null 2>&1
for pair in "packed.bin 3" "gone.bin 4"; do
  read -r name seed <<<"$pair"
  if cmp -s <("$fixture" --runs "$packed" "$seed") "$work/out/Root/keep/$name"; then pass; else
    fail "MFT's first records zeroed: keep/$name is not recovered byte-identical"
  fi
done
# Formatted over with another cluster size: the old volume's records lie outside the new
# MFT, and the advance search puts the folder's files and both big files at their old
# paths under the older volume's made-up root.
mkntfs -F -q -Q -c 1024 "$image" >/dev/null 2>&1
"$cli" scan --disk "$image" --advance 2>/dev/null >"$work/advance"
# They are what is left of files that are gone: deleted, never normal.
in_old=$(awk -F'\t' '$1 == "File" && $2 == "deleted" && $7 ~ /^Root\/Lost Folder [0-9]+\/[^/]+\/many\/file-[0-9]+$/' "$work/advance" | wc -l)
[ "$in_old" -eq "$files" ] && grep -qP '\tdeleted\t'"$packed"'\t.*\t[0-9]+\tRoot/Lost Folder [0-9]+/[^/]+/keep/gone.bin\t' "$work/advance"
if [ $? -eq 0 ]; then pass; else fail "formatted over: $in_old of $files files in the old folder, or keep/gone.bin missing"; fi
echo "$PASSED checks passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
