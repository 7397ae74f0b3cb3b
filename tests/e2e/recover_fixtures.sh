#!/usr/bin/env bash
# Recovery gives back the bytes: on every fixture volume, `recover --all` writes every
# file of the manifest at its path under Root, byte-identical (md5) and equal to what
# The Sleuth Kit's icat reads; `recover --deleted` writes the deleted ones and nothing
# that is in use; filters and --select narrow the set as the tree and patterns say; a
# destination on a loop device of the image itself is refused.
set -euo pipefail

FIXTURES=${TARVIK_FIXTURE_DIR:?}
CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

md5_of() { md5sum <"$1" | cut -d' ' -f1; }

volume_start() {
    local base=${1%.manifest}
    if [[ $base =~ \.([0-9]+)$ ]]; then echo "${BASH_REMATCH[1]}"; else cut -f2 "$base.drives" | head -n 1; fi
}
image_of() {
    local base=${1%.manifest}
    [[ $base =~ \.[0-9]+$ ]] && base=${base%.*}
    echo "$base"
}
# The --drive number of the volume starting at START: its row in IMAGE.drives.
drive_number() {
    awk -F'\t' -v s="$2" '$2 == s { print NR; exit }' "$1.drives"
}

# icat's bytes of the file at PATH (fls -r -p path) on the volume at START.
icat_md5() {
    local image=$1 start=$2 path=$3 inode
    inode=$(fls -r -p -o "$start" -f ntfs "$image" |
        awk -F'\t' -v p="${path#/}" '$2 == p { split($1, f, " "); a = f[length(f)];
            sub(/:$/, "", a); split(a, b, "-"); print b[1]; exit }')
    [ -n "$inode" ] || return 1
    icat -f ntfs -o "$start" "$image" "$inode" | md5sum | cut -d' ' -f1
}

check_volume() {
    local manifest=$1 image start drive out
    image=$(image_of "$manifest")
    start=$(volume_start "$manifest")
    drive=$(drive_number "$image" "$start")
    [ -n "$drive" ] || drive=1
    out=$WORK/$(basename "$manifest")
    if ! "$CLI" recover --disk "$image" --drive "$drive" --out "$out/all" --all \
        >"$out.all.log" 2>&1; then
        fail "$(basename "$manifest"): recover --all failed: $(tail -n 2 "$out.all.log")"
        return
    fi
    "$CLI" recover --disk "$image" --drive "$drive" --out "$out/deleted" --deleted \
        >"$out.deleted.log" 2>&1 || true
    local path size md5 state what file
    while IFS=$'\t' read -r path size md5 state; do
        what="$(basename "$manifest"): $path"
        file=$out/all/Root$path
        if [ "$size" = 0 ]; then
            # Empty files are passed over, not created.
            [ ! -e "$file" ] && pass || fail "$what: an empty file was created"
            continue
        fi
        if [ ! -f "$file" ]; then
            fail "$what: not written by --all"
        elif [ "$(md5_of "$file")" != "$md5" ]; then
            fail "$what: --all wrote $(stat -c %s "$file") bytes that differ (want $size)"
        elif [ "$(icat_md5 "$image" "$start" "$path" || echo none)" != "$md5" ]; then
            fail "$what: icat's bytes differ from the recovered ones"
        else
            pass
        fi
        file=$out/deleted/Root$path
        if [ "$state" = deleted ]; then
            [ -f "$file" ] && [ "$(md5_of "$file")" = "$md5" ] && pass ||
                fail "$what: --deleted did not write it intact"
        else
            [ ! -e "$file" ] && pass || fail "$what: --deleted wrote an in-use file"
        fi
    done <"$manifest"
}

