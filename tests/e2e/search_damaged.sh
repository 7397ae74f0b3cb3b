#!/usr/bin/env bash
# Volumes made by real NTFS code, damaged the way users' disks are: the disk search
# finds what the partition table no longer points to, and the drive-wide record search
# finds the files of a volume whose MFT is destroyed or was formatted over.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}" "${TARVIK_FIXTURE_DIR:?}"
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
fixtures="$TARVIK_FIXTURE_DIR"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

report() {  # STATUS LABEL
  if [ "$1" -eq 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}
zero_sectors() {  # IMAGE SECTOR COUNT
  dd if=/dev/zero of="$1" bs=512 seek="$2" count="$3" conv=notrunc status=none
}
le32_at() {  # IMAGE BYTE-OFFSET
  od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '
}
drives_found() {  # IMAGE [ARGS] -> "start size" lines
  "$cli" drives --disk "$@" 2>/dev/null | awk -F'\t' '{ print $3, $4 }'
}
ntfs_drives_built() {  # IMAGE -> "start size" lines of its NTFS partitions
  awk -F'\t' '$1 == "07" { print $2, $3 }' "$1.drives"
}
# The base names of a manifest's files (normal and deleted), sorted.
manifest_names() {
  awk -F'\t' '{ n = split($1, p, "/"); print p[n] }' "$1" | sort
}
scanned_names() {  # IMAGE [ARGS]
  "$cli" scan --disk "$@" 2>/dev/null | awk -F'\t' '$1 == "File" { n = split($7, p, "/"); print p[n] }' | sort
}

# 1. The partition table is wiped: the walk finds nothing and the search lists every
#    NTFS volume with its start and size.
image="$work/no-table.img"
cp "$fixtures/mbr-mixed.img" "$image"
zero_sectors "$image" 0 1
diff <(drives_found "$image") <(ntfs_drives_built "$fixtures/mbr-mixed.img") >"$work/diff" 2>&1
report $? "wiped partition table: the search lists the 4 NTFS volumes"

# 2. ... and the second volume's first sector is zeroed too: found through its backup boot
#    sector, and it scans from it.
zero_sectors "$image" 28672 1
drives_found "$image" --search | grep -q '^28672 16384$'
report $? "zeroed first sector: the volume at 28672 is found through its backup"
diff <(scanned_names "$image" --search --drive 2 | grep -v '^\$') \
     <(manifest_names "$fixtures/mbr-mixed.img.28672.manifest") >/dev/null
report $? "zeroed first sector: the volume's files are scanned from the backup boot sector"

# 3. The partition entry points two sectors past the volume: the walk's drive is refused;
#    the search's drive scans.
image="$work/wrong-start.img"
cp "$fixtures/sample-disk.img" "$image"
printf '\x02\x08\x00\x00' | dd of="$image" bs=1 seek=$((0x1BE + 8)) conv=notrunc status=none
status=0
"$cli" scan --disk "$image" --drive 1 >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q 'Invalid Drive: Use Corvane Miravel FAT to Recover FAT Drive' "$work/err"
report $? "wrong partition start: the drive it names is refused"
status=0
"$cli" scan --disk "$image" >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q 'no drive of the disk has a valid NTFS boot sector' "$work/err"
report $? "wrong partition start: without --drive no drive is chosen, and the search is proposed"
diff <(scanned_names "$image" --search | grep -v '^\$') \
     <(manifest_names "$fixtures/sample-disk.manifest") >/dev/null
report $? "wrong partition start: the searched drive lists every file"

# 4. MFT record 0 and its mirror are destroyed: every file is found by searching the drive
#    for FILE records (no folders), under made-up folders unless the root holds it.
image="$work/no-mft.img"
cp "$fixtures/bare-ntfs.img" "$image"
spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
zero_sectors "$image" $(( $(le32_at "$image" 48) * spc )) 2
zero_sectors "$image" $(( $(le32_at "$image" 56) * spc )) 2
"$cli" scan --disk "$image" >"$work/no-mft.out" 2>/dev/null
diff <(awk -F'\t' '$1 == "File" { n = split($7, p, "/"); print p[n] }' "$work/no-mft.out" | grep -v '^\$' | sort) \
     <(manifest_names "$fixtures/bare-ntfs.img.manifest") >"$work/diff"
report $? "destroyed MFT record 0 and mirror: every file is still found"
! awk -F'\t' '$1 == "Dir" && $2 != "made-up"' "$work/no-mft.out" | grep -q .
report $? "destroyed MFT record 0 and mirror: no folder but made-up ones"

# ... and they come back byte-identical, found by name wherever the lost folders put them.
"$cli" recover --disk "$image" --all --out "$work/no-mft-out" >/dev/null 2>&1
mismatches=0
while IFS=$'\t' read -r path size md5 _; do
  [ "$size" -eq 0 ] && continue
  file=$(find "$work/no-mft-out/Root" -type f -name "$(basename "$path")" | head -n 1)
  [ -n "$file" ] && [ "$(md5sum <"$file" | cut -d' ' -f1)" = "$md5" ] || {
    echo "    not recovered intact: $path"; mismatches=$((mismatches + 1)); }
done <"$fixtures/bare-ntfs.img.manifest"
[ "$mismatches" -eq 0 ]
report $? "destroyed MFT record 0 and mirror: recover --all writes every file byte-identical"

# 5. A volume quick-formatted over an older one with another cluster size: the older
#    volume's records outside the new MFT are found by the advance search only.
image="$work/reformatted.img"
truncate -s 32M "$image"
mkntfs -F -q -Q -c 1024 "$image" >/dev/null 2>&1
{ echo "mkdir /old"; for i in $(seq 1 120); do echo "write /old/old-$i.bin $((i * 100)) $i"; done; } |
  "$fixture" "$image" -
mkntfs -F -q -Q -c 4096 "$image" >/dev/null 2>&1
echo "write /new.txt 1000 9" | "$fixture" "$image" -
plain=$(scanned_names "$image" | grep -c '^old-' || true)
advanced=$(scanned_names "$image" --advance | grep -c '^old-' || true)
[ "$advanced" -ge 100 ] && [ "$advanced" -gt "$plain" ]
report $? "formatted over: $plain old files without, $advanced with the advance search"
"$cli" scan --disk "$image" --advance 2>/dev/null | grep -q $'\tRoot/Lost Folder 0001\t'
report $? "formatted over: the advance search makes Lost Folder 0001"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
