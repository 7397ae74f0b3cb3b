#!/usr/bin/env bash
# A kept scan on the command line: `scan --save` writes one, `recover --scan` writes from
# it exactly what a recovery after a fresh scan writes, and refuses a disk the scan was
# not made of, a damaged file and a file of another kind, each with its reason.
set -euo pipefail

FIXTURES=${TARVIK_FIXTURE_DIR:?}
CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

# Every file written under ROOT, path and MD5, sorted.
tree_md5() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 -r md5sum); }

for image in sample-disk.img bare-ntfs.img; do
    disk=$FIXTURES/$image
    [ -f "$disk" ] || { fail "$image not made"; continue; }
    saved=$WORK/$image.tarvikscan
    "$CLI" scan --disk "$disk" --save "$saved" >"$WORK/listing" 2>/dev/null
    [ -s "$saved" ] && pass || fail "$image: scan --save wrote nothing"
    "$CLI" recover --disk "$disk" --all --out "$WORK/fresh-$image" >/dev/null 2>&1
    "$CLI" recover --disk "$disk" --scan "$saved" --all --out "$WORK/kept-$image" >/dev/null 2>&1 ||
        fail "$image: recover --scan failed"
    if [ "$(tree_md5 "$WORK/fresh-$image/Root")" = "$(tree_md5 "$WORK/kept-$image/Root")" ]; then
        pass
    else
        fail "$image: recover --scan wrote other files than a fresh scan's recovery"
    fi
done

# Another disk: refused, with the reason, and nothing written.
if [ -f "$FIXTURES/bare-ntfs.img" ] && [ -f "$WORK/sample-disk.img.tarvikscan" ]; then
    status=0
    "$CLI" recover --disk "$FIXTURES/bare-ntfs.img" --drive 1 --scan "$WORK/sample-disk.img.tarvikscan" \
        --all --out "$WORK/other" >/dev/null 2>"$WORK/err" || status=$?
    if [ "$status" -eq 1 ] && grep -q "was not made of this drive" "$WORK/err" && [ ! -d "$WORK/other/Root" ]; then
        pass
    else
        fail "another disk: status $status, $(cat "$WORK/err")"
    fi
    cp "$WORK/sample-disk.img.tarvikscan" "$WORK/damaged"
    printf 'XX' | dd of="$WORK/damaged" bs=1 seek=200 conv=notrunc status=none
    status=0
    "$CLI" recover --disk "$FIXTURES/sample-disk.img" --scan "$WORK/damaged" --all \
        --out "$WORK/damaged-out" >/dev/null 2>"$WORK/err" || status=$?
    [ "$status" -eq 1 ] && grep -q "damaged" "$WORK/err" && pass || fail "damaged: $(cat "$WORK/err")"
    status=0
    "$CLI" recover --disk "$FIXTURES/sample-disk.img" --scan "$FIXTURES/sample-disk.img.manifest" \
        --all --out "$WORK/foreign-out" >/dev/null 2>"$WORK/err" || status=$?
    [ "$status" -eq 1 ] && grep -q "not a saved scan" "$WORK/err" && pass || fail "foreign: $(cat "$WORK/err")"
fi

echo "saved scans: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
