#!/usr/bin/env bash
# What the list, the report and the recovery's end say of files that cannot be read whole:
# a record zeroed, marked BAAD, with its attributes garbled, or unreadable (EIO), is an
# "unreadable" file that is not written at all; a run list cut short and an image cut
# short of its volume give a "partly unreadable" file, written to its length with the
# missing part as zeros and counted; `drives` says the image is shorter than its volume.
# The recovery of such a drive ends with status 3. Last, a deleted file whose clusters a
# later file took, that later file deleted in turn and its record given to a newer file:
# no record names the later holder, and the file is not called intact; and one whose
# later holder's record has no name the scan can read: that record still claims them.
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

free_clusters() {  # IMAGE CLUSTERS
    icat -f ntfs "$1" 6 | python3 -c "
import sys
bits = sys.stdin.buffer.read()
print(sum(1 for c in range($2) if not (bits[c // 8] >> (c % 8)) & 1))"
}
# Byte offset of MFT record N in IMAGE, through $MFT's clusters as istat lists them.
record_offset() {  # IMAGE N
    istat -f ntfs "$1" 0 | awk '/^Type: \$DATA/ {f = 1; next} f && /^Type:/ {f = 0} f' |
        tr -s ' ' '\n' | grep -v '^$' | awk -v n="$2" '
            NR - 1 == int(n * 1024 / 4096) { print $1 * 4096 + (n * 1024) % 4096; exit }'
}
condition_of() {  # SCAN-OUTPUT TREE-PATH
    awk -F'\t' -v p="$2" '$7 == p { print $8; exit }' "$1"
}

# --- a volume with a 4 MiB file, a small one, and a file in three runs
base=$WORK/base.img
truncate -s 16M "$base"
mkntfs -F -q -Q -c 4096 "$base" >/dev/null 2>&1
{
    echo "mkdir /docs"
    echo "write /docs/big.bin 4194304 5"
    echo "write /docs/small.txt 3000 6"
    for i in $(seq 1 40); do echo "write /f$i.bin 8192 $((100 + i))"; done
} | "$FIXTURE" "$base" -
free=$(free_clusters "$base" 4096)
{
    echo "write /filler.bin $(((free - 8) * 4096)) 99"
    for i in $(seq 1 2 40); do echo "delete /f$i.bin"; done
    echo "write /frag.bin 40000 77"
} | "$FIXTURE" "$base" - 2>/dev/null
"$FIXTURE" --bytes 4194304 5 >"$WORK/big.bin"
"$FIXTURE" --bytes 40000 77 >"$WORK/frag.bin"
big=$(ifind -f ntfs -n docs/big.bin "$base")
frag=$(ifind -f ntfs -n frag.bin "$base")
runs=$(istat -f ntfs "$base" "$frag" | awk '/^Type: \$DATA/ {f = 1; next} f' | wc -w)
[ "$runs" -eq 10 ] || fail "frag.bin holds $runs clusters, expected 10"

# --- 1. damaged records: the 4 MiB file is unreadable, nothing is written for it
damage_record() {  # KIND IMAGE OFFSET
    case $1 in
        zeroed) dd if=/dev/zero of="$2" bs=1 seek="$3" count=1024 conv=notrunc status=none ;;
        baad) printf 'BAAD' | dd of="$2" bs=1 seek="$3" conv=notrunc status=none ;;
        garbled)
            # Past the header, short of the fix-up's place at the sector's end.
            local first
            first=$(od -An -tu2 -j $(($3 + 20)) -N2 "$2" | tr -d ' ')
            head -c 200 /dev/zero | tr '\0' 'A' |
                dd of="$2" bs=1 seek=$(($3 + first)) conv=notrunc status=none
            ;;
    esac
}
offset=$(record_offset "$base" "$big")
cat >"$WORK/eio.c" <<'CODE'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
static ssize_t (*real_pread)(int, void*, size_t, off_t);
static ssize_t eio_pread(int fd, void* buf, size_t count, off_t offset) {
    if (!real_pread) real_pread = (ssize_t (*)(int, void*, size_t, off_t))dlsym(RTLD_NEXT, "pread64");
    const char* file = getenv("EIO_FILE");
    struct stat target, st;
    if (file && stat(file, &target) == 0 && fstat(fd, &st) == 0 && st.st_ino == target.st_ino &&
        st.st_dev == target.st_dev) {
        const off_t from = atoll(getenv("EIO_OFFSET")), to = from + 1024;
        if (offset < to && offset + (off_t)count > from) { errno = EIO; return -1; }
    }
    return real_pread(fd, buf, count, offset);
}
ssize_t pread(int fd, void* buf, size_t count, off_t offset) { return eio_pread(fd, buf, count, offset); }
ssize_t pread64(int fd, void* buf, size_t count, off_t offset) { return eio_pread(fd, buf, count, offset); }
CODE
kinds="zeroed baad garbled"
if cc -shared -fPIC -O1 -o "$WORK/eio.so" "$WORK/eio.c" -ldl 2>/dev/null; then
    kinds="$kinds eio"
else
    echo "skip eio: no C compiler"
fi
for kind in $kinds; do
    image=$WORK/$kind.img
    cp "$base" "$image"
    run=("$CLI")
    if [ "$kind" = eio ]; then
        run=(env EIO_FILE="$image" EIO_OFFSET="$offset" LD_PRELOAD="$WORK/eio.so" "$CLI")
    else
        damage_record "$kind" "$image" "$offset"
    fi
    "${run[@]}" scan --disk "$image" >"$WORK/$kind.scan" 2>/dev/null
    got="$(condition_of "$WORK/$kind.scan" Root/docs/big.bin)/$(condition_of "$WORK/$kind.scan" Root/docs/small.txt)"
    check "$kind: big.bin/small.txt listed $got" [ "$got" = unreadable/intact ]
    status=0
    "${run[@]}" recover --disk "$image" --all --out "$WORK/$kind" --report "$WORK/$kind.tsv" \
        >"$WORK/$kind.out" 2>/dev/null || status=$?
    [ "$status" -eq 3 ] && [ ! -e "$WORK/$kind/Root/docs/big.bin" ] &&
        cmp -s "$WORK/$kind/Root/docs/small.txt" <("$FIXTURE" --bytes 3000 6)
    check "$kind: recover ended $status, an empty big.bin written, or small.txt not" [ $? -eq 0 ]
    awk -F'\t' '$1 ~ /docs\/big\.bin$/ && $4 == "unreadable"' "$WORK/$kind.tsv" | grep -q . &&
        grep -q "Unreadable files, not written: 1;" "$WORK/$kind.out"
    check "$kind: the report or the summary does not name big.bin unreadable" [ $? -eq 0 ]
done
# The Sleuth Kit agrees that the zeroed record holds no file (it reads past BAAD).
check "zeroed: istat reads record $big" eval '! istat -f ntfs "$WORK/zeroed.img" "$big" >/dev/null 2>&1'

# --- 2. a run list cut short: the second run's header byte made the terminator
cut=$WORK/cut.img
cp "$base" "$cut"
at=$(python3 - "$cut" "$(record_offset "$base" "$frag")" <<'EOF'
import struct, sys
path, offset = sys.argv[1], int(sys.argv[2])
record = open(path, "rb").read()[offset:offset + 1024]
at = struct.unpack_from("<H", record, 20)[0]
while True:
    kind, length = struct.unpack_from("<II", record, at)
    if kind == 0x80 and record[at + 8] == 1:
        runs = at + struct.unpack_from("<H", record, at + 32)[0]
        header = record[runs]
        print(offset + runs + 1 + (header & 15) + (header >> 4))
        break
    at += length
EOF
)
printf '\0' | dd of="$cut" bs=1 seek="$at" conv=notrunc status=none
"$CLI" scan --disk "$cut" >"$WORK/cut.scan" 2>/dev/null
got=$(condition_of "$WORK/cut.scan" Root/frag.bin)
check "cut run list: frag.bin listed '$got'" [ "$got" = "partly unreadable" ]
placed=$(istat -f ntfs "$cut" "$frag" | awk '/^Type: \$DATA/ {f = 1; next} f' | wc -w)
check "cut run list: istat places $placed clusters, expected fewer than 10" [ "$placed" -lt 10 ]
status=0
"$CLI" recover --disk "$cut" --all --out "$WORK/cut" --report "$WORK/cut.tsv" >"$WORK/cut.out" 2>&1 || status=$?
check "cut run list: recover ended $status, expected 3" [ "$status" -eq 3 ]
written=$WORK/cut/Root/frag.bin
check "cut run list: frag.bin not written to its length" [ "$(stat -c %s "$written")" -eq 40000 ]
check "cut run list: the placed part differs" cmp -s <(head -c $((placed * 4096)) "$written") \
    <(head -c $((placed * 4096)) "$WORK/frag.bin")
check "cut run list: the missing part is not zeros" [ "$(tail -c +$((placed * 4096 + 1)) "$written" | tr -d '\0' | wc -c)" -eq 0 ]
awk -F'\t' -v s=$(((10 - placed) * 8)) '$1 ~ /\/frag\.bin$/ && $4 == "partly unreadable" && $10 == s' \
    "$WORK/cut.tsv" | grep -q .
check "cut run list: the report row of frag.bin" [ $? -eq 0 ]

# --- 3. an image cut short inside big.bin
short=$WORK/short.img
first=$(istat -f ntfs "$base" "$big" | awk '/^Type: \$DATA/ {f = 1; next} f {print $1; exit}')
head -c $(((first + 512) * 4096)) "$base" >"$short"
"$CLI" drives --disk "$short" >/dev/null 2>"$WORK/short.drives"
check "short image: drives does not say so" grep -q "the image is shorter than its volume" "$WORK/short.drives"
"$CLI" drives --disk "$base" >/dev/null 2>"$WORK/base.drives"
check "whole image: drives calls it short" [ ! -s "$WORK/base.drives" ]
"$CLI" scan --disk "$short" >"$WORK/short.scan" 2>/dev/null
got=$(condition_of "$WORK/short.scan" Root/docs/big.bin)
check "short image: big.bin listed '$got'" [ "$got" = "partly unreadable" ]
got=$(condition_of "$WORK/short.scan" Root/docs/small.txt)
check "short image: small.txt listed '$got'" [ "$got" = intact ]
status=0
"$CLI" recover --disk "$short" --all --out "$WORK/short" --report "$WORK/short.tsv" >"$WORK/short.out" 2>&1 || status=$?
check "short image: recover ended $status, expected 3" [ "$status" -eq 3 ]
awk -F'\t' '$1 ~ /docs\/big\.bin$/ && $4 == "partly unreadable"' "$WORK/short.tsv" | grep -q .
check "short image: the report row of big.bin" [ $? -eq 0 ]
check "short image: the readable half of big.bin differs" \
    cmp -s <(head -c $((512 * 4096)) "$WORK/short/Root/docs/big.bin") <(head -c $((512 * 4096)) "$WORK/big.bin")
if icat -f ntfs "$short" "$big" 2>/dev/null | cmp -s - "$WORK/big.bin"; then
    fail "short image: icat reads big.bin whole"
else
    pass
fi

# --- 4. a deleted file's clusters taken by a later file, deleted in turn, whose record a
# newer file now holds. The placeholder's record goes to the later file (the MFT
# allocator of a fresh mount takes the first free record), and the later file's to the
# newer one, so old.bin keeps its record. Only its bytes tell: the scan reads no file
# data and calls it intact by who holds its clusters; the deeper scan and the recovery
# read them, and say "unknown"; a recovery of intact files only leaves it out then.
history=$WORK/history.img
truncate -s 8M "$history"
mkntfs -F -q -Q -c 4096 "$history" >/dev/null 2>&1
printf 'write /placeholder 10 1\nwrite /old.bin 30000 2\nwrite /keep.bin 20000 3\n' |
    "$FIXTURE" "$history" -
echo "write /filler.bin $(($(free_clusters "$history" 2048) * 4096)) 99" | "$FIXTURE" "$history" -
printf 'delete /placeholder\ndelete /old.bin\nwrite /later.bin 32768 4\n' | "$FIXTURE" "$history" -
later=$(ifind -f ntfs -n later.bin "$history")
printf 'delete /later.bin\nwrite /newer.txt 100 5\n' | "$FIXTURE" "$history" -
check "history: newer.txt did not take later.bin's record" \
    [ "$(ifind -f ntfs -n newer.txt "$history")" = "$later" ]
"$CLI" scan --disk "$history" >"$WORK/history.scan" 2>/dev/null
got=$(condition_of "$WORK/history.scan" Root/old.bin)
old=$(awk -F'\t' '$7 == "Root/old.bin" { print $5 }' "$WORK/history.scan")
old_cluster=$(istat -f ntfs "$history" "$old" | awk '/^Type: \$DATA/ {f = 1; next} f {print $1; exit}')
check "history: a record besides old.bin's claims its cluster" \
    [ "$(ifind -f ntfs -d "$old_cluster" "$history")" = "$old-128-2" ]
"$CLI" recover --disk "$history" --deleted --out "$WORK/history" \
    --report "$WORK/history.tsv" >/dev/null 2>&1
if cmp -s "$WORK/history/Root/old.bin" <("$FIXTURE" --bytes 30000 2); then
    fail "history: old.bin came back whole"
else
    pass
fi
check "history: the scan read file data: old.bin listed '$got'" [ "$got" = intact ]
"$CLI" scan --disk "$history" --deep >"$WORK/history.deep" 2>/dev/null
got=$(condition_of "$WORK/history.deep" Root/old.bin)
check "history: scan --deep lists old.bin '$got', not unknown" [ "$got" = unknown ]
row=$(awk -F'\t' '$1 ~ /old\.bin$/ { print $4 }' "$WORK/history.tsv")
check "history: the report calls old.bin '$row', not unknown" [ "$row" = unknown ]
check "history: old.bin came back as the drive holds it" \
    cmp -s "$WORK/history/Root/old.bin" <(icat -f ntfs "$history" "$old")
"$CLI" recover --disk "$history" --deleted --condition intact --out "$WORK/history-intact" \
    >/dev/null 2>&1
check "history: --condition intact wrote old.bin" [ ! -e "$WORK/history-intact/Root/old.bin" ]
check "history: --condition intact left a part file behind" \
    [ -z "$(find "$WORK/history-intact" -name '.tarvik-part-*')" ]

# --- 5. a deleted file the list cannot name still holds what it wrote: old.bin's clusters
# went to later.bin, deleted in turn, whose $FILE_NAME is made unreadable (its type
# changed), as for a file whose names lie only in extension records.
unnamed=$WORK/unnamed.img
truncate -s 8M "$unnamed"
mkntfs -F -q -Q -c 4096 "$unnamed" >/dev/null 2>&1
printf 'write /keep.txt 700 1\nwrite /old.bin 32768 2\n' | "$FIXTURE" "$unnamed" -
# One mount: later.bin takes the record after the filler's, not old.bin's.
printf 'write /filler.bin %d 99\ndelete /old.bin\nwrite /later.bin 32768 4\ndelete /later.bin\n' \
    $(($(free_clusters "$unnamed" 2048) * 4096)) | "$FIXTURE" "$unnamed" -
"$CLI" scan --disk "$unnamed" >"$WORK/unnamed.scan" 2>/dev/null
later=$(awk -F'\t' '$7 == "Root/later.bin" { print $5 }' "$WORK/unnamed.scan")
old=$(awk -F'\t' '$7 == "Root/old.bin" { print $5 }' "$WORK/unnamed.scan")
python3 - "$unnamed" "$(record_offset "$unnamed" "$later")" <<'EOF'
import struct, sys
path, offset = sys.argv[1], int(sys.argv[2])
with open(path, "r+b") as image:
    image.seek(offset)
    record = image.read(1024)
    at = struct.unpack_from("<H", record, 20)[0]
    while struct.unpack_from("<I", record, at)[0] != 0x30:
        at += struct.unpack_from("<I", record, at + 4)[0]
    image.seek(offset + at)
    image.write(struct.pack("<I", 0x38))
EOF
clusters() { istat -f ntfs "$unnamed" "$1" | awk '/^Type: \$DATA/ {f = 1; next} f' | tr -s ' \n' ' '; }
check "unnamed: later.bin's record does not hold old.bin's clusters" [ "$(clusters "$later")" = "$(clusters "$old")" ]
"$CLI" scan --disk "$unnamed" >"$WORK/unnamed.scan" 2>/dev/null
check "unnamed: the scan still lists later.bin" [ -z "$(awk -F'\t' '$5 == '"$later"'' "$WORK/unnamed.scan")" ]
got=$(condition_of "$WORK/unnamed.scan" Root/old.bin)
check "unnamed: old.bin listed '$got', expected overwritten" [ "$got" = overwritten ]

echo "unreadable_conditions: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
