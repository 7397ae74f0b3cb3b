#!/usr/bin/env bash
# What `scan` counts is what it lists, each entry once, with or without the advance
# search. A volume of 30 files, 28 of them deleted and intact; copies of their records
# lie where Windows leaves them: in $LogFile (as logged while in use) and in free
# clusters. The counters add up to the lines listed, $MFT and $MFTMirr are listed as
# fls lists them and recovered as icat reads them, a healthy volume gets no lost folder,
# and the advance search adds no second entry for a record the scan listed, shares no
# number between entries and changes no verdict. A destroyed folder's made-up folder is
# a lost folder, its live files lost files, its deleted ones deleted files (as fls counts).
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

expect() { [ "$2" = "$3" ] || fail "$1: $2, not $3"; }
first_cluster() { istat -f ntfs "$2" "$1" | awk "/^Type: \\$3/ { getline; print \$1; exit }"; }
zero() { dd if=/dev/zero of="$1" bs="$2" seek="$3" count=1 conv=notrunc status=none; }
icat -f ntfs "$image" 0 >"$WORK/mft"
inode() { awk -F'\t' -v n="$1" '$2 ~ n { k = split($1, a, " "); split(a[k], b, "-"); print b[1] }'; }
deleted=$(fls -f ntfs -r -d "$image" | inode 'file[0-9]+\.bin$')
expect "fls's deleted files" "$(echo "$deleted" | wc -w)" 28
# Copies in $LogFile past its restart pages, as logged while in use: in-use flag set, the
# sequence before freeing advanced it. Four more as they are, in a cluster no record names.
at=$(($(first_cluster 2 "$image" '$DATA') * 4 + 8))
for record in $deleted; do
    dd if="$WORK/mft" of="$WORK/copy" bs=1024 skip="$record" count=1 status=none
    sequence=$(($(od -An -tu2 -j 16 -N 2 "$WORK/copy") - 1))
    printf "$(printf '\\x%02x\\x%02x' $((sequence & 255)) $((sequence >> 8)))" |
        dd of="$WORK/copy" bs=1 seek=16 conv=notrunc status=none
    printf '\x01' | dd of="$WORK/copy" bs=1 seek=22 conv=notrunc status=none
    dd if="$WORK/copy" of="$image" bs=1024 seek=$((at++)) conv=notrunc status=none
done
ifind -f ntfs -d 2040 "$image" | grep -qi 'not found' || fail "cluster 2040 is named by a record"
at=$((2040 * 4))
for record in $(echo "$deleted" | head -4); do
    dd if="$WORK/mft" of="$image" bs=1024 skip="$record" seek=$((at++)) count=1 conv=notrunc status=none
done

# scan OUT IMAGE [ARGS]: the listing and its counters line (OUT.err). The counters add up
# to the File and Dir lines, made-up folders are among the lost ones, and no own number
# nor path is listed twice.
counter() { grep -o "$2 [0-9]*" "$1.err" | awk '{ print $NF }'; }
lines() { awk -F'\t' "$2" "$1" | wc -l; }
scan() {
    "$CLI" scan --disk "$2" "${@:3}" >"$1" 2>"$1.err" || fail "scan $* failed: $(cat "$1.err")"
    local label="$(basename "$1") ($(cat "$1.err"))" kind
    for kind in Files Directories; do
        expect "$label: $kind" "$(($(counter "$1" "Normal $kind") + $(counter "$1" "Deleted $kind") +
            $(counter "$1" "Lost $kind")))" "$(lines "$1" "\$1 == \"$([ $kind = Files ] && echo File || echo Dir)\"")"
    done
    [ "$(counter "$1" "Lost Directories")" -ge "$(lines "$1" '$2 == "made-up"')" ] ||
        fail "$label: made-up folders not counted as lost ones"
    expect "$label: numbers or paths twice" "$(cut -f5 "$1" | sort | uniq -d)$(cut -f7 "$1" | sort | uniq -d)" ""
}
intact_deleted() { lines "$1" '$2 == "deleted" && $8 == "intact"'; }

# 1. The scan alone: nothing lost; the root's entries in use are those fls lists there
#    ($MFT and $MFTMirr among them; fls names $Secure by its streams).
scan "$WORK/plain" "$image"
expect "healthy volume: lost entries" "$(counter "$WORK/plain" "Lost Files")$(counter "$WORK/plain" "Lost Directories")" 00
expect "healthy volume: deleted files intact" "$(intact_deleted "$WORK/plain")" 28
diff <(fls -f ntfs -u "$image" | awk -F'\t' '$2 != "$OrphanFiles" { sub(/:.*/, "", $2); print $2 }' | sort -u) \
    <(awk -F'\t' '$2 == "normal" && $7 ~ /^Root\/[^\/]*$/ { sub(/^Root\//, "", $7); print $7 }' "$WORK/plain" | sort) \
    >"$WORK/diff" || fail "the root's entries differ from fls's: $(cat "$WORK/diff")"

