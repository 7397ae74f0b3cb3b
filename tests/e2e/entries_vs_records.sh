#!/usr/bin/env bash
# What the scan says of an entry is what its record says, on volumes written by mkntfs
# and ntfs-3g where a folder's index and the record disagree: each entry is listed once,
# normal exactly when istat calls its record allocated, with the real size of its
# unnamed $DATA (a sparse file past 4 GiB too) and the creation time of its
# $STANDARD_INFORMATION (edited here behind the index's back). Children whose parent
# folder's record was reused for something else are orphans (fls puts them under
# $OrphanFiles), not children of the newcomer; records an older volume left in the MFT's
# unused tail are never normal. The recovered Root folder takes record 5's times.
set -euo pipefail
: "${TARVIK_BUILD_DIR:?}"
CLI=$TARVIK_BUILD_DIR/tarvik-cli
FIXTURE=${NTFS_FIXTURE:-$TARVIK_BUILD_DIR/ntfs-fixture}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PATH=$PATH:/usr/sbin:/sbin
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

new_volume() {  # IMAGE [SIZE]
    truncate -s "${2:-64M}" "$1"
    mkntfs -F -q -Q -c 4096 "$1" >/dev/null 2>&1
}

# Sets the $STANDARD_INFORMATION creation time of record NUMBER to 2015-11-03 12:00 UTC,
# leaving the copy in the folder's index as it was.
edit_creation_time() {  # IMAGE NUMBER
    python3 - "$1" "$2" <<'EOF'
import struct, sys
path, wanted = sys.argv[1], int(sys.argv[2])
when = (1446552000 + 11644473600) * 10**7
with open(path, 'r+b') as f:
    data = f.read()
    for at in range(0, len(data) - 1024, 1024):
        if data[at:at + 4] != b'FILE' or struct.unpack_from('<I', data, at + 0x2C)[0] != wanted:
            continue
        attr = at + struct.unpack_from('<H', data, at + 0x14)[0]
        if struct.unpack_from('<I', data, attr)[0] != 0x10:
            continue
        f.seek(attr + struct.unpack_from('<H', data, attr + 0x14)[0])
        f.write(struct.pack('<Q', when))
        sys.exit(0)
sys.exit('record %d not found' % wanted)
EOF
}

# A deleted folder's record reused by a new folder; a sparse file of 5 GiB + 1 byte;
# a file whose record keeps another creation time than its index entry. The volume is
# larger than the sparse file (a sparse image file): istat refuses runs longer than it.
make_reused_parent() {  # IMAGE
    new_volume "$1" 6G
    "$FIXTURE" "$1" - >/dev/null <<'EOF'
mkdir /Old
write /Old/a.txt 3000 1
write /Old/b.txt 5000 2
sparse /big.bin 5368709121 3 0 4096
write /keep.txt 100 4
delete /Old/a.txt
delete /Old/b.txt
rmdir /Old
EOF
    printf 'mkdir /dest\nwrite /dest/new.txt 10 5\n' | "$FIXTURE" "$1" - >/dev/null
    local keep
    keep=$(fls -f ntfs "$1" | awk -F'\t' '$2 == "keep.txt" { split($1, f, " "); print f[2] + 0 }')
    edit_creation_time "$1" "$keep"
}

# A folder whose index, after most of its files were deleted, still names freed records.
make_stale_index() {  # IMAGE
    new_volume "$1"
    { echo "mkdir /Many"
      for i in $(seq 1 300); do echo "write /Many/file-with-a-rather-long-name-$i.txt 10 $i"; done
    } | "$FIXTURE" "$1" - >/dev/null
    for i in $(seq 1 280); do echo "delete /Many/file-with-a-rather-long-name-$i.txt"; done |
        "$FIXTURE" "$1" - >/dev/null
}

# Takes the $FILE_NAME out of record NUMBER (its type made one no reader takes), as
# ntfs-3g leaves the records it frees.
strip_file_name() {  # IMAGE NUMBER
    python3 - "$1" "$2" <<'EOF'
import struct, sys
path, wanted = sys.argv[1], int(sys.argv[2])
with open(path, 'r+b') as f:
    data = f.read()
    for at in range(0, len(data) - 1024, 1024):
        if data[at:at + 4] != b'FILE' or struct.unpack_from('<I', data, at + 0x2C)[0] != wanted:
            continue
        attr = at + struct.unpack_from('<H', data, at + 0x14)[0]
        while struct.unpack_from('<I', data, attr)[0] not in (0x30, 0xFFFFFFFF):
            attr += struct.unpack_from('<I', data, attr + 4)[0]
        f.seek(attr)
        f.write(struct.pack('<I', 0x100))
        sys.exit(0)
sys.exit('record %d not found' % wanted)
EOF
}

