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

# The bare-ntfs fixture's files, normal and deleted, each at its path in a scan listing.
lists_bare_files() {  # SCAN-OUTPUT
  diff <(awk -F'\t' '$1 == "File" && $7 !~ /\$/ { print $2 "\t" $7 }' "$1" | sort) \
       <(awk -F'\t' '{ print $4 "\tRoot" $1 }' "$fixtures/bare-ntfs.img.manifest" | sort) >"$work/diff"
}
# recover --all of IMAGE into OUT writes every bare-ntfs file byte-identical at its path.
recovers_bare_files() {  # IMAGE OUT
  local path size md5 file mismatches=0
  "$cli" recover --disk "$1" --all --out "$2" >/dev/null 2>&1
  while IFS=$'\t' read -r path size md5 _; do
    [ "$size" -eq 0 ] && continue
    file="$2/Root$path"
    [ -f "$file" ] && [ "$(md5sum <"$file" | cut -d' ' -f1)" = "$md5" ] || {
      echo "    not recovered intact: $path"; mismatches=$((mismatches + 1)); }
  done <"$fixtures/bare-ntfs.img.manifest"
  [ "$mismatches" -eq 0 ]
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

# 4. MFT record 0 and its mirror are destroyed: every file and folder is found by
#    searching the drive for FILE records, and each record's own number puts it under its
#    real folder, by name, deleted folders (/Trash/inner) included.
image="$work/no-mft.img"
cp "$fixtures/bare-ntfs.img" "$image"
spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
zero_sectors "$image" $(( $(le32_at "$image" 48) * spc )) 2
zero_sectors "$image" $(( $(le32_at "$image" 56) * spc )) 2
"$cli" scan --disk "$image" >"$work/no-mft.out" 2>/dev/null
lists_bare_files "$work/no-mft.out"
report $? "destroyed MFT record 0 and mirror: every file is listed at its path, deleted or not"
diff <(awk -F'\t' '$1 == "Dir" && $2 != "made-up" && $7 !~ /\$/ { print $7 }' "$work/no-mft.out" | sort) \
     <(awk -F'\t' '{ n = split($1, p, "/"); path = "Root"
                     for (i = 2; i < n; i++) { path = path "/" p[i]; print path } }' \
         "$fixtures/bare-ntfs.img.manifest" | sort -u) >"$work/diff"
report $? "destroyed MFT record 0 and mirror: every folder is listed with its name"

# ... and they come back byte-identical at their paths.
recovers_bare_files "$image" "$work/no-mft-out"
report $? "destroyed MFT record 0 and mirror: recover --all writes every file byte-identical at its path"

# ... and when the MFT's first 64 records are gone as well, the records the search meets
#    second and sixth (which a whole MFT would have as its mirror's and the root's) are
#    user files and folders: every file is still listed at its path and comes back.
image="$work/no-mft-head.img"
cp "$fixtures/bare-ntfs.img" "$image"
zero_sectors "$image" $(( $(le32_at "$image" 48) * spc )) 128
zero_sectors "$image" $(( $(le32_at "$image" 56) * spc )) 2
"$cli" scan --disk "$image" >"$work/no-mft-head.out" 2>/dev/null
lists_bare_files "$work/no-mft-head.out"
report $? "MFT's first 64 records destroyed: every file is listed at its path"
recovers_bare_files "$image" "$work/no-mft-head-out"
report $? "MFT's first 64 records destroyed: every file comes back byte-identical at its path"

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
"$cli" scan --disk "$image" --advance >"$work/advance.out" 2>/dev/null
grep -q $'\tRoot/Lost Folder 0000\t' "$work/advance.out"
report $? "formatted over: the advance search makes Lost Folder 0000, the first one: the scan before found nothing lost"

# 6. A 128 MiB volume of 8 KiB clusters quick-formatted again with 2 KiB clusters: the
#    advance search reads the older volume's runs with its own cluster size (found from
#    where its folders' index blocks lie), so every old file it lists comes back
#    byte-identical, under one made-up folder for the older root, at its old path. The
#    Sleuth Kit reads the old files before the new format.
image="$work/reclustered.img"
truncate -s 128M "$image"
mkntfs -F -q -Q -c 8192 "$image" >/dev/null 2>&1
# The filler takes the middle of the volume, where the new format puts its $LogFile.
{ echo "write /filler.bin 4194304 99"; echo "mkdir /old"; echo "mkdir /old/sub"
  for i in $(seq 1 30); do echo "write /old/file-$i.bin $((i * 3000 + 1)) $i"; done
  for i in $(seq 1 10); do echo "write /old/sub/part-$i.dat $((i * 20000)) $((i + 40))"; done
} | "$fixture" "$image" -
fls -r -p -f ntfs "$image" | awk -F'\t' '/^r\/r [0-9]/ && $2 ~ /^old\// {
    split($1, a, " "); sub(/:$/, "", a[2]); sub(/-.*/, "", a[2]); print a[2] "\t" $2 }' |
  while IFS=$'\t' read -r inode path; do
    echo "$(icat -f ntfs "$image" "$inode" | md5sum | cut -d' ' -f1)  $path"
  done | sort -k2 >"$work/old.md5"
