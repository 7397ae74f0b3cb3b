#!/usr/bin/env bash
# What `scan` says is left of each deleted file holds against the bytes `recover` writes
# back. The volume is small and filled up, so files written after a deletion can only
# land in the clusters it freed: a deleted file whose clusters a later file took wholly
# and partly, two deleted files over the same clusters (the later one is whole), a
# deleted compressed file and a deleted sparse file. Recovered files carry the
# modification time istat gives, to the 100 ns; the report's SHA-256 is sha256sum's;
# --condition writes only what it lets through. The files of an older volume formatted
# over are weighed against what the new one wrote over them.
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
# The placeholder's record is the one a late file takes when the MFT allocator starts
# over from its first free record, so that the deleted files keep theirs.
"$FIXTURE" "$image" - <<'EOF'
write /placeholder 10 1
write /whole.bin 40960 11
write /part.bin 40960 12
write /old.bin 32768 13
compressed /comp.bin 131072 14
sparse /sparse.bin 1048576 15 0 8192 524288 8192
write /keep.bin 8192 16
EOF
# Every cluster still free goes to one file, so later files reuse freed clusters.
free=$(icat -f ntfs "$image" 6 | python3 -c "
import sys
bits = sys.stdin.buffer.read()
clusters = 8 * 1024 * 1024 // 4096
print(sum(1 for c in range(clusters) if not (bits[c // 8] >> (c % 8)) & 1))")
"$FIXTURE" "$image" - <<EOF
write /filler.bin $((free * 4096)) 99
delete /whole.bin
write /taker.bin 40960 21
delete /old.bin
write /new.bin 32768 23
delete /new.bin
delete /part.bin
delete /placeholder
write /small-taker.bin 16384 22
delete /comp.bin
delete /sparse.bin
EOF

"$CLI" scan --disk "$image" >"$WORK/scan" 2>/dev/null
condition_of() { awk -F'\t' -v p="Root/$1" '$7 == p && $2 == "deleted" { print $8 }' "$WORK/scan"; }
expect_condition() {  # NAME WANTED
    local got
    got=$(condition_of "$1")
    if [ "$got" = "$2" ]; then pass; else fail "$1: condition '$got', expected '$2'"; fi
}
expect_condition whole.bin overwritten  # all its clusters went to taker.bin
expect_condition part.bin partial       # 4 of its 10 went to small-taker.bin
expect_condition old.bin overwritten    # new.bin, written later and deleted, took all
expect_condition new.bin intact         # the later of the two
expect_condition comp.bin intact
expect_condition sparse.bin intact

# The content each deleted file had.
"$FIXTURE" --bytes 40960 11 >"$WORK/whole.bin"
"$FIXTURE" --bytes 40960 12 >"$WORK/part.bin"
"$FIXTURE" --bytes 32768 13 >"$WORK/old.bin"
"$FIXTURE" --bytes 32768 23 >"$WORK/new.bin"
"$FIXTURE" --runs 131072 14 >"$WORK/comp.bin"
"$FIXTURE" --sparse-bytes 1048576 15 0 8192 524288 8192 >"$WORK/sparse.bin"

"$CLI" recover --disk "$image" --deleted --out "$WORK/out" --report "$WORK/report.tsv" \
    >/dev/null 2>&1 || fail "recover --deleted --report failed"
# Same 4 KiB blocks of what was written and what the file held.
same_blocks() {
    { cmp -l "$1" "$2" 2>/dev/null || true; } | awk -v n=$(($(stat -c %s "$2") / 4096)) \
        '{ differ[int(($1 - 1) / 4096)] = 1 } END { s = 0; for (b = 0; b < n; b++) if (!(b in differ)) s++; print s }'
}
for name in whole part old new comp sparse; do
    written=$WORK/out/Root/$name.bin
    verdict=$(condition_of $name.bin)
    [ -f "$written" ] || { fail "$name.bin not written"; continue; }
    blocks=$(($(stat -c %s "$WORK/$name.bin") / 4096))
    same=$(same_blocks "$written" "$WORK/$name.bin")
    case $verdict in
        intact) cmp -s "$written" "$WORK/$name.bin" && pass || fail "$name.bin intact but its bytes differ" ;;
        overwritten) [ "$same" -eq 0 ] && pass || fail "$name.bin overwritten but $same of $blocks blocks are its own" ;;
        partial) { [ "$same" -gt 0 ] && [ "$same" -lt "$blocks" ]; } && pass ||
            fail "$name.bin partial but $same of $blocks blocks are its own" ;;
    esac
done

# Times: what istat gives as the modification time of $STANDARD_INFORMATION.
for name in whole part old new comp sparse; do
    record=$(awk -F'\t' -v p="Root/$name.bin" '$7 == p { print $5 }' "$WORK/scan")
    want=$(istat -f ntfs "$image" "$record" | awk '/^\$STANDARD_INFORMATION/ {f = 1} f && /^File Modified:/ {print $3 " " $4; exit}')
    got=$(TZ=UTC stat -c %y "$WORK/out/Root/$name.bin" | cut -c1-29)
    [ "$got" = "${want:0:29}" ] && pass || fail "$name.bin modified $got, istat $want"
done

# The report: one row per file written, its SHA-256 the one of the file on disk.
rows=0
while IFS=$'\t' read -r path size sha condition record _; do
    [ "$path" = PATH ] && continue
    rows=$((rows + 1))
    [ "$(sha256sum <"$path" | cut -d' ' -f1)" = "$sha" ] || fail "report: SHA-256 of $path"
    [ "$(stat -c %s "$path")" = "$size" ] || fail "report: size of $path"
    [ "$condition" = "$(condition_of "$(basename "$path")")" ] || fail "report: condition of $path"
done <"$WORK/report.tsv"
[ "$rows" -eq "$(find "$WORK/out/Root" -type f | wc -l)" ] && [ "$rows" -ge 6 ] && pass ||
    fail "report has $rows rows"

# --condition: intact writes no damaged file, partial drops only the overwritten ones.
"$CLI" recover --disk "$image" --deleted --condition intact --out "$WORK/intact" >/dev/null 2>&1
"$CLI" recover --disk "$image" --deleted --condition partial --out "$WORK/partial" >/dev/null 2>&1
listed() { (cd "$1/Root" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' '); }
[ "$(listed "$WORK/intact")" = "comp.bin new.bin sparse.bin " ] && pass ||
    fail "--condition intact wrote: $(listed "$WORK/intact")"
[ "$(listed "$WORK/partial")" = "comp.bin new.bin part.bin sparse.bin " ] && pass ||
    fail "--condition partial wrote: $(listed "$WORK/partial")"
status=0
"$CLI" recover --disk "$image" --deleted --condition some --out "$WORK/x" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] && pass || fail "--condition some: status $status, expected 2"

# An older volume of 4 KiB clusters that began 10 MiB into the disk, formatted over by a
# volume of 1 KiB clusters over the whole disk whose own files now take part of it. The
# older files the advance search finds say "in use" in their records, but no record of
# the live volume lists them: what the new format wrote over is weighed in the live
# volume's clusters, and every verdict holds against the bytes written back.
older=$WORK/older.img
moved=$WORK/moved.img
truncate -s 32M "$older"
mkntfs -F -q -Q -c 4096 "$older" >/dev/null 2>&1
{ echo "mkdir /keep"; for i in $(seq 1 40); do echo "write /keep/k-$i.bin $((i * 20000 + 7)) $i"; done; } |
    "$FIXTURE" "$older" -
truncate -s 64M "$moved"
dd if="$older" of="$moved" bs=512 seek=20480 conv=notrunc status=none
mkntfs -F -q -Q -c 1024 "$moved" >/dev/null 2>&1
echo "write /new.txt 1000 9" | "$FIXTURE" "$moved" -
"$CLI" scan --disk "$moved" --advance >"$WORK/moved.scan" 2>/dev/null
"$CLI" recover --disk "$moved" --advance --all --out "$WORK/moved-out" >/dev/null 2>&1
damaged=0
for i in $(seq 1 40); do
    verdict=$(awk -F'\t' -v n="/keep/k-$i.bin" \
        'substr($7, length($7) - length(n) + 1) == n { print $8; exit }' "$WORK/moved.scan")
    written=$(find "$WORK/moved-out" -path "*/keep/k-$i.bin" | head -n 1)
    "$FIXTURE" --bytes $((i * 20000 + 7)) "$i" >"$WORK/k.bin"
    if [ -n "$written" ] && cmp -s "$written" "$WORK/k.bin"; then same=yes; else same=no; fi
    case $verdict/$same in
        intact/yes | overwritten/no | partial/no) pass ;;
        *) fail "formatted over: k-$i.bin is '$verdict' but its bytes came back: $same" ;;
    esac
    [ "$verdict" = intact ] || damaged=$((damaged + 1))
done
[ "$damaged" -gt 0 ] && pass || fail "formatted over: no older file is weighed as written over"

echo "conditions_vs_bytes: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
