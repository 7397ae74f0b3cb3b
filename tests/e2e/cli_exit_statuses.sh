#!/usr/bin/env bash
# What the command line ends with: the drive it chooses on a disk whose first NTFS-typed
# partition holds exFAT, a status that is never 0 for a failure (one line on stderr
# saying why), 2 for a usage or pattern error found before any disk is read, 130 for
# Ctrl-C with no partial file left, and recoveries that never overwrite.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}" "${TARVIK_FIXTURE_DIR:?}"
PATH=$PATH:/usr/sbin:/sbin
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

report() {  # STATUS LABEL
  if [ "$1" -eq 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}

run() {  # NAME ARGS...: stdout, stderr and status of a tarvik-cli run
  local name=$1
  shift
  "$cli" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
}

expect() {  # NAME STATUS STDERR-PATTERN LABEL: the status, and one stderr line matching
  local got lines
  got=$(cat "$work/$1.status")
  lines=$(grep -vc '^\(Normal Files\|Invalid Drive\)' "$work/$1.err")
  [ "$got" -eq "$2" ] && [ "$lines" -eq 1 ] && grep -q -- "$3" "$work/$1.err"
  report $? "$4 (status $got, stderr: $(head -c 200 "$work/$1.err" | tr '\n' '|'))"
}

# --- a disk whose first type-0x07 partition is exFAT, then NTFS: Debian's
# forensics-samples-multiple when installed, else (or with TARVIK_OWN_MULTIPLE set) the
# same layout made here.
disk=$work/multiple.img
if [ -f /usr/share/forensics-samples/fs.multiple.xz ] && [ -z "${TARVIK_OWN_MULTIPLE:-}" ]; then
  xz -dc /usr/share/forensics-samples/fs.multiple.xz >"$disk"
else
  truncate -s 64M "$disk"
  printf 'label: dos\nstart=2048, size=40960, type=7\nstart=43008, size=88064, type=7\n' |
    sfdisk -q "$disk"
  # An exFAT boot sector is enough for the first: the scan only looks at its signature.
  printf '\353\166\220EXFAT   ' | dd of="$disk" bs=512 seek=2048 conv=notrunc status=none
  truncate -s $((88064 * 512)) "$work/ntfs.part"
  mkntfs -F -q -Q -p 43008 -L multiple "$work/ntfs.part" >/dev/null 2>&1
  dd if="$work/ntfs.part" of="$disk" bs=512 seek=43008 conv=notrunc status=none
fi
run drives drives --disk "$disk"
awk -F'\t' '$2 == "NTFS" {print $6}' "$work/drives.out" | tr '\n' ' ' | grep -q '^invalid valid'
report $? "drives marks the exFAT partition invalid and the NTFS one valid"
run multiple scan --disk "$disk"
[ "$(cat "$work/multiple.status")" -eq 0 ] && grep -q $'^Dir\tnormal\t0\t[0-9T:-]*Z\t11\t5\tRoot/\\$Extend\t' "$work/multiple.out"
report $? "scan without --drive scans the NTFS drive behind the exFAT one"
run deleted recover --disk "$disk" --out "$work/none" --deleted
expect deleted 1 'nothing written: the drive has no deleted files' "recover --deleted without deleted files"

# --- failures of a readable volume
image=$TARVIK_FIXTURE_DIR/bare-ntfs.img
run zzz recover --disk "$image" --out "$work/zzz" --all --include '*.zzz'
expect zzz 1 'nothing written: of [0-9]* files, [0-9]* did not pass the patterns' "recover whose pattern matches nothing"
run full scan --disk "$image"
"$cli" scan --disk "$image" >/dev/full 2>"$work/full.err"
echo $? >"$work/full.status"
expect full 1 'cannot write the output' "scan > /dev/full"
head -c 8192 "$image" >"$work/truncated.img"  # the boot sector, not the MFT
run truncated scan --disk "$work/truncated.img"
expect truncated 1 'no NTFS record could be read' "scan of a truncated image"
[ ! -s "$work/truncated.out" ]
report $? "the truncated scan lists nothing"
# Cut in its second half: what lies past the cut is written as zeros, and the status says
# that not everything came back whole.
head -c $(($(stat -c %s "$image") / 2)) "$image" >"$work/half.img"
run half recover --disk "$work/half.img" --out "$work/half" --all
expect half 3 'recovered in part: 0 files unreadable (not written), [1-9][0-9]* partly unreadable' \
  "recover of an image cut in half"

# --- usage and pattern errors come before the disk is read (the disk does not exist)
run pattern recover --disk "$work/absent.img" --out "$work/p" --all --include "$(printf 'x%.0s' {1..200})"
expect pattern 2 "refused: at most" "a pattern error before any disk is read"
run modes recover --disk "$work/absent.img" --out "$work/p" --all --deleted
expect modes 2 'excludes' "--all with --deleted"
run nodisk scan
expect nodisk 2 '--disk is required' "scan without --disk"
run help scan --help
[ "$(cat "$work/help.status")" -eq 0 ] && grep -q -- '--advance' "$work/help.out"
report $? "scan --help"
run version --version
[ "$(cat "$work/version.status")" -eq 0 ] && grep -qx 'tarvik-cli [0-9][0-9.]*' "$work/version.out"
report $? "--version"

# --- a second recovery into the same folder keeps the first one's files
"$cli" recover --disk "$image" --out "$work/twice" --all >/dev/null 2>&1
(cd "$work/twice" && find . -type f -exec md5sum {} + | sort -k2) >"$work/first.sums"
"$cli" recover --disk "$image" --out "$work/twice" --all >/dev/null 2>&1
(cd "$work/twice" && md5sum -c --quiet "$work/first.sums") &&
  [ "$(find "$work/twice" -type f | wc -l)" -eq $((2 * $(wc -l <"$work/first.sums"))) ] &&
  [ -f "$work/twice/Root/tiny (2).txt" ]
report $? "a second recovery takes \" (2)\" names and overwrites nothing"

# --- Ctrl-C during a recovery: status 130, and the file being written is removed
big=$work/big.img
truncate -s 420M "$big"
mkntfs -F -q -Q -c 4096 "$big" >/dev/null 2>&1
echo 'write /big.bin 400000000 7' | "$fixture" "$big" - >/dev/null
"$cli" recover --disk "$big" --out "$work/stop" --all >"$work/stop.out" 2>"$work/stop.err" &
pid=$!
for _ in $(seq 1 200); do
  # The file is written under a part name until it is whole.
  [ -n "$(find "$work/stop/Root" -maxdepth 1 -name '.tarvik-part-*' -size +1k 2>/dev/null)" ] && break
  sleep 0.05
done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] && [ ! -e "$work/stop/Root/big.bin" ] && grep -q 'interrupted' "$work/stop.err" &&
  [ -z "$(find "$work/stop/Root" -name '.tarvik-part-*')" ]
report $? "Ctrl-C during a recovery: status $status, partial file removed"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
