#!/usr/bin/env bash
# The partition walk of `tarvik-cli drives` against what the fixture images were built
# with (walk order) and against The Sleuth Kit's mmls (the same partitions as a set),
# plus bare volumes, GPT disks (against mmls too) and inputs that are no disk at all.
set -euo pipefail

CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
FIXTURES=${TARVIK_FIXTURE_DIR:?}
TESTDATA=${TARVIK_SHARED_DIR:-/nonexistent}/testdata
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"
skip() { echo "SKIP: $*"; }
# Under CI the shared folder is always there: a missing real image is a failure.
skip_real() { if [ "${CI:-}" = true ]; then fail "$* under CI"; else skip "$*"; fi; }

# The name the drive list shows for a recognised partition type (hex, any case).
type_name() {
    case ${1,,} in
        01) echo "FAT 12" ;;
        04 | 06) echo "FAT 16" ;;
        07 | 42) echo "NTFS" ;;
        0b | 0c | 0e) echo "FAT 32" ;;
        86 | 87) echo "EXTENDED NTFS" ;;
        *) return 1 ;;
    esac
}

# "NAME|START|SECTORS" per drive, in the order tarvik-cli lists them.
tarvik_drives() {
    "$CLI" drives --disk "$1" 2>/dev/null | awk -F'\t' '{ print $2 "|" $3 "|" $4 }'
}

# The same from the IMAGE.drives file the fixture scripts wrote.
built_drives() {
    local type start sectors
    while IFS=$'\t' read -r type start sectors; do
        echo "$(type_name "$type")|$start|$sectors"
    done <"$1.drives"
}

# The same from mmls: partition rows (slot NNN:NNN) of recognised types, in mmls order.
mmls_drives() {
    local slot start length hex
    mmls "$1" | awk '$2 ~ /^[0-9]+:[0-9]+$/ { print $3, $5, $NF }' |
        while read -r start length hex; do
            hex=${hex#(0x}
            hex=${hex%)}
            if name=$(type_name "$hex"); then
                echo "$name|$((10#$start))|$((10#$length))"
            fi
        done
}

# Compares two lists; order matters unless the third argument is "as-sets".
same_list() {
    local expected=$1 actual=$2 how=${3:-}
    if [ "$how" = as-sets ]; then
        expected=$(sort <<<"$expected")
        actual=$(sort <<<"$actual")
    fi
    [ "$expected" = "$actual" ]
}

check_walk_order() {
    local image=$1 expected actual
    expected=$(built_drives "$image")
    actual=$(tarvik_drives "$image")
    if same_list "$expected" "$actual"; then
        pass
    else
        fail "$(basename "$image"): walk order differs from the built table" \
            $'\n'"  expected:"$'\n'"$expected"$'\n'"  tarvik-cli:"$'\n'"$actual"
    fi
}

check_against_mmls() {
    local image=$1 expected actual
    if ! expected=$(mmls_drives "$image") || [ -z "$expected" ]; then
        skip "$(basename "$image"): mmls lists no partitions"
        return
    fi
    actual=$(tarvik_drives "$image")
    if same_list "$expected" "$actual" as-sets; then
        pass
    else
        fail "$(basename "$image"): partitions differ from mmls" \
            $'\n'"  mmls:"$'\n'"$expected"$'\n'"  tarvik-cli:"$'\n'"$actual"
    fi
}

# A bare volume is one NTFS drive at sector 0 spanning its boot sector's size and the
# backup boot sector after it, as far as the image reaches.
check_bare_volume() {
    local image=$1 total file_sectors end actual per_sector
    # Sizes in 512-byte sectors: the boot sector counts in its own (offset 11).
    per_sector=$(($(od -An -tu2 -j 11 -N 2 "$image" | tr -d ' ') / 512))
    total=$(($(od -An -tu8 -j 40 -N 8 "$image" | tr -d ' ') * per_sector))
    file_sectors=$(($(stat -c %s "$image") / 512))
    end=$((total + per_sector))
    if [ "$file_sectors" -ge "$total" ] && [ "$file_sectors" -lt "$end" ]; then
        end=$file_sectors
    fi
    actual=$(tarvik_drives "$image")
    if [ "$actual" = "NTFS|0|$end" ]; then
        pass
    else
        fail "$(basename "$image"): expected one NTFS drive 'NTFS|0|$end', got: $actual"
    fi
}