check_filters_and_select() {
    local image=$FIXTURES/bare-ntfs.img out=$WORK/narrow
    "$CLI" recover --disk "$image" --out "$out/inc" --all --include '*.txt' '*.JPG' >"$out.inc" 2>/dev/null
    local names
    names=$(cd "$out/inc/Root" && find . -type f | sort | tr '\n' ' ')
    [ "$names" = "./Pictures/frag-a.jpg ./Pictures/frag-b.jpg ./Trash/inner/deleted-b.txt ./deleted-resident.txt ./tiny.txt ./Ünïcödé/удалённый.txt ./Ünïcödé/日本語ファイル.txt " ] &&
        pass || fail "--include *.txt *.JPG wrote: $names"
    # $MFT and $MFTMirr are files like the other system files, filtered out with them.
    grep -q '^Written 7 files, .* skipped 15 filtered, 7 empty' "$out.inc" && pass ||
        fail "--include summary: $(cat "$out.inc")"
    "$CLI" recover --disk "$image" --out "$out/exc" --all --exclude '*.txt' '$' >/dev/null 2>&1
    [ -z "$(cd "$out/exc/Root" && find . -type f \( -name '*.txt' -o -name '$*' \))" ] &&
        [ -f "$out/exc/Root/Archive/sparse.img" ] && pass || fail "--exclude let excluded names through"
    "$CLI" recover --disk "$image" --out "$out/sel" --select 'Root/Documents' \
        'Root/Ünïcödé/Ελληνικά.dat' >/dev/null 2>&1
    names=$(cd "$out/sel/Root" && find . -type f | sort | tr '\n' ' ')
    [ "$names" = "./Documents/Reports 2023/large.bin ./Documents/deleted-frag.bin ./Documents/kept-frag.bin ./Documents/small.dat ./Ünïcödé/Ελληνικά.dat " ] &&
        pass || fail "--select wrote: $names"
    if "$CLI" recover --disk "$image" --out "$out/none" --select 'Root/nothing' >/dev/null 2>&1; then
        fail "--select of a missing path succeeded"
    else pass; fi
    # Times: the modification time of the record's $STANDARD_INFORMATION, to the 100 ns,
    # as `scan` lists it.
    local modified written
    modified=$("$CLI" scan --disk "$image" 2>/dev/null |
        awk -F'\t' '$7 == "Root/Documents/small.dat" { print $9 }')
    written=$(TZ=UTC stat -c %y "$out/sel/Root/Documents/small.dat" | cut -c1-27 | tr ' ' T)Z
    [ "$written" = "$modified" ] && pass || fail "small.dat's time is $written, not $modified"
}

# A loop device over the image, mounted, as the destination: refused. Needs root,
# losetup and a mount of the volume (ntfs-3g or the kernel's ntfs3).
check_refusal() {
    local image=$WORK/refuse.img loop mnt=$WORK/mnt
    cp "$FIXTURES/bare-ntfs.img" "$image"
    if [ "$(id -u)" != 0 ] || ! loop=$(losetup -f --show "$image" 2>/dev/null); then
        echo "refusal on a loop device: not tested here (needs root and loop devices)"
        return
    fi
    mkdir -p "$mnt"
    if mount -t ntfs3 "$loop" "$mnt" 2>/dev/null || mount -t ntfs-3g "$loop" "$mnt" 2>/dev/null; then
        if "$CLI" recover --disk "$image" --out "$mnt/out" --all >"$WORK/refuse.log" 2>&1; then
            fail "a destination on the image's own loop device was accepted"
        else
            grep -q 'disk being recovered' "$WORK/refuse.log" && [ ! -e "$mnt/out/Root" ] &&
                pass || fail "refusal without its message, or Root created: $(cat "$WORK/refuse.log")"
        fi
        # The loop device itself as the disk: the destination is on that device.
        if "$CLI" recover --disk "$loop" --out "$mnt/out" --all >"$WORK/refuse.log" 2>&1; then
            fail "a destination on the scanned block device was accepted"
        else
            grep -q 'disk being recovered' "$WORK/refuse.log" && pass ||
                fail "block device refusal without its message: $(cat "$WORK/refuse.log")"
        fi
        umount "$mnt"
    else
        echo "refusal on a loop device: the volume could not be mounted here"
    fi
    losetup -d "$loop"
}

main() {
    command -v icat >/dev/null || { echo "icat missing (package sleuthkit)" >&2; exit 1; }
    local manifest count=0
    for manifest in "$FIXTURES"/*.img*.manifest; do
        check_volume "$manifest"
        count=$((count + 1))
    done
    [ "$count" -gt 0 ] || { echo "no manifests in $FIXTURES" >&2; exit 1; }
    check_filters_and_select
    check_refusal
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

main
