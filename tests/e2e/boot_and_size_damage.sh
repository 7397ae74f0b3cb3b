#!/usr/bin/env bash
# Damage that must never be taken for intact data. Both boot sector copies giving the same
# wrong cluster size: the MFT tells the right one, and every file comes back as The Sleuth
# Kit reads it from the sound volume. Both copies placing the MFT and its mirror where no
# cluster size finds them: the user is told the cluster size is unverified and no file is
# called intact. Record 0 and its mirror copy zeroed: the report names each file by its
# MFT record number, as The Sleuth Kit does. A data size of 2^62: the file is partly
# unreadable, written only as far as its clusters reach, and the recovery says so.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}"
CLI=$TARVIK_BUILD_DIR/tarvik-cli
FIXTURE=${NTFS_FIXTURE:-$TARVIK_BUILD_DIR/ntfs-fixture}
PATH=$PATH:/usr/sbin:/sbin
WORK=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"
check() {  # LABEL COMMAND...: passes when the command succeeds
    local label=$1
    shift
    if "$@"; then pass; else fail "$label"; fi
}

base=$WORK/base.img
truncate -s 16M "$base"
mkntfs -F -q -Q -c 4096 "$base" >/dev/null 2>&1
{
    echo "mkdir /docs"
    echo "write /docs/big.bin 1048576 5"
    echo "write /docs/small.txt 3000 6"
    for i in $(seq 1 12); do echo "write /f$i.bin $((i * 5000)) $((100 + i))"; done
} | "$FIXTURE" "$base" -

# What the sound volume holds, by The Sleuth Kit: "record<TAB>sha256<TAB>path" per file.
fls -f ntfs -r -p -u "$base" | awk -F'\t' '$1 ~ /^r\/r/ && $2 !~ /^\$/ {
    split($1, a, " "); split(a[2], n, "-"); print n[1] "\t" $2 }' |
    while IFS=$'\t' read -r record path; do
        printf '%s\t%s\t%s\n' "$record" "$(icat -f ntfs "$base" "$record" | sha256sum | cut -c1-64)" \
            "$path"
    done >"$WORK/truth"
[ "$(wc -l <"$WORK/truth")" -eq 14 ] || fail "The Sleuth Kit lists $(wc -l <"$WORK/truth") files"

# Byte offset of MFT record N in IMAGE, through $MFT's clusters as istat lists them.
record_offset() {  # IMAGE N
    istat -f ntfs "$1" 0 | awk '/^Type: \$DATA/ {f = 1; next} f && /^Type:/ {f = 0} f' |
        tr -s ' ' '\n' | grep -v '^$' | awk -v n="$2" '
            NR - 1 == int(n * 1024 / 4096) { print $1 * 4096 + (n * 1024) % 4096; exit }'
}
u64() {  # IMAGE OFFSET
    od -An -tu8 -j "$2" -N8 "$1" | tr -d ' '
}
put() {  # IMAGE OFFSET PYTHON-BYTES
    python3 -c "import sys; sys.stdout.buffer.write($3)" |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
backup=$(($(u64 "$base" 40) * 512))
mft=$(($(u64 "$base" 48) * 4096))
mirror=$(($(u64 "$base" 56) * 4096))
recover() {  # NAME: recovers $WORK/NAME.img whole, with a report; sets status
    status=0
    "$CLI" recover --disk "$WORK/$1.img" --all --out "$WORK/$1" --report "$WORK/$1.tsv" \
        >"$WORK/$1.out" 2>"$WORK/$1.err" || status=$?
}
# The report's intact files as "record<TAB>sha256<TAB>path", by path.
intact_rows() {  # NAME
    awk -F'\t' 'NR > 1 && $4 == "intact" && $1 !~ /\/Root\/\$/ {
        sub(/.*\/Root\//, "", $1); print $5 "\t" $3 "\t" $1 }' "$WORK/$1.tsv" | sort -k3
}

# --- 1. the same wrong cluster size in both copies: 2 sectors instead of 8
cp "$base" "$WORK/flipped.img"
for at in 13 $((backup + 13)); do put "$WORK/flipped.img" "$at" 'b"\xFF"'; done
recover flipped
check "flipped: recover ended $status" [ "$status" -eq 0 ]
check "flipped: files called intact differ from what the volume holds" \
    diff <(cut -f2,3 "$WORK/truth" | sort -k2) <(intact_rows flipped | cut -f2,3)

# --- 2. the MFT and its mirror placed, by both copies, where no cluster size finds them
cp "$base" "$WORK/lost.img"
for at in 48 56 $((backup + 48)) $((backup + 56)); do
    put "$WORK/lost.img" "$at" 'b"\xA0\x0F\0\0\0\0\0\0"'  # cluster 4000 of 4096
done
recover lost
check "lost: the user is not told the cluster size is unverified" \
    grep -q "Cluster Size Unverified" "$WORK/lost.err"
check "lost: files are called intact" [ -z "$(intact_rows lost)" ]
check "lost: nothing recovered" [ "$(awk 'END { print NR }' "$WORK/lost.tsv")" -gt 10 ]

# --- 3. record 0 and its mirror copy zeroed: the files are named by their MFT numbers
cp "$base" "$WORK/nomft.img"
put "$WORK/nomft.img" "$mft" 'bytes(1024)'
put "$WORK/nomft.img" "$mirror" 'bytes(1024)'
recover nomft
check "no MFT: the report's numbers are not the MFT's" \
    diff <(sort -k3 "$WORK/truth") <(intact_rows nomft)

# --- 4. a data size of 2^62: written as far as the clusters reach, partly unreadable
big=$(awk -F'\t' '$3 == "docs/big.bin" { print $1 }' "$WORK/truth")
cp "$base" "$WORK/huge.img"
at=$(python3 - "$WORK/huge.img" "$(record_offset "$base" "$big")" <<'EOF'
import struct, sys
path, offset = sys.argv[1], int(sys.argv[2])
record = open(path, "rb").read()[offset:offset + 1024]
at = struct.unpack_from("<H", record, 20)[0]
while struct.unpack_from("<I", record, at)[0] != 0x80:
    at += struct.unpack_from("<I", record, at + 4)[0]
print(offset + at + 0x30)
EOF
)
put "$WORK/huge.img" "$at" 'b"\0\0\0\0\0\0\0\x40"'
recover huge
row=$(awk -F'\t' '$1 ~ /docs\/big\.bin$/ { print $2 "/" $4 }' "$WORK/huge.tsv")
check "huge: big.bin reported $row" [ "$row" = "1048576/partly unreadable" ]
check "huge: recover ended $status" [ "$status" -eq 3 ]
check "huge: big.bin's bytes are not the volume's" \
    cmp -s "$WORK/huge/Root/docs/big.bin" <("$FIXTURE" --bytes 1048576 5)

echo "$PASSED checks passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
