#!/usr/bin/env bash
# On real NTFS images, most written by Windows, every file with a published checksum
# comes back with it: dftt-7's deleted files (resident, fragmented, inside deleted
# folders, under a reused parent), dftt-8's normal and deleted files, and the
# compressed 180-fragment file whose data attribute spans two records. The deleted
# files come back at least as many as tsk_recover gets.
set -euo pipefail

TESTDATA=${TARVIK_SHARED_DIR:-}/testdata
CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
PASSED=0
FAILED=0
if [ ! -d "$TESTDATA" ]; then
    echo "recover_real_images: skipped, no $TESTDATA"
    # Under CI the shared folder is always there: its absence is a failure.
    [ "${CI:-}" = true ] && exit 1
    exit 0
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() {
    FAILED=$((FAILED + 1))
    echo "FAIL: $*" >&2
}

# unpack NAME: the image in WORK, decompressed once.
unpack() {
    [ -f "$WORK/$1" ] || xz -dc "$TESTDATA/$1.xz" >"$WORK/$1"
    echo "$WORK/$1"
}

# expect SUM-TOOL FILE SUM
expect() {
    local tool=$1 file=$2 sum=$3 what=$4
    if [ ! -f "$file" ]; then
        fail "$what: not written"
    elif [ "$($tool <"$file" | cut -d' ' -f1)" != "$sum" ]; then
        fail "$what: written with another checksum ($(stat -c %s "$file") bytes)"
    else
        PASSED=$((PASSED + 1))
    fi
}

# A file recovered under Root may sit at its path, or, when its parent's record was
# reused, in a lost folder: found by name anywhere under Root.
find_recovered() {
    local root=$1 path=$2
    if [ -f "$root$path" ]; then echo "$root$path"; return; fi
    find "$root" -type f -name "$(basename "$path")" | head -n 1
}

