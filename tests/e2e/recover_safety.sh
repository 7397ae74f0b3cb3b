#!/usr/bin/env bash
# What never goes wrong silently: a destination kept on the disk being read (an image
# mounted through FUSE) is refused, one whose store cannot be followed is refused unless
# forced; a closed terminal ends a recovery as Ctrl-C does, and a killed one leaves no file
# under its own name that is not whole; recovered files keep their access times with a
# report; a FIFO among the disks does not block; partition names and very deep paths do
# not break the listing's lines.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}"
PATH=$PATH:/usr/sbin:/sbin
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
work=$(mktemp -d)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"
check() {  # LABEL: the status of the last command as a check
  if [ "$1" -eq 0 ]; then pass; else fail "$2"; fi
}

# A volume with two deleted files and one in use, the bytes of each known.
image=$work/v.img
truncate -s 32M "$image"
mkntfs -F -q -Q "$image" >/dev/null 2>&1
printf 'write /a.bin 300000 1\nwrite /b.bin 500000 2\nwrite /keep.bin 100000 3\ndelete /a.bin\ndelete /b.bin\n' |
  "$fixture" "$image" - >/dev/null
a_md5=$("$fixture" --bytes 300000 1 | md5sum | cut -d' ' -f1)

# --- destinations kept on the disk, through FUSE
if [ ! -c /dev/fuse ] || ! command -v ntfs-3g >/dev/null; then
  fail "FUSE checks need /dev/fuse and ntfs-3g (a FUSE mount of the image is the case under test)"
else
  mkdir -p "$work/mnt" "$work/copy-mnt" "$work/gone-mnt"
  if ntfs-3g "$image" "$work/mnt"; then
    mounts+=("$work/mnt")
    "$cli" recover --disk "$image" --deleted --out "$work/mnt/rec" >"$work/fuse.out" 2>"$work/fuse.err"
    status=$?
    umount "$work/mnt"
    [ "$status" -eq 1 ] && grep -q 'disk being recovered' "$work/fuse.err" && [ ! -s "$work/fuse.out" ]
    check $? "recover onto the image's own ntfs-3g mount: status $status, $(cat "$work/fuse.err")"
    "$cli" recover --disk "$image" --deleted --out "$work/after" >/dev/null 2>&1 &&
      [ "$(md5sum <"$work/after/Root/a.bin" | cut -d' ' -f1)" = "$a_md5" ]
    check $? "the deleted files are still whole after the refused recovery"
  else
    fail "ntfs-3g could not mount the image"
  fi
  # A copy of the image mounted: another store, so accepted.
  cp "$image" "$work/copy.img"
  ntfs-3g "$work/copy.img" "$work/copy-mnt" && mounts+=("$work/copy-mnt")
  "$cli" recover --disk "$image" --deleted --out "$work/copy-mnt/rec" >/dev/null 2>"$work/copy.err"
  check $? "a mount of a copy of the image is another disk: $(cat "$work/copy.err")"
  # A mount whose store is gone cannot be followed: refused, unless forced.
  cp "$image" "$work/gone.img"
  ntfs-3g "$work/gone.img" "$work/gone-mnt" && mounts+=("$work/gone-mnt")
  rm "$work/gone.img"
  "$cli" recover --disk "$image" --deleted --out "$work/gone-mnt/rec" >/dev/null 2>"$work/gone.err"
  status=$?
  [ "$status" -eq 1 ] && grep -q 'force-destination' "$work/gone.err" && [ ! -e "$work/gone-mnt/rec" ]
  check $? "an untraceable store is refused: status $status, $(cat "$work/gone.err")"
  "$cli" recover --disk "$image" --deleted --out "$work/gone-mnt/rec" --force-destination >/dev/null 2>&1 &&
    [ -f "$work/gone-mnt/rec/Root/a.bin" ]
  check $? "--force-destination writes there"
  # Forced onto the image itself (mounted through a hard link since removed): the deleted
  # records are overwritten under the recovery, whose files come out empty. A failure,
  # never "Written N files".
  cp "$image" "$work/victim.img"
  ln "$work/victim.img" "$work/link.img"
  mkdir -p "$work/victim-mnt"
  ntfs-3g "$work/link.img" "$work/victim-mnt" && mounts+=("$work/victim-mnt")
  rm "$work/link.img"
  "$cli" recover --disk "$work/victim.img" --deleted --out "$work/victim-mnt/rec" --force-destination \
    >"$work/victim.out" 2>"$work/victim.err"
  status=$?
  [ "$status" -eq 1 ] && ! grep -q 'Written' "$work/victim.out" && grep -q 'none of their bytes' "$work/victim.err"
  check $? "files written with none of their bytes: status $status, $(cat "$work/victim.out" "$work/victim.err")"
fi

