#!/usr/bin/env bash
# Names that would leave the destination: a copy of the bare fixture volume has two
# deleted files renamed in place (their MFT records and any index entries) to ".." and
# "../../escape". Scan and recovery keep everything under DIR/Root, under safe names,
# with the files' bytes intact.
set -euo pipefail

FIXTURES=${TARVIK_FIXTURE_DIR:?}
CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PASSED=0
FAILED=0
check() {
    if eval "$1"; then PASSED=$((PASSED + 1)); else FAILED=$((FAILED + 1)); echo "FAIL: $2" >&2; fi
}

image=$WORK/hostile.img
cp "$FIXTURES/bare-ntfs.img" "$image"
# Every $FILE_NAME value (and index entry key) holding the old name gets the new, shorter
# one: the length byte just before the name is rewritten, the rest left as it was.
python3 - "$image" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
for old, new in (("deleted-resident.txt", ".."), ("deleted-frag.bin", "../../escape")):
    needle = old.encode("utf-16-le")
    at = data.find(needle)
    count = 0
    while at != -1:
        if data[at - 2] == len(old):
            data[at - 2] = len(new)
            data[at:at + 2 * len(new)] = new.encode("utf-16-le")
            count += 1
        at = data.find(needle, at + 1)
    assert count > 0, old
open(path, "wb").write(data)
PY

"$CLI" scan --disk "$image" >"$WORK/scan" 2>/dev/null
check 'grep -q "/\.\.	" "$WORK/scan"' "the scan does not list the renamed '..'"
out=$WORK/out
"$CLI" recover --disk "$image" --out "$out" --all >"$WORK/log" 2>&1 || true
check '[ "$(ls -A "$out")" = Root ]' "something was written beside Root: $(ls -A "$out")"
check '[ -z "$(find "$WORK" -maxdepth 2 -name escape)" ]' "escape landed outside Root"
md5_of() { md5sum <"$1" | cut -d' ' -f1; }
want_resident=$(awk -F'\t' '$1 == "/deleted-resident.txt" { print $3 }' "$FIXTURES/bare-ntfs.img.manifest")
want_frag=$(awk -F'\t' '$1 == "/Documents/deleted-frag.bin" { print $3 }' "$FIXTURES/bare-ntfs.img.manifest")
check '[ -f "$out/Root/_.." ] && [ "$(md5_of "$out/Root/_..")" = "$want_resident" ]' \
    "'..' not written intact as '_..'"
check '[ -f "$out/Root/Documents/.._.._escape" ] && [ "$(md5_of "$out/Root/Documents/.._.._escape")" = "$want_frag" ]' \
    "'../../escape' not written intact as '.._.._escape'"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
