#!/usr/bin/env bash
# One fixture disk (the GPT disk with its NTFS data partition) as raw, E01 (in segment
# files), VHD, VHDX, VMDK (one file, and a descriptor with its extent files), QCOW2, split
# raw (.001, .002, ...), and differencing VHD and VHDX over their parents: every form
# lists the same drives and gives the same scan and the same recovered bytes as the raw
# disk, and is named by its format in the disk list whatever its file is called. The
# Sleuth Kit, which reads E01, VHD and VMDK itself, lists the same files from those
# forms as from the raw one.
#
# Images that lack part of their disk (a raw image or a fixed VHD cut short, a split
# image with a piece cut short, an E01 with a segment missing or cut or a chunk that
# fails its checksum, a compressed QCOW2 cut short) recover what they hold, count the
# sectors they lack, and name every file whose bytes differ from the whole disk's as
# having unreadable sectors: nothing is lost silently.
set -euo pipefail

CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
FIXTURES=${TARVIK_FIXTURE_DIR:?}
FIXTURE_SCRIPTS=$(cd "$(dirname "$0")/../fixtures" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"
# Under CI every tool and library is installed: a missing one is a failure there.
skip_tool() { if [ "${CI:-}" = true ]; then fail "$* under CI"; else echo "SKIP: $*"; fi; }

# What one form of the disk gives: drive list, scan listing and recovered files (path,
# size, md5), into DIR.
record() {
    local image=$1 dir=$2
    mkdir -p "$dir"
    "$CLI" drives --disk "$image" >"$dir/drives" 2>&1
    "$CLI" scan --disk "$image" >"$dir/scan" 2>&1
    "$CLI" recover --disk "$image" --all --out "$dir/out" >"$dir/recover" 2>&1
    (cd "$dir/out" && find . -type f -printf '%P\t%s\t' -exec md5sum {} \; | sort) >"$dir/files"
    rm -rf "$dir/out"
}

# same_as_raw IMAGE LABEL: the drive list, scan and recovered files of IMAGE are those
# of the raw disk.
same_as_raw() {
    local image=$1 label=$2 part
    record "$image" "$WORK/$label"
    for part in drives scan recover files; do
        if cmp -s "$WORK/raw/$part" "$WORK/$label/$part"; then
            pass
        else
            fail "$label: $part differs from the raw disk's:" \
                "$(diff "$WORK/raw/$part" "$WORK/$label/$part" | head -n 6)"
        fi
    done
}

# convert FORMAT OUTPUT [SOURCE]: the raw disk (or SOURCE) in another form; false when
# the tool is missing.
convert() {
    local format=$1 out=$2 source=${3:-$RAW}
    case $format in
        E01)
            command -v ewfacquire >/dev/null || return 1
            # Segments of 1 MiB: the disk spreads over several files (E01, E02, ...).
            ewfacquire -u -q -t "${out%.*}" -S 1048576 -c fast "$source" >/dev/null 2>&1
            ;;
        split)
            # Pieces of 3 MiB: NAME.001, NAME.002, ...
            split -b 3M -a 3 --numeric-suffixes=1 "$source" "${out%.001}."
            ;;
        vmdk-flat | vmdk-sparse-extents)
            # A descriptor file naming its extent files (NAME-flat.vmdk, NAME-s001.vmdk).
            command -v qemu-img >/dev/null || return 1
            local subformat=monolithicFlat
            [ "$format" = vmdk-sparse-extents ] && subformat=twoGbMaxExtentSparse
            qemu-img convert -O vmdk -o subformat="$subformat" "$source" "$out"
            ;;
        vmdk-two-extents)
            # A descriptor written by hand over two flat extents that split the disk
            # where no partition or cluster boundary is.
            local sectors first=10001 base
            sectors=$(($(stat -c %s "$source") / 512))
            base=$(basename "${out%.vmdk}")
            head -c $((first * 512)) "$source" >"${out%.vmdk}-a.bin"
            tail -c +$((first * 512 + 1)) "$source" >"${out%.vmdk}-b.bin"
            printf '%s\n' "# Disk DescriptorFile" "version=1" "CID=fffffffe" \
                "parentCID=ffffffff" 'createType="monolithicFlat"' "" "# Extent description" \
                "RW $first FLAT \"$base-a.bin\" 0" \
                "RW $((sectors - first)) FLAT \"$base-b.bin\" 0" "" \
                "# The Disk Data Base" "#DDB" "" 'ddb.adapterType = "ide"' >"$out"
            ;;
        *)
            command -v qemu-img >/dev/null || return 1
            local options=()
            # The VHD footer's geometry would round the size up; keep it exact.
            [ "$format" = vpc ] && options=(-o force_size=on)
            qemu-img convert -O "$format" "${options[@]}" "$source" "$out"
            ;;
    esac
}

