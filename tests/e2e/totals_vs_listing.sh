#!/usr/bin/env bash
# What `scan` counts is what it lists, each entry once, with or without the advance
# search. A volume of 30 files, 28 of them deleted and intact; copies of their records
# lie where Windows leaves them: in $LogFile (as logged while in use) and in free
# clusters. The counters add up to the lines listed, $MFT and $MFTMirr are listed as
# fls lists them, a healthy volume gets no lost folder, and the advance search adds no
# second entry for a record the scan listed, shares no number between entries and
# changes no verdict. With a folder's record destroyed, the lost folder it takes is
# counted as a lost folder, its live files as lost files and its deleted ones as deleted,
# as many as fls lists deleted.
set -euo pipefail

CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
FIXTURE=${NTFS_FIXTURE:-$TARVIK_BUILD_DIR/ntfs-fixture}
PATH=$PATH:/usr/sbin:/sbin
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

image=$WORK/v.img
truncate -s 8M "$image"
mkntfs -F -q -Q -c 4096 "$image" >/dev/null 2>&1
{
    echo "mkdir /Work"
    echo "mkdir /Keep"
    for i in $(seq 1 30); do echo "write /Work/file$i.bin $((i * 1500)) $i"; done
    echo "write /Keep/kept.txt 900 31"
    for i in $(seq 3 30); do echo "delete /Work/file$i.bin"; done
} | "$FIXTURE" "$image" -

le16_at() { od -An -tu2 -j "$2" -N 2 "$1" | tr -d ' '; }
# The record of each deleted file, as the MFT holds it now.
icat -f ntfs "$image" 0 >"$WORK/mft"
deleted_records=$(fls -f ntfs -r -d "$image" | awk -F'\t' '$2 ~ /file[0-9]+\.bin$/ {
    split($1, a, " "); split(a[3], b, "-"); print b[1] }')
[ "$(echo "$deleted_records" | wc -w)" -eq 28 ] || fail "fls lists $(echo "$deleted_records" | wc -w) deleted files, not 28"

# Copies in $LogFile, past its two restart pages: the record as it was while in use
# (in-use flag set, the sequence before freeing advanced it).
log_cluster=$(istat -f ntfs "$image" 2 | awk '/^Type: \$DATA/ { getline; print $1; exit }')
slot=0
for record in $deleted_records; do
    copy=$WORK/copy
    dd if="$WORK/mft" of="$copy" bs=1024 skip="$record" count=1 status=none
    sequence=$(le16_at "$copy" 16)
    printf "$(printf '\\x%02x\\x%02x' $(((sequence - 1) & 255)) $(((sequence - 1) >> 8)))" |
        dd of="$copy" bs=1 seek=16 conv=notrunc status=none
    printf '\x01' | dd of="$copy" bs=1 seek=22 conv=notrunc status=none
    dd if="$copy" of="$image" bs=1024 seek=$((log_cluster * 4 + 8 + slot)) conv=notrunc status=none
    slot=$((slot + 1))
done
# Copies as they are in free clusters no record names, near the volume's end.
free_cluster=2040
ifind -f ntfs -d "$free_cluster" "$image" | grep -qi 'not found' ||
    fail "cluster $free_cluster is named by a record: $(ifind -f ntfs -d "$free_cluster" "$image")"
slot=0
for record in $(echo "$deleted_records" | head -4); do
    dd if="$WORK/mft" of="$image" bs=1024 skip="$record" seek=$((free_cluster * 4 + slot)) count=1 \
        conv=notrunc status=none
    slot=$((slot + 1))
done