dftt7() {
    local image out=$WORK/dftt7
    image=$(unpack dftt-7-undel-ntfs.dd)
    "$CLI" recover --disk "$image" --out "$out" --deleted >"$WORK/dftt7.log" 2>&1 ||
        fail "dftt-7: recover --deleted failed: $(cat "$WORK/dftt7.log")"
    local sum size rec path
    while read -r sum size rec path _; do
        path=${path//\\//}
        expect md5sum "$(find_recovered "$out/Root" "$path")" "$sum" "dftt-7 $path"
    done <<'LIST'
9036637712b491904cd0bfbdbe648453  101   37  \res1.dat
59b20779f69ff9f0ac5fcd2c38835a79  780   31  \sing1.dat
ffd27bd782bdce67750b6b9ee069d2ef  3801  32  \mult1.dat
7a3bc5b763bef201202108f4ba128149  1584  29  \frag1.dat
0e80ab84ef0087e60dfc67b88a1cf13e  3873  30  \frag2.dat
59cf0e9cd107bc1e75afb7374f6e05bb  1715  36  \dir1\mult2.dat
21121699487f3fbbdb9a4b3391b6d3e0  2027  35  \dir1\dir2\frag3.dat
c229626f6a71b167ad7e50c4f2fccdb1  1005  38  \dir3\sing2.dat
LIST
    compare_with_tsk_recover "$image" "$out" dftt-7
}

dftt8() {
    local image out=$WORK/dftt8
    image=$(unpack dftt-8-jpeg-search.dd)
    "$CLI" recover --disk "$image" --out "$out" --all >"$WORK/dftt8.log" 2>&1 ||
        fail "dftt-8: recover --all failed: $(cat "$WORK/dftt8.log")"
    local sum rec path
    while read -r sum rec path _; do
        path=${path//\\//}
        expect md5sum "$(find_recovered "$out/Root" "$path")" "$sum" "dftt-8 $path"
    done <<'LIST'
75b8d00568815a36c3809b46fc84ba6d  29  \alloc\file1.jpg
de5d83153339931371719f4e5c924eba  28  \alloc\file2.dat
1ba4e91591f0541eda255ee26f7533bc  35  \invalid\file3.jpg
c8de721102617158e8492121bdad3711  36  \invalid\file4.jpg
86f14fc525648c39d878829f288c0543  34  \invalid\file5.rtf
afd55222024a4e22f7f5a3a665320763  32  \del1\file6.jpg
0c452c5800fcfa7c66027ae89c4f068a  31  \del2\file7.hmm
d41b56e0a9f84eb2825e73c24cedd963  39  \archive\file8.zip
73c3029066aee9416a5aeb98a5c55321  40  \archive\file9.boo
d4f8cf643141f0c2911c539750e18ef2  38  \archive\file10.tar.gz
f407ab92da959c7ab03292cfe596a99d  42  \misc\file11.dat
61c0b55639e52d1ce82aba834ada2bab  43  \misc\file12.doc
LIST
    "$CLI" recover --disk "$image" --out "$WORK/dftt8-deleted" --deleted >/dev/null 2>&1 || true
    compare_with_tsk_recover "$image" "$WORK/dftt8-deleted" dftt-8
}

win10() {
    local image out=$WORK/win10
    image=$(unpack win10-compressed-attrlist.dd)
    "$CLI" recover --disk "$image" --out "$out" --all >"$WORK/win10.log" 2>&1 ||
        fail "win10: recover --all failed: $(cat "$WORK/win10.log")"
    expect sha256sum "$out/Root/ones.bin" \
        396d2ca10e09a4a70bed0dcf580c13d5608e59c433b8592fd3d1f0ccd87244ce "win10 \\ones.bin"
    [ -f "$out/Root/Folder A/Folder B/Hello world text document.txt" ] &&
        PASSED=$((PASSED + 1)) || fail "win10: the text document in Folder B is missing"
    # The same bytes as icat reads, for every file written.
    local file rel inode ok=1
    while IFS= read -r file; do
        rel=${file#"$out/Root/"}
        inode=$(fls -r -p -f ntfs "$image" | awk -F'\t' -v p="$rel" '$2 == p && $1 !~ /\*/ {
            split($1, f, " "); a = f[length(f)]; sub(/:$/, "", a); split(a, b, "-"); print b[1]; exit }')
        [ -n "$inode" ] || continue
        if [ "$(icat -f ntfs "$image" "$inode" | md5sum)" != "$(md5sum <"$file")" ]; then
            fail "win10 $rel: differs from icat"
            ok=0
        fi
    done < <(find "$out/Root" -type f ! -path '*/$*')
    [ "$ok" = 1 ] && PASSED=$((PASSED + 1))
}

# tsk_recover's count of deleted files (size > 0) against ours.
compare_with_tsk_recover() {
    local image=$1 out=$2 name=$3 theirs ours
    command -v tsk_recover >/dev/null || return 0
    rm -rf "$WORK/tsk"
    tsk_recover -f ntfs "$image" "$WORK/tsk" >/dev/null 2>&1 || true
    theirs=$(find "$WORK/tsk" -type f -size +0 | wc -l)
    ours=$(find "$out/Root" -type f -size +0 | wc -l)
    if [ "$ours" -ge "$theirs" ]; then
        PASSED=$((PASSED + 1))
    else
        fail "$name: $ours deleted files written, tsk_recover writes $theirs"
    fi
    echo "$name: deleted files written: $ours (tsk_recover: $theirs)"
}

# With MFT record 0 and its mirror copy zeroed the drive is searched for records: files
# whose data lies in extension records (the compressed file of win10, the file of 100
# hard links of ntfs3, whose records do not all store their numbers) come back through
# the numbers their records store, at their paths, with the same bytes as from the
# intact volume.
without_mft() {
    local name image damaged cluster bytes units file rel written
    for name in win10-compressed-attrlist.dd ntfs3-attribute-list.raw; do
        [ -f "$TESTDATA/$name.xz" ] || continue
        image=$(unpack "$name")
        damaged=$WORK/damaged-$name
        cp "$image" "$damaged"
        bytes=$(od -An -tu2 -j 11 -N 2 "$image" | tr -d ' ')
        cluster=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
        units=$((cluster * bytes / 512))
        for at in 48 56; do
            dd if=/dev/zero of="$damaged" bs=512 count=2 conv=notrunc status=none \
                seek=$(($(od -An -tu8 -j "$at" -N 8 "$image" | tr -d ' ') * units))
        done
        "$CLI" recover --disk "$image" --out "$WORK/intact-$name" --all >/dev/null 2>&1 || true
        "$CLI" recover --disk "$damaged" --out "$WORK/lost-$name" --all >/dev/null 2>&1 ||
            fail "$name without MFT: recover --all failed"
        written=0
        while IFS= read -r file; do
            rel=${file#"$WORK/lost-$name/"}
            if cmp -s "$file" "$WORK/intact-$name/$rel"; then
                written=$((written + 1))
            else
                fail "$name without MFT: $rel differs from the intact volume's"
            fi
        done < <(find "$WORK/lost-$name/Root" -type f -size +0 ! -path '*/$*')
        if [ "$written" -gt 0 ]; then PASSED=$((PASSED + 1)); else fail "$name without MFT: no file"; fi
        rm -f "$damaged"
    done
    [ ! -d "$WORK/lost-win10-compressed-attrlist.dd" ] ||
        expect sha256sum "$WORK/lost-win10-compressed-attrlist.dd/Root/ones.bin" \
            396d2ca10e09a4a70bed0dcf580c13d5608e59c433b8592fd3d1f0ccd87244ce \
            "win10 without MFT \\ones.bin"
}

other_images() {
    local name image out
    for name in mkntfs-512-subdirs.dd mbr-unicode-names.dd ntfs3-attribute-list.raw; do
        [ -f "$TESTDATA/$name.xz" ] || continue
        image=$(unpack "$name")
        out=$WORK/out-$name
        if "$CLI" recover --disk "$image" --out "$out" --all >"$out.log" 2>&1; then
            PASSED=$((PASSED + 1))
        else
            fail "$name: recover --all failed: $(tail -n 3 "$out.log")"
        fi
        rm -f "$image"
    done
}

dftt7
dftt8
win10
without_mft
other_images
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
