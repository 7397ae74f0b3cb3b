#!/usr/bin/env bash
# A damaged index block, a destroyed root folder record and garbage inside MFT records
# are skipped and the scan goes on: the files behind them are still found.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}" "${TARVIK_SHARED_DIR:?}"
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
pristine="$work/pristine.dd"
if [ ! -f "$TARVIK_SHARED_DIR/testdata/mkntfs-512-subdirs.dd.xz" ]; then
  echo "scan_damaged: skipped, no $TARVIK_SHARED_DIR/testdata"
  # Under CI the shared folder is always there: its absence is a failure.
  [ "${CI:-}" = true ] && exit 1
  exit 0
fi
xz -dc "$TARVIK_SHARED_DIR/testdata/mkntfs-512-subdirs.dd.xz" >"$pristine"
cluster=512      # this volume's cluster size
mft_cluster=32   # where its MFT starts (istat -f ntfs IMG 0)

report() {  # CONDITION-STATUS LABEL
  if [ "$1" -eq 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}

overwrite() {  # IMAGE OFFSET COUNT SOURCE
  dd if="$4" of="$1" bs=1 seek="$2" count="$3" conv=notrunc status=none
}

subfolders_listed() {  # IMAGE -> number of the 512 sub-folders found as normal folders in place
  "$cli" scan --disk "$1" 2>/dev/null |
    awk -F'\t' '$1 == "Dir" && $2 == "normal" && $7 ~ /^Root\/many_subdirs\/[0-9]+$/' | wc -l
}

# 1. The first INDX block of the big folder loses its signature.
image="$work/bad-indx.dd"
cp "$pristine" "$image"
first_block=$(istat -f ntfs "$image" 68 | awk '/INDEX_ALLOCATION/ {getline; print $1; exit}')
overwrite "$image" $((first_block * cluster)) 4 /dev/zero
found=$(subfolders_listed "$image")
[ "$found" -eq 512 ]; report $? "damaged INDX block: $found of 512 sub-folders still in place"

# 2. The root folder's record is destroyed: every record is walked instead.
image="$work/bad-root.dd"
cp "$pristine" "$image"
overwrite "$image" $((mft_cluster * cluster + 5 * 1024)) 1024 /dev/zero
found=$(subfolders_listed "$image")
[ "$found" -eq 512 ]; report $? "destroyed root record: $found of 512 sub-folders still in place"

# 3. Garbage in the attributes of many records (their headers kept): no crash, the rest found.
image="$work/garbage.dd"
cp "$pristine" "$image"
"$fixture" --bytes 984 7 >"$work/garbage"
for record in $(seq 30 4 400); do
  overwrite "$image" $((mft_cluster * cluster + record * 1024 + 0x38)) 984 "$work/garbage"
done
status=0
"$cli" scan --disk "$image" >"$work/garbage.out" 2>&1 || status=$?
[ "$status" -eq 0 ] && grep -q 'Root/many_subdirs' "$work/garbage.out"
report $? "garbage in 93 records: scan finishes (status $status) and lists the rest"

# 4. The boot sector claims more sectors than the disk holds (2^63; 64 TiB): the advance
# search walks to the disk's end and stops there.
for claim in '\x00\x00\x00\x00\x00\x00\x00\x80' '\x00\x00\x00\x00\x20\x00\x00\x00'; do
  image="$work/huge-claim.dd"
  cp "$pristine" "$image"
  printf "$claim" >"$work/claim"
  overwrite "$image" $((0x28)) 8 "$work/claim"
  status=0
  timeout 60 "$cli" scan --disk "$image" --advance >"$work/huge.out" 2>&1 || status=$?
  [ "$status" -ne 124 ] && grep -q 'Root/many_subdirs' "$work/huge.out"
  report $? "boot sector claiming $(od -An -tu8 "$work/claim" | tr -d ' ') sectors: advance search ends (status $status)"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