scan() {  # OUT IMAGE [ARGS]: the listing into OUT, the counters line into OUT.err
    "$CLI" scan --disk "$2" "${@:3}" >"$1" 2>"$1.err" || fail "scan $* failed: $(cat "$1.err")"
}
counter() {  # LISTING NAME
    grep -o "$2 [0-9]*" "$1.err" | awk '{ print $NF }'
}
lines() {  # LISTING AWK-CONDITION
    awk -F'\t' "$2" "$1" | wc -l
}
# Files counted are the File lines, folders the Dir lines; made-up folders are among the
# lost folders, and nothing else is lost on a volume where nothing is.
expect_counts_add_up() {  # LISTING LABEL
    local files folders
    files=$(($(counter "$1" "Normal Files") + $(counter "$1" "Deleted Files") + $(counter "$1" "Lost Files")))
    folders=$(($(counter "$1" "Normal Directories") + $(counter "$1" "Deleted Directories") +
        $(counter "$1" "Lost Directories")))
    [ "$files" -eq "$(lines "$1" '$1 == "File"')" ] ||
        fail "$2: $files files counted, $(lines "$1" '$1 == "File"') listed ($(cat "$1.err"))"
    [ "$folders" -eq "$(lines "$1" '$1 == "Dir"')" ] ||
        fail "$2: $folders folders counted, $(lines "$1" '$1 == "Dir"') listed ($(cat "$1.err"))"
    [ "$(counter "$1" "Lost Directories")" -ge "$(lines "$1" '$2 == "made-up"')" ] ||
        fail "$2: made-up folders not counted as lost ones"
}
expect_each_once() {  # LISTING LABEL: no own number, no path twice
    local twice
    twice=$(awk -F'\t' '{ print $5 }' "$1" | sort | uniq -d | head -5 | tr '\n' ' ')
    [ -z "$twice" ] || fail "$2: own numbers shared by two entries: $twice"
    twice=$(awk -F'\t' '{ print $7 }' "$1" | sort | uniq -d | head -5 | tr '\n' ' ')
    [ -z "$twice" ] || fail "$2: paths listed twice: $twice"
}

# 1. The scan alone.
scan "$WORK/plain" "$image"
expect_counts_add_up "$WORK/plain" "scan"
expect_each_once "$WORK/plain" "scan"
[ "$(lines "$WORK/plain" '$7 ~ /Lost Folder/')" -eq 0 ] || fail "scan: a lost folder on a healthy volume"
[ "$(counter "$WORK/plain" "Lost Files")$(counter "$WORK/plain" "Lost Directories")" = 00 ] ||
    fail "scan: lost entries counted on a healthy volume: $(cat "$WORK/plain.err")"
[ "$(lines "$WORK/plain" '$2 == "deleted" && $8 == "intact"')" -eq 28 ] ||
    fail "scan: $(lines "$WORK/plain" '$2 == "deleted" && $8 == "intact"') deleted files intact, not 28"
# The root's entries in use are the ones fls lists there ($MFT and $MFTMirr among them;
# fls names $Secure by its streams).
diff <(fls -f ntfs -u "$image" | awk -F'\t' '$2 != "$OrphanFiles" { sub(/:.*/, "", $2); print $2 }' | sort -u) \
    <(awk -F'\t' '$2 == "normal" && $7 ~ /^Root\/[^\/]*$/ { sub(/^Root\//, "", $7); print $7 }' "$WORK/plain" | sort) \
    >"$WORK/diff" || fail "scan: the root's entries differ from fls's: $(cat "$WORK/diff")"

# 2. The advance search finds only copies of what the scan listed: nothing is added and
#    no verdict changes.
scan "$WORK/advance" "$image" --advance
expect_counts_add_up "$WORK/advance" "advance search"
expect_each_once "$WORK/advance" "advance search"
diff <(cut -f1-8 "$WORK/plain" | sort) <(cut -f1-8 "$WORK/advance" | sort) >"$WORK/diff" ||
    fail "advance search: the listing changed: $(head -c 600 "$WORK/diff")"
[ "$(lines "$WORK/advance" '$2 == "deleted" && $8 == "intact"')" -eq 28 ] ||
    fail "advance search: $(lines "$WORK/advance" '$2 == "deleted" && $8 == "intact"') deleted files intact, not 28"
"$CLI" recover --disk "$image" --advance --all --out "$WORK/out" >/dev/null 2>&1 ||
    fail "recover --advance --all failed"
written=$(find "$WORK/out" -name '* ([0-9]*)' | head -5 | tr '\n' ' ')
[ -z "$written" ] || fail "recover --advance --all wrote a file twice: $written"
# $MFT and $MFTMirr come back as icat reads them.
for record in 0 1; do
    name=$([ "$record" -eq 0 ] && echo '$MFT' || echo '$MFTMirr')
    cmp -s <(icat -f ntfs "$image" "$record") "$WORK/out/Root/$name" ||
        fail "recover: $name differs from icat's"
done