# check_failure NAME PATH [EXPECTED_STDERR]: exit 1, nothing on stdout, one line on
# stderr (the given one when named).
check_failure() {
    local name=$1 path=$2 wanted=${3:-} status=0
    "$CLI" drives --disk "$path" >"$WORK/out" 2>"$WORK/err" || status=$?
    local lines
    lines=$(wc -l <"$WORK/err")
    if [ "$status" -ne 1 ]; then
        fail "$name: exit status $status, expected 1 ($(head -c 300 "$WORK/err"))"
    elif [ -s "$WORK/out" ]; then
        fail "$name: printed drives: $(head -c 300 "$WORK/out")"
    elif [ "$lines" -ne 1 ]; then
        fail "$name: $lines lines on stderr, expected one: $(head -c 300 "$WORK/err")"
    elif [ -n "$wanted" ] && [ "$(cat "$WORK/err")" != "$wanted" ]; then
        fail "$name: stderr '$(cat "$WORK/err")', expected '$wanted'"
    else
        pass
    fi
}

# A real image from the shared test data, decompressed to the work folder.
real_image() {
    local name=$1
    [ -f "$TESTDATA/$name.xz" ] || return 1
    [ -f "$WORK/$name" ] || xz -dc "$TESTDATA/$name.xz" >"$WORK/$name"
    echo "$WORK/$name"
}

test_fixture_disks() {
    local name
    for name in mbr-mixed mbr-loop sample-disk; do
        check_walk_order "$FIXTURES/$name.img"
        check_against_mmls "$FIXTURES/$name.img"
    done
    check_bare_volume "$FIXTURES/bare-ntfs.img"
    check_bare_volume "$FIXTURES/bare-4k.img"
    local name
    for name in gpt gpt-backup gpt-4k gpt-big; do
        check_gpt_against_mmls "$FIXTURES/$name.img"
    done
    check_gpt_list "$FIXTURES/gpt.img"
    check_gpt_list "$FIXTURES/gpt-4k.img"
    check_gpt_list "$FIXTURES/gpt-big.img"
    check_disk_sectors "$FIXTURES/gpt-big.img"
    check_gpt_list "$FIXTURES/gpt-backup.img" "Partition Table: The primary GUID partition table \
is damaged; the partitions were read from its backup copy at the end of the disk"
    # Both GPT copies damaged: the bad-table message, then the search.
    check_search_fallback "$FIXTURES/gpt-lost.img" "NTFS|4096|16384"
}

# The disk list gives a disk's whole sector count, past 2^32 (2 TiB) too.
check_disk_sectors() {
    local image=$1 listed expected
    expected=$(($(stat -c %s "$image") / 512))
    listed=$("$CLI" disks --disk "$image" 2>/dev/null | cut -f4)
    if [ "$listed" = "$expected" ]; then
        pass
    else
        fail "$(basename "$image"): disks lists $listed sectors, the image has $expected"
    fi
}

# A GPT disk lists its partitions, names and all, as built, and says nothing on stderr
# (no bad-table message, no search) but, when its primary copy is damaged, that the
# backup was read.
check_gpt_list() {
    local image=$1 wanted_err=${2:-} status=0 expected actual
    "$CLI" drives --disk "$image" >"$WORK/out" 2>"$WORK/err" || status=$?
    expected=$(tr '\t' '|' <"$image.drives")
    actual=$(awk -F'\t' '{ print $2 "|" $3 "|" $4 "|" $7 }' "$WORK/out")
    if [ "$status" -ne 0 ] || [ "$(cat "$WORK/err")" != "$wanted_err" ]; then
        fail "$(basename "$image"): exit status $status, stderr '$(head -c 300 "$WORK/err")'"
    elif [ "$expected" != "$actual" ]; then
        fail "$(basename "$image"): drives differ from the built table" \
            $'\n'"  expected:"$'\n'"$expected"$'\n'"  tarvik-cli:"$'\n'"$actual"
    else
        pass
    fi
}