mkntfs -F -q -Q -c 2048 "$image" >/dev/null 2>&1
"$cli" recover --disk "$image" --advance --all --out "$work/reclustered-out" >/dev/null 2>"$work/err"
(cd "$work/reclustered-out/Root/Lost Folder 0000" 2>/dev/null &&
  find . -path '*/old/*' -type f -print0 | xargs -0 -r md5sum |
  sed 's|  \./[^/]*/|  |' | sort -k2) >"$work/old-recovered.md5"
[ "$(wc -l <"$work/old.md5")" -eq 40 ] && diff "$work/old.md5" "$work/old-recovered.md5" >"$work/diff"
report $? "other cluster size formatted over: all 40 old files come back byte-identical at their old paths"
! grep -q unverified "$work/err"
report $? "other cluster size formatted over: the older volume's cluster size is found, not guessed"

# 7. An older volume of 4 KiB clusters that began 10 MiB into the disk, under a new
#    volume of 1 KiB clusters over the whole disk: its surviving boot sector says where it
#    began and its cluster size, and its files come back byte-identical.
image="$work/moved.img"
truncate -s 32M "$work/older.img"
mkntfs -F -q -Q -c 4096 "$work/older.img" >/dev/null 2>&1
{ echo "mkdir /keep"; for i in $(seq 1 20); do echo "write /keep/k-$i.bin $((i * 5000 + 7)) $i"; done; } |
  "$fixture" "$work/older.img" -
fls -r -p -f ntfs "$work/older.img" | awk -F'\t' '/^r\/r [0-9]/ && $2 ~ /^keep\// {
    split($1, a, " "); sub(/:$/, "", a[2]); sub(/-.*/, "", a[2]); print a[2] "\t" $2 }' |
  while IFS=$'\t' read -r inode path; do
    echo "$(icat -f ntfs "$work/older.img" "$inode" | md5sum | cut -d' ' -f1)  $path"
  done | sort -k2 >"$work/keep.md5"
truncate -s 64M "$image"
dd if="$work/older.img" of="$image" bs=512 seek=20480 conv=notrunc status=none
rm -f "$work/older.img"
mkntfs -F -q -Q -c 1024 "$image" >/dev/null 2>&1
echo "write /new.txt 1000 9" | "$fixture" "$image" -
# The older volume carries the new one's serial, as two formats within one second or a
# clone give: its cluster size and place still tell it apart.
for copy in 20480 $((20480 + 65535)); do
  dd if="$image" of="$image" bs=1 skip=72 seek=$((copy * 512 + 72)) count=8 conv=notrunc \
    status=none
done
"$cli" recover --disk "$image" --advance --all --out "$work/moved-out" >/dev/null 2>&1
(cd "$work/moved-out/Root/Lost Folder 0000" 2>/dev/null &&
  find . -path '*/keep/*' -type f -print0 | xargs -0 -r md5sum |
  sed 's|  \./[^/]*/|  |' | sort -k2) >"$work/keep-recovered.md5"
[ "$(wc -l <"$work/keep.md5")" -eq 20 ] && diff "$work/keep.md5" "$work/keep-recovered.md5" >"$work/diff"
report $? "older volume elsewhere on the disk: its boot sector places it, all 20 files byte-identical"
# ... and so it does when the new volume's MFT record 0 and mirror are destroyed too: the
# older volume's records are told from the new one's by the place of its own MFT.
spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
zero_sectors "$image" $(( $(le32_at "$image" 48) * spc )) 2
zero_sectors "$image" $(( $(le32_at "$image" 56) * spc )) 2
"$cli" recover --disk "$image" --all --out "$work/moved-lost" >/dev/null 2>&1
(cd "$work/moved-lost/Root/Lost Folder 0000" 2>/dev/null &&
  find . -path '*/keep/*' -type f -print0 | xargs -0 -r md5sum |
  sed 's|  \./[^/]*/|  |' | sort -k2) >"$work/keep-lost.md5"
diff "$work/keep.md5" "$work/keep-lost.md5" >"$work/diff" && [ -f "$work/moved-lost/Root/new.txt" ]
report $? "older volume elsewhere, new MFT destroyed: the two trees apart, the old files byte-identical"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