# 3. The folder /Work loses its record, and the root its index block: the files of /Work
#    are in a folder made up for it, counted as a lost folder only; its live files are lost
#    files, its deleted ones deleted files, as many as fls lists.
work_record=$(fls -f ntfs -u "$image" | awk -F'\t' '$2 == "Work" { split($1, a, " "); split(a[2], b, "-"); print b[1] }')
damaged=$WORK/damaged.img
cp "$image" "$damaged"
mft_cluster=$(istat -f ntfs "$image" 0 | awk '/^Type: \$DATA/ { getline; print $1; exit }')
dd if=/dev/zero of="$damaged" bs=1024 seek=$((mft_cluster * 4 + work_record)) count=1 conv=notrunc status=none
root_index=$(istat -f ntfs "$image" 5 | awk '/^Type: \$INDEX_ALLOCATION/ { getline; print $1; exit }')
dd if=/dev/zero of="$damaged" bs=4096 seek="$root_index" count=1 conv=notrunc status=none
scan "$WORK/lost" "$damaged"
expect_counts_add_up "$WORK/lost" "lost folder"
expect_each_once "$WORK/lost" "lost folder"
[ "$(counter "$WORK/lost" "Lost Files")" -eq 2 ] ||
    fail "lost folder: $(counter "$WORK/lost" "Lost Files") lost files counted, not the 2 live ones of /Work"
fls_deleted=$(fls -f ntfs -r -d "$damaged" | awk -F'\t' '$1 ~ /^-\/r/ && $2 !~ /:|OrphanFile-[0-9]+$/' | wc -l)
[ "$(counter "$WORK/lost" "Deleted Files")" -eq "$fls_deleted" ] ||
    fail "lost folder: $(counter "$WORK/lost" "Deleted Files") deleted files counted, fls lists $fls_deleted"
[ "$(counter "$WORK/lost" "Lost Directories")" -eq 2 ] ||
    fail "lost folder: $(counter "$WORK/lost" "Lost Directories") lost folders, not the root and its folder"
scan "$WORK/lost-advance" "$damaged" --advance
expect_counts_add_up "$WORK/lost-advance" "lost folder, advance search"
expect_each_once "$WORK/lost-advance" "lost folder, advance search"
diff <(cut -f1-4,7,8 "$WORK/lost" | sort) <(cut -f1-4,7,8 "$WORK/lost-advance" | sort) >"$WORK/diff" ||
    fail "lost folder, advance search: the listing changed: $(head -c 600 "$WORK/diff")"

# 4. Record 0 is destroyed in the MFT and in its mirror: the drive-wide search lists each
#    file once, the copies in $LogFile left out, and each deleted file as deleted.
nomft=$WORK/no-mft.img
cp "$image" "$nomft"
mirror_cluster=$(istat -f ntfs "$image" 1 | awk '/^Type: \$DATA/ { getline; print $1; exit }')
for cluster in "$mft_cluster" "$mirror_cluster"; do
    dd if=/dev/zero of="$nomft" bs=4096 seek="$cluster" count=1 conv=notrunc status=none
done
scan "$WORK/no-mft" "$nomft"
expect_counts_add_up "$WORK/no-mft" "no MFT"
expect_each_once "$WORK/no-mft" "no MFT"
[ "$(lines "$WORK/no-mft" '$2 == "deleted" && $7 ~ /^Root\/Work\/file/')" -eq 28 ] ||
    fail "no MFT: $(lines "$WORK/no-mft" '$2 == "deleted" && $7 ~ /^Root\/Work\/file/') deleted files of /Work, not 28"
[ "$(lines "$WORK/no-mft" '$2 == "normal" && $7 ~ /^Root\/Work\/file/')" -eq 2 ] ||
    fail "no MFT: $(lines "$WORK/no-mft" '$2 == "normal" && $7 ~ /^Root\/Work\/file/') files of /Work in use, not 2"

# 5. A Windows volume with a shadow copy: the snapshot's store keeps copies of the
#    volume's records, which the advance search takes for another volume's. It adds none
#    of them again, only the file the volume no longer lists (syslog, 1247 bytes).
vss=${TARVIK_SHARED_DIR:-}/testdata/vsstest.qcow2
names_sizes() { awk -F'\t' '$2 != "made-up" { n = split($7, p, "/"); print p[n] "\t" $3 }' "$1" | sort; }
if [ -f "$vss" ]; then
    scan "$WORK/vss" "$vss"
    scan "$WORK/vss-advance" "$vss" --advance
    expect_counts_add_up "$WORK/vss-advance" "shadow copy, advance search"
    expect_each_once "$WORK/vss-advance" "shadow copy, advance search"
    added=$(comm -13 <(names_sizes "$WORK/vss") <(names_sizes "$WORK/vss-advance") | tr '\t\n' ': ')
    [ "$added" = "syslog:1247 " ] || fail "shadow copy: the advance search added $added"
elif [ "${CI:-}" = true ]; then
    fail "no $vss under CI"
else
    echo "skip the shadow-copy volume: no $vss"
fi

echo "$FAILED failed"
[ "$FAILED" -eq 0 ]