# 2. The advance search finds only copies of what the scan listed: nothing is added, no
#    verdict changes, nothing is written twice.
scan "$WORK/advance" "$image" --advance
diff <(cut -f1-8 "$WORK/plain" | sort) <(cut -f1-8 "$WORK/advance" | sort) >"$WORK/diff" ||
    fail "the advance search changed the listing: $(head -c 600 "$WORK/diff")"
expect "advance search: deleted files intact" "$(intact_deleted "$WORK/advance")" 28
"$CLI" recover --disk "$image" --advance --all --out "$WORK/out" >/dev/null 2>&1 || fail "recover failed"
expect "files written twice" "$(find "$WORK/out" -name '* ([0-9]*)')" ""
cmp -s <(icat -f ntfs "$image" 0) "$WORK/out/Root/\$MFT" || fail "the recovered \$MFT differs from icat's"
cmp -s <(icat -f ntfs "$image" 1) "$WORK/out/Root/\$MFTMirr" || fail "the recovered \$MFTMirr differs from icat's"

# 3. /Work's record and the root's index block are destroyed: /Work's files go into one
#    made-up folder, in its own lost-folder root.
damaged=$WORK/damaged.img
cp "$image" "$damaged"
work=$(fls -f ntfs -u "$image" | inode '^Work$')
zero "$damaged" 1024 $(($(first_cluster 0 "$image" '$DATA') * 4 + work))
zero "$damaged" 4096 "$(first_cluster 5 "$image" '$INDEX_ALLOCATION')"
scan "$WORK/lost" "$damaged"
expect "lost folder: lost files" "$(counter "$WORK/lost" "Lost Files")" 2
expect "lost folder: lost folders" "$(counter "$WORK/lost" "Lost Directories")" 2
expect "lost folder: deleted files" "$(counter "$WORK/lost" "Deleted Files")" \
    "$(fls -f ntfs -r -d "$damaged" | awk -F'\t' '$1 ~ /^-\/r/ && $2 !~ /:|OrphanFile-[0-9]+$/' | wc -l)"
scan "$WORK/lost-advance" "$damaged" --advance
diff <(cut -f1-4,7,8 "$WORK/lost" | sort) <(cut -f1-4,7,8 "$WORK/lost-advance" | sort) >"$WORK/diff" ||
    fail "lost folder: the advance search changed the listing: $(head -c 600 "$WORK/diff")"

# 4. Record 0 is destroyed in the MFT and its mirror: the search over the drive lists each
#    file of /Work once, in its state, the copies in $LogFile left out.
nomft=$WORK/no-mft.img
cp "$image" "$nomft"
zero "$nomft" 4096 "$(first_cluster 0 "$image" '$DATA')"
zero "$nomft" 4096 "$(first_cluster 1 "$image" '$DATA')"
scan "$WORK/no-mft" "$nomft"
expect "no MFT: files of /Work" "$(awk -F'\t' '$7 ~ /^Root\/Work\/file/ { print $2 }' "$WORK/no-mft" | sort | uniq -c | xargs)" \
    "28 deleted 2 normal"

# 5. A Windows volume with a shadow copy: the snapshot's store keeps copies of the
#    volume's records, taken for another volume's. The advance search adds none of them
#    again, only the file the volume no longer lists (syslog, 1247 bytes).
vss=${TARVIK_SHARED_DIR:-}/testdata/vsstest.qcow2
names_sizes() { awk -F'\t' '$2 != "made-up" { n = split($7, p, "/"); print p[n] ":" $3 }' "$1" | sort; }
if [ -f "$vss" ]; then
    scan "$WORK/vss" "$vss"
    scan "$WORK/vss-advance" "$vss" --advance
    expect "shadow copy: added" "$(comm -13 <(names_sizes "$WORK/vss") <(names_sizes "$WORK/vss-advance") | xargs)" \
        "syslog:1247"
elif [ "${CI:-}" = true ]; then
    fail "no $vss under CI"
else
    echo "skip the shadow-copy volume: no $vss"
fi

echo "$FAILED failed"
[ "$FAILED" -eq 0 ]