# --- signals: a closed terminal stops cleanly; a kill leaves nothing that looks whole
big=$work/big.img
truncate -s 320M "$big"
mkntfs -F -q -Q -c 4096 "$big" >/dev/null 2>&1
echo 'write /big.bin 300000000 7' | "$fixture" "$big" - >/dev/null
interrupt() {  # SIGNAL NAME: starts a recovery, sends SIGNAL once a file is being written
  "$cli" recover --disk "$big" --out "$work/$2" --all --report "$work/$2.tsv" >/dev/null 2>"$work/$2.err" &
  local pid=$!
  for _ in $(seq 1 400); do
    [ -n "$(find "$work/$2/Root" -maxdepth 1 -name '.tarvik-part-*' -size +1M 2>/dev/null)" ] && break
    sleep 0.02
  done
  kill "-$1" "$pid"
  wait "$pid"
}
interrupt HUP hup
status=$?
[ "$status" -eq 130 ] && [ ! -e "$work/hup/Root/big.bin" ] && [ -f "$work/hup.tsv" ] &&
  [ -z "$(find "$work/hup/Root" -name '.tarvik-part-*')" ]
check $? "SIGHUP: status $status, the file cut short removed, the report kept"
interrupt KILL kill
[ ! -e "$work/kill/Root/big.bin" ] && [ -n "$(find "$work/kill/Root" -maxdepth 1 -name '.tarvik-part-*')" ]
check $? "SIGKILL leaves the file under a part name only"

# --- access times: the same with and without a report
"$cli" recover --disk "$image" --all --out "$work/plain" >/dev/null 2>&1
"$cli" recover --disk "$image" --all --out "$work/reported" --report "$work/times.tsv" >/dev/null 2>&1
for name in a.bin b.bin keep.bin; do
  plain=$(stat -c '%X %Y' "$work/plain/Root/$name")
  reported=$(stat -c '%X %Y' "$work/reported/Root/$name")
  [ "$plain" = "$reported" ]
  check $? "$name: times $reported with --report, $plain without"
done

# --- a FIFO among the disks is named, not opened
mkfifo "$work/fifo"
TARVIK_DISKS="$work/fifo" timeout 10 "$cli" disks --disk "$image" >"$work/fifo.out" 2>"$work/fifo.err"
status=$?
[ "$status" -eq 0 ] && grep -q 'fifo: not a disk or an image file' "$work/fifo.err" && grep -q "$image" "$work/fifo.out"
check $? "TARVIK_DISKS naming a FIFO: status $status, $(cat "$work/fifo.err")"

# --- a GPT partition name with a tab, a newline and ESC stays on its row, escaped
gpt=$work/gpt.img
truncate -s 8M "$gpt"
printf 'label: gpt\nstart=2048, size=4096, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n' | sfdisk -q "$gpt"
sfdisk -q --part-label "$gpt" 1 $'a\tb\nc\033[31m' >/dev/null 2>&1
"$cli" drives --disk "$gpt" >"$work/gpt.out" 2>/dev/null
[ "$(wc -l <"$work/gpt.out")" -eq 1 ] && grep -qF 'a\x09b\x0Ac\x1B[31m' "$work/gpt.out" &&
  ! grep -q $'\033' "$work/gpt.out"
check $? "drives escapes the partition name: $(cat -v "$work/gpt.out")"

# --- a chain of folders 3000 deep: each listed path stays short, and says so (the
# recovery holds a descriptor per level while it creates the chain)
ulimit -n 8192 2>/dev/null
chain=$work/chain.img
truncate -s 64M "$chain"
mkntfs -F -q -Q "$chain" >/dev/null 2>&1
echo 'chain / a-folder-name-of-24-b 3000' | "$fixture" "$chain" - >/dev/null
"$cli" scan --disk "$chain" >"$work/chain.out" 2>"$work/chain.err"
status=$?
longest=$(awk '{ if (length($0) > n) n = length($0) } END { print n }' "$work/chain.out")
[ "$status" -eq 0 ] && [ "$longest" -le 4400 ] && grep -q 'paths longer than' "$work/chain.err" &&
  grep -q $'\tRoot/\\\\\\[2[0-9][0-9][0-9] folders\\]/a-folder' "$work/chain.out"
check $? "a 3000-deep chain lists in lines of at most $longest bytes (status $status)"
# Ctrl-C while the listing waits on a slow reader ends it with 130, not after every line.
mkfifo "$work/slow"
(exec 3<"$work/slow"; sleep 3; cat <&3 >/dev/null) &
reader=$!
"$cli" scan --disk "$chain" >"$work/slow" 2>/dev/null &
pid=$!
sleep 1.5
kill -INT "$pid"
wait "$pid"
status=$?
wait "$reader"
[ "$status" -eq 130 ]
check $? "Ctrl-C during the listing: status $status"
"$cli" recover --disk "$chain" --all --out "$work/chain-out" >/dev/null 2>&1
[ "$(find "$work/chain-out/Root" -type d -name 'a-folder-name-of-24-b' | wc -l)" -eq 3000 ]
check $? "the 3000-deep chain is recovered whole"

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