# The first name fls lists as in use whose record istat calls free: "NUMBER<TAB>NAME".
stale_name() {  # IMAGE
    local number name
    while IFS=$'\t' read -r number name; do
        istat -f ntfs "$1" "$number" | grep -q '^Not Allocated' && { printf '%s\t%s\n' "$number" "$name"; return; }
    done < <(fls -f ntfs -r -p "$1" | awk -F'\t' '$1 !~ /\*/ && $2 ~ /^Many\// {
                 split($1, f, " "); split(f[2], n, "-"); sub(/^Many\//, "", $2); print n[1] "\t" $2 }')
}

# A quick format over a volume of 300 files, then one file: the new MFT grows over the
# old one's records, which its bitmap calls free.
make_quick_format() {  # IMAGE
    new_volume "$1"
    { echo "mkdir /Many"
      for i in $(seq 1 300); do echo "write /Many/old-$i.txt 10 $i"; done
    } | "$FIXTURE" "$1" - >/dev/null
    mkntfs -F -q -Q -c 4096 "$1" >/dev/null 2>&1
    echo 'write /x.txt 10 1' | "$FIXTURE" "$1" - >/dev/null
}

# Every entry against istat: state, size, creation date; and each path once. A time of 0
# (mkntfs leaves $MFT's so) istat prints as 2076-11-29 08:54:34.
check_entries() {  # LABEL IMAGE
    local label=$1 image=$2 bad=0 count=0
    "$CLI" scan --disk "$image" --drive 1 2>/dev/null >"$WORK/scan"
    local twice
    twice=$(awk -F'\t' '$2 != "made-up" { print $7 }' "$WORK/scan" | sort | uniq -d | head -3)
    [ -z "$twice" ] || fail "$label: listed twice: $twice"
    while IFS=$'\t' read -r kind state size date id _ path _; do
        [ "$state" = made-up ] && continue
        count=$((count + 1))
        if ! istat -f ntfs "$image" "$id" >"$WORK/istat" 2>/dev/null; then
            # Past the MFT's in-use part: never a normal entry.
            [ "$state" = normal ] && { echo "    $path: normal, istat has no record $id"; bad=$((bad + 1)); }
            continue
        fi
        local allocated si data
        allocated=deleted
        grep -Eq '^Allocated (File|Directory)' "$WORK/istat" && allocated=normal
        si=$(awk '/^\$STANDARD_INFORMATION/ {f = 1} f && /^Created:/ {
                  if ($2 " " $3 == "2076-11-29 08:54:34.000000000") print "1601-01-01T00:00:00Z"
                  else print $2 "T" substr($3, 1, 8) "Z"; exit}' "$WORK/istat")
        data=$(awk '/^Type: \$DATA \(128-[0-9]+\) +Name: N\/A/ {
                      for (i = 1; i <= NF; i++) if ($i == "size:") {print $(i + 1); exit}}' "$WORK/istat")
        [ "$kind" = Dir ] && data=0
        if [ "$state" != "$allocated" ] || [ "$size" != "${data:-0}" ] || [ "$date" != "$si" ]; then
            echo "    $path: $state $size $date, istat $allocated ${data:-0} $si"
            bad=$((bad + 1))
        fi
    done <"$WORK/scan"
    if [ "$bad" -eq 0 ] && [ "$count" -gt 0 ]; then pass; else fail "$label: $bad of $count entries differ from istat"; fi
}

# Every name fls can only place under $OrphanFiles is under a lost folder of ours.
check_orphans() {  # LABEL IMAGE
    local label=$1 image=$2 name
    while IFS= read -r name; do
        grep -q $'\tRoot/Lost Folder [0-9]*/.*/'"$name"$'\t' "$WORK/scan" ||
            fail "$label: orphan $name is not under a lost folder: $(grep -F "/$name" "$WORK/scan" | cut -f7)"
    done < <(fls -r -p -f ntfs "$image" | awk -F'\t' '$2 ~ /^\$OrphanFiles\/[^\/]*$/ && $2 !~ /OrphanFile-[0-9]+$/ {
                 sub(/^\$OrphanFiles\//, "", $2); print $2 }')
}

check_root_times() {  # IMAGE
    local image=$1 expected got
    "$CLI" recover --disk "$image" --drive 1 --out "$WORK/out" --all >/dev/null 2>&1 ||
        { fail "recover --all failed"; return; }
    expected=$(istat -f ntfs "$image" 5 | awk '/^\$STANDARD_INFORMATION/ {f = 1}
        f && /^File Modified:/ {print $3 " " substr($4, 1, 8); exit}')
    got=$(TZ=UTC date -r "$WORK/out/Root" '+%Y-%m-%d %H:%M:%S')
    [ "$got" = "$expected" ] && pass || fail "Root folder modified $got, record 5 says $expected"
}

make_reused_parent "$WORK/reused.img"
check_entries reused-parent "$WORK/reused.img"
check_orphans reused-parent "$WORK/reused.img"
grep -q $'\tRoot/big.bin\t' "$WORK/scan" || fail "big.bin not at Root"

make_stale_index "$WORK/stale.img"
check_entries stale-index "$WORK/stale.img"
# A freed record without a name is listed once, as deleted, from the index entry, by the
# deeper scan that walks the folders' indexes (the name survives nowhere else).
IFS=$'\t' read -r stale_number stale_file < <(stale_name "$WORK/stale.img")
if [ -z "${stale_number:-}" ]; then
    fail "stale-index: no index entry names a freed record"
else
    strip_file_name "$WORK/stale.img" "$stale_number"
    listed=$("$CLI" scan --disk "$WORK/stale.img" --drive 1 --deep 2>/dev/null |
        awk -F'\t' -v p="Root/Many/$stale_file" '$7 == p { print $2 }' | tr '\n' ' ')
    [ "$listed" = "deleted " ] && pass || fail "stale-index: nameless $stale_file listed as '$listed'"
fi
check_root_times "$WORK/stale.img"

make_quick_format "$WORK/format.img"
check_entries quick-format "$WORK/format.img"
check_orphans quick-format "$WORK/format.img"

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
