#!/usr/bin/env bash
# A disk of 4096-byte logical sectors as a block device, not an image: the GPT fixture of
# 4 KiB sectors behind a read-only loop device whose sector size is 4096. The device
# lists the same drives, scans the same and recovers the same bytes as the image file
# does. Making loop devices needs root and a loop driver: without them the check is
# skipped, as it is in containers that refuse them.
set -euo pipefail

CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
FIXTURES=${TARVIK_FIXTURE_DIR:?}
PATH=$PATH:/usr/sbin:/sbin
WORK=$(mktemp -d)
device=
cleanup() {
    [ -n "$device" ] && losetup -d "$device" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

image=$WORK/disk-4k.img
cp --sparse=always "$FIXTURES/gpt-4k.img" "$image"
if [ "$(id -u)" -ne 0 ] || ! command -v losetup >/dev/null ||
    ! device=$(losetup --sector-size 4096 --read-only --find --show "$image" 2>/dev/null); then
    device=
    echo "SKIP: no loop device of 4096-byte sectors can be made here (root and a loop driver needed)"
    exit 0
fi
[ "$(blockdev --getss "$device")" = 4096 ] && pass || fail "$device: sector size $(blockdev --getss "$device")"

for command in drives scan; do
    "$CLI" "$command" --disk "$image" >"$WORK/image.$command" 2>&1
    "$CLI" "$command" --disk "$device" >"$WORK/device.$command" 2>&1
    if cmp -s "$WORK/image.$command" "$WORK/device.$command" && [ -s "$WORK/image.$command" ]; then
        pass
    else
        fail "$command of the device differs from the image's:" \
            "$(diff "$WORK/image.$command" "$WORK/device.$command" | head -n 6)"
    fi
done
grep -q $'\tNTFS\t' "$WORK/device.drives" && pass || fail "the device lists no NTFS drive"

"$CLI" recover --disk "$image" --all --out "$WORK/from-image" >/dev/null 2>&1
"$CLI" recover --disk "$device" --all --out "$WORK/from-device" >/dev/null 2>&1
files=$(find "$WORK/from-device" -type f | wc -l)
if [ "$files" -gt 0 ] && diff -r "$WORK/from-image" "$WORK/from-device" >/dev/null; then
    pass
else
    fail "recover --all from the device wrote $files files, not the image's"
fi

echo "device_4kn: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