check_form() {
    local label=$1 format=$2 file=$3 model=$4 tsk=$5 image=$WORK/$3 first
    if ! convert "$format" "$image"; then
        skip_tool "$label: no converter (packages qemu-utils, ewf-tools)"
        return
    fi
    # The disk list names the format; a build without its library says so and stops.
    local line
    if ! line=$("$CLI" disks --disk "$image" 2>"$WORK/err" | head -n 1) || [ -z "$line" ]; then
        if grep -q "this build reads no" "$WORK/err"; then
            skip_tool "$label: $(cat "$WORK/err")"
        else
            fail "$label: disks failed: $(head -c 300 "$WORK/err")"
        fi
        return
    fi
    first=$(cut -f2 <<<"$line")
    [ "$first" = "$model" ] && pass || fail "$label: model '$first', expected '$model'"
    same_as_raw "$image" "$label"
    if [ "$tsk" = yes ]; then
        if fls -r -p -o 4096 "$image" >"$WORK/$label.fls" 2>&1 &&
            cmp -s "$WORK/raw.fls" "$WORK/$label.fls"; then
            pass
        else
            fail "$label: fls lists other files than on the raw disk"
        fi
    fi
}

# A differencing VHD or VHDX over a parent that lacks the volume's first 2 MiB (its boot
# sector) and half of another block: the child holds those sectors, so only the chain
# read whole gives the raw disk. Without its parent beside it the child is refused with
# the reason.
check_differencing() {  # LABEL QEMU-FORMAT EXTENSION
    local label=$1 format=$2 ext=$3
    command -v qemu-img >/dev/null && command -v python3 >/dev/null || {
        skip_tool "$label: no qemu-img or python3"
        return
    }
    local dir=$WORK/$label-chain
    mkdir -p "$dir"
    cp --sparse=always "$RAW" "$WORK/damaged.raw"
    dd if=/dev/zero of="$WORK/damaged.raw" bs=2M seek=1 count=1 conv=notrunc status=none
    dd if=/dev/zero of="$WORK/damaged.raw" bs=512 seek=$((3 * 4096)) count=2048 conv=notrunc \
        status=none
    convert "$format" "$dir/base disk.$ext" "$WORK/damaged.raw"
    python3 "$FIXTURE_SCRIPTS/${ext}_child.py" "$dir/base disk.$ext" "$RAW" "$dir/child.a$ext" \
        1 3:2048
    same_as_raw "$dir/child.a$ext" "$label"
    mv "$dir/base disk.$ext" "$WORK/elsewhere.$ext"
    if ! "$CLI" disks --disk "$dir/child.a$ext" >/dev/null 2>"$WORK/err" &&
        grep -q "parent file missing" "$WORK/err"; then
        pass
    else
        fail "$label without its parent: $(head -c 300 "$WORK/err")"
    fi
}

# silent_losses WHOLE DAMAGED REPORT: the files under DAMAGED whose bytes differ from
# those under WHOLE while the report gives them no unreadable sector, one a line.
silent_losses() {
    python3 - "$@" <<'PY'
import csv, hashlib, os, sys
def digests(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, 'rb') as f:
                found[os.path.relpath(path, root)] = hashlib.md5(f.read()).hexdigest()
    return found
whole, damaged, report = sys.argv[1:4]
with open(report, newline='') as f:
    rows = csv.reader(f, delimiter='\t', quoting=csv.QUOTE_NONE)
    next(rows)
    unreadable = {os.path.relpath(row[0], damaged): int(row[9]) for row in rows}
expected = digests(whole)
for path, digest in sorted(digests(damaged).items()):
    if expected.get(path) != digest and unreadable.get(path, 0) == 0:
        print(path)
PY
}

# check_lacking LABEL IMAGE: IMAGE lacks part of the bare volume's disk. Its recovery
# counts unreadable sectors, ends with the status that says not everything was written
# whole (3), and loses nothing silently.
check_lacking() {
    local label=$1 image=$2 dir=$WORK/lacking-$1 unreadable losses status=0
    mkdir -p "$dir"
    timeout 300 "$CLI" recover --disk "$image" --all --out "$dir/out" --report "$dir/report" \
        >"$dir/summary" 2>&1 || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
        fail "$label: recover ended $status: $(tail -n 3 "$dir/summary")"
        return
    fi
    unreadable=$(sed -n 's/.*unreadable sectors \([0-9]*\)$/\1/p' "$dir/summary")
    if [ "${unreadable:-0}" -gt 0 ] && [ "$status" -eq 3 ]; then
        pass
    else
        fail "$label: status $status, $(grep 'unreadable sectors' "$dir/summary")"
    fi
    losses=$(silent_losses "$WORK/lacking-whole/out" "$dir/out" "$dir/report")
    [ -z "$losses" ] && pass || fail "$label: bytes differ, no unreadable sector said:" "$losses"
}