# mmls's partition rows (numbered slots) as "START|SECTORS|NAME" in 512-byte units;
# mmls counts in the sector size it found the table at ("Units are in 4096-byte
# sectors" on a 4Kn disk).
mmls_gpt() {
    local image=$1 scale=1 listing
    listing=$(mmls -t gpt "$image" 2>/dev/null) || return 1
    [[ $listing =~ Units\ are\ in\ ([0-9]+)-byte ]] && scale=$((BASH_REMATCH[1] / 512))
    # The arithmetic is the shell's: awk's numbers lose sectors past 2^31 or 2^53.
    local slot start end length name
    while read -r _ slot start end length name; do
        [[ $slot =~ ^[0-9]+$ ]] || continue
        echo "$((10#$start * scale))|$((10#$length * scale))|$name"
    done <<<"$listing"
}

check_gpt_against_mmls() {
    local image=$1 expected actual
    if ! expected=$(mmls_gpt "$image") || [ -z "$expected" ]; then
        fail "$(basename "$image"): mmls lists no GPT partitions"
        return
    fi
    actual=$("$CLI" drives --disk "$image" 2>/dev/null | awk -F'\t' '{ print $3 "|" $4 "|" $7 }')
    if same_list "$expected" "$actual" as-sets; then
        pass
    else
        fail "$(basename "$image"): partitions differ from mmls" \
            $'\n'"  mmls:"$'\n'"$expected"$'\n'"  tarvik-cli:"$'\n'"$actual"
    fi
}

# A disk whose walk finds nothing (a protective MBR entry in front of two damaged GPT
# copies): the bad-table message, then the disk search lists the volume.
check_search_fallback() {
    local image=$1 wanted=$2 status=0
    "$CLI" drives --disk "$image" >"$WORK/out" 2>"$WORK/err" || status=$?
    local found
    found=$(awk -F'\t' '{ print $2 "|" $3 "|" $4 }' "$WORK/out")
    if [ "$status" -ne 0 ]; then
        fail "$(basename "$image"): exit status $status, expected 0 ($(head -c 300 "$WORK/err"))"
    elif [ "$(cat "$WORK/err")" != "Corrupted Partition Table: Bad Partition Table, Searching Logical Drive" ]; then
        fail "$(basename "$image"): stderr '$(cat "$WORK/err")'"
    elif [ "$found" != "$wanted" ]; then
        fail "$(basename "$image"): the search listed '$found', expected '$wanted'"
    else
        pass
    fi
}

test_real_images() {
    local name image
    if image=$(real_image mbr-unicode-names.dd); then
        check_against_mmls "$image"
        local first
        first=$(tarvik_drives "$image" | head -n 1)
        if [ "${first%|*}" = "NTFS|63" ]; then pass; else
            fail "mbr-unicode-names.dd: first drive '$first', expected NTFS at sector 63"
        fi
    else
        skip_real "mbr-unicode-names.dd (no $TESTDATA)"
    fi
    for name in dftt-7-undel-ntfs.dd dftt-8-jpeg-search.dd win10-compressed-attrlist.dd \
        mkntfs-512-subdirs.dd ntfs3-attribute-list.raw; do
        if image=$(real_image "$name"); then
            check_bare_volume "$image"
        else
            skip_real "$name (no $TESTDATA)"
        fi
    done
}

test_bad_inputs() {
    : >"$WORK/empty.img"
    printf '%0100d' 0 >"$WORK/hundred-bytes.img"
    mkdir "$WORK/a-folder"
    check_failure "missing file" "$WORK/no-such.img"
    check_failure "empty file" "$WORK/empty.img"
    check_failure "100-byte file" "$WORK/hundred-bytes.img"
    check_failure "folder" "$WORK/a-folder"
}

main() {
    [ -x "$CLI" ] || { echo "tarvik-cli not built at $CLI" >&2; exit 1; }
    command -v mmls >/dev/null || { echo "mmls missing (package sleuthkit)" >&2; exit 1; }
    [ -f "$FIXTURES/mbr-mixed.img.drives" ] || { echo "no fixtures in $FIXTURES" >&2; exit 1; }
    test_fixture_disks
    test_real_images
    test_bad_inputs
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

main