# The bare volume's disk (its 4 MiB file lies from 10 to 14 MiB) in forms that lack part
# of it.
check_lacking_forms() {
    local whole=$WORK/volume.img size
    cp --sparse=always "$FIXTURES/bare-ntfs.img" "$whole"
    "$CLI" recover --disk "$whole" --all --out "$WORK/lacking-whole/out" >/dev/null 2>&1
    head -c 12000000 "$whole" >"$WORK/cut.img"
    check_lacking raw-cut "$WORK/cut.img"
    # Pieces of 3 MiB, the fourth (9 to 12 MiB) cut to 2 MiB.
    mkdir -p "$WORK/split-cut"
    split -b 3M -a 3 --numeric-suffixes=1 "$whole" "$WORK/split-cut/volume."
    truncate -s 2M "$WORK/split-cut/volume.004"
    check_lacking split-piece-cut "$WORK/split-cut/volume.001"
    if command -v qemu-img >/dev/null; then
        qemu-img convert -O vpc -o subformat=fixed,force_size=on "$whole" "$WORK/fixed.vhd"
        size=$(stat -c %s "$WORK/fixed.vhd")
        head -c $((size - 5000000)) "$WORK/fixed.vhd" >"$WORK/fixed-cut.vhd"
        check_lacking fixed-VHD-cut "$WORK/fixed-cut.vhd"
        # Clusters of stored (incompressible) data at the end of the file: the library
        # would copy a whole cluster out of what it read of a cut one.
        qemu-img convert -c -O qcow2 "$whole" "$WORK/compressed.qcow2"
        size=$(stat -c %s "$WORK/compressed.qcow2")
        head -c $((size - size / 1000)) "$WORK/compressed.qcow2" >"$WORK/cut.qcow2"
        check_lacking QCOW2-cut "$WORK/cut.qcow2"
    else
        skip_tool "fixed VHD and QCOW2 cut short: no qemu-img"
    fi
    if command -v ewfacquire >/dev/null; then
        local form
        for form in missing cut corrupt; do
            mkdir -p "$WORK/e01-$form"
            ewfacquire -u -q -t "$WORK/e01-$form/volume" -S 1048576 -c fast "$whole" \
                >/dev/null 2>&1
        done
        rm "$WORK/e01-missing/volume.E03"
        truncate -s 500000 "$WORK/e01-cut/volume.E03"
        printf 'XXXXXXXXXXXXXXXX' |
            dd of="$WORK/e01-corrupt/volume.E03" bs=1 seek=400000 conv=notrunc status=none
        check_lacking E01-segment-missing "$WORK/e01-missing/volume.E01"
        check_lacking E01-segment-cut "$WORK/e01-cut/volume.E01"
        check_lacking E01-chunk-corrupt "$WORK/e01-corrupt/volume.E01"
    else
        skip_tool "E01 with a segment lacking: no ewfacquire"
    fi
}

main() {
    [ -x "$CLI" ] || { echo "tarvik-cli not built at $CLI" >&2; exit 1; }
    RAW=$WORK/disk.img
    cp --sparse=always "$FIXTURES/gpt.img" "$RAW"
    record "$RAW" "$WORK/raw"
    fls -r -p -o 4096 "$RAW" >"$WORK/raw.fls"
    if [ "$(wc -l <"$WORK/raw/files")" -lt 5 ]; then
        fail "raw: only $(wc -l <"$WORK/raw/files") files recovered"
    fi
    # File names that say nothing of the format: it is found by content.
    check_form E01 E01 evidence.E01 "E01 IMAGE" yes
    check_form VHD vpc disk-vhd.bin "VHD IMAGE" yes
    check_form VHDX vhdx disk-vhdx.bin "VHDX IMAGE" no
    check_form VMDK vmdk disk.vmdk "VMDK IMAGE" yes
    check_form VMDK-flat vmdk-flat flat.vmdk "VMDK IMAGE" no
    check_form VMDK-sparse-extents vmdk-sparse-extents extents.vmdk "VMDK IMAGE" no
    check_form VMDK-two-extents vmdk-two-extents two.vmdk "VMDK IMAGE" no
    check_form QCOW2 qcow2 disk-qcow.img "QCOW2 IMAGE" no
    check_form split-raw split pieces.001 "DISK IMAGE" yes
    check_differencing differencing-VHD vpc vhd
    check_differencing differencing-VHDX vhdx vhdx
    check_lacking_forms
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

main
