#!/usr/bin/env bash
# Damaged disks and destinations: a bad spot inside a large file, a full destination, a
# planted link, and a matrix of crafted images (a cluster size of three sectors, an MFT
# that claims 2^24 clusters, truncated images, zeroed and random regions). Every command
# ends by itself within 60 s and under a memory bound, says what it could not do, and
# whatever is intact is still listed and recovered.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}" "${TARVIK_FIXTURE_DIR:?}"
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
work=$(mktemp -d)
mounted=""
cleanup() {
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
passed=0
failed=0
report() {  # CONDITION-STATUS LABEL
  if [ "$1" -eq 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}
pristine="$TARVIK_FIXTURE_DIR/bare-ntfs.img"
cluster=4096
limit_kib=$((2560 * 1024))  # 2.5 GiB of address space: far above what these images need

# bounded COMMAND...: the command under a 60 s timeout and the memory bound; its peak
# resident size in KiB goes to $work/peak, its exit status is returned.
bounded() {
  (ulimit -v "$limit_kib"; exec /usr/bin/time -f %M -o "$work/peak" timeout 60 "$@")
}

# Recovers the pristine image once, for comparison.
"$cli" recover --disk "$pristine" --all --out "$work/clean" >/dev/null 2>&1
large="Root/Documents/Reports 2023/large.bin"
[ -f "$work/clean/$large" ]; report $? "pristine image recovered"

# 1. One bad 4 KiB spot in the middle of a 4 MiB file, as a disk reports it: the part of
#    a request before the spot comes in, then the read fails. A preloaded pread does it.
cat >"$work/badspot.c" <<'CODE'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
static ssize_t (*real_pread)(int, void*, size_t, off_t);
static ssize_t bad_pread(int fd, void* buf, size_t count, off_t offset) {
    if (!real_pread) real_pread = (ssize_t (*)(int, void*, size_t, off_t))dlsym(RTLD_NEXT, "pread64");
    const char* file = getenv("BAD_FILE");
    struct stat target, st;
    if (file && stat(file, &target) == 0 && fstat(fd, &st) == 0 && st.st_ino == target.st_ino &&
        st.st_dev == target.st_dev) {
        const off_t from = atoll(getenv("BAD_OFFSET")), to = from + atoll(getenv("BAD_LENGTH"));
        if (offset < to && offset + (off_t)count > from) {
            if (offset >= from) { errno = EIO; return -1; }
            count = (size_t)(from - offset);
        }
    }
    return real_pread(fd, buf, count, offset);
}
ssize_t pread(int fd, void* buf, size_t count, off_t offset) { return bad_pread(fd, buf, count, offset); }
ssize_t pread64(int fd, void* buf, size_t count, off_t offset) { return bad_pread(fd, buf, count, offset); }
CODE
if cc -shared -fPIC -O1 -o "$work/badspot.so" "$work/badspot.c" -ldl 2>"$work/cc.err"; then
  first=$(istat -f ntfs -r "$pristine" "$(ifind -f ntfs -n "Documents/Reports 2023/large.bin" "$pristine")" |
    awk '/Starting address/ {gsub(",", ""); print $3; exit}')
  bad=$(((first + 512) * cluster))
  BAD_FILE="$pristine" BAD_OFFSET=$bad BAD_LENGTH=4096 LD_PRELOAD="$work/badspot.so" \
    "$cli" recover --disk "$pristine" --all --out "$work/bad" --report "$work/bad.tsv" >"$work/bad.out" 2>&1
  grep -q "unreadable sectors 8$" "$work/bad.out"; report $? "bad spot: the summary counts its 8 sectors"
  awk -F'\t' -v p="$work/bad/$large" '$1 == p && $4 == "partly unreadable" && $10 == 8' "$work/bad.tsv" | grep -q .
  report $? "bad spot: the report calls the file partly unreadable, with its 8 sectors"
  differing=$(cmp -l "$work/clean/$large" "$work/bad/$large" | wc -l)
  nonzero=$(dd if="$work/bad/$large" bs=4096 skip=512 count=1 status=none | tr -d '\0' | wc -c)
  same_size=$(($(stat -c %s "$work/bad/$large") == 4194304))
  [ "$nonzero" -eq 0 ] && [ "$differing" -le 4096 ] && [ "$same_size" -eq 1 ] &&
    cmp -s <(head -c $((512 * 4096)) "$work/clean/$large") <(head -c $((512 * 4096)) "$work/bad/$large") &&
    cmp -s <(tail -c $((511 * 4096)) "$work/clean/$large") <(tail -c $((511 * 4096)) "$work/bad/$large")
  report $? "bad spot: exactly its 4 KiB are zeros, every other byte identical ($differing bytes differ)"
  others=$(cd "$work/clean" && find . -type f ! -path "./$large" -exec cmp -s {} "$work/bad/{}" \; -print | wc -l)
  total=$(cd "$work/clean" && find . -type f ! -path "./$large" | wc -l)
  [ "$others" -eq "$total" ]; report $? "bad spot: the other $total files identical"
else
  echo "skip bad spot: no C compiler ($(head -1 "$work/cc.err"))"
fi

# 2. A 2 MiB tmpfs as destination: a failing exit with one clear message, and no file
#    left there shorter than the original.
mkdir -p "$work/small"
if mount -t tmpfs -o size=2m tmpfs "$work/small" 2>/dev/null; then
  mounted="$work/small"
  status=0
  "$cli" recover --disk "$pristine" --all --out "$work/small" >"$work/small.out" 2>&1 || status=$?
  [ "$status" -ne 0 ] && [ "$(grep -c 'The destination is full' "$work/small.out")" -eq 1 ]
  report $? "full destination: status $status and one message"
  short=0
  while IFS= read -r -d '' file; do
    [ "$(stat -c %s "$file")" -eq "$(stat -c %s "$work/clean/${file#"$work/small/"}")" ] || short=$((short + 1))
  done < <(find "$work/small" -type f -print0)
  [ "$short" -eq 0 ]; report $? "full destination: no file left short ($short)"
  umount "$work/small" && mounted=""
else
  echo "skip full destination: cannot mount a tmpfs here"
fi

# 3. A hard link planted in DIR/Root is not written through.
mkdir -p "$work/linked/Root"
echo keep >"$work/outside"
ln "$work/outside" "$work/linked/Root/tiny.txt"
"$cli" recover --disk "$pristine" --all --out "$work/linked" >/dev/null 2>&1
[ "$(cat "$work/outside")" = keep ] && cmp -s "$work/clean/Root/tiny.txt" "$work/linked/Root/tiny (2).txt"
report $? "planted hard link: its target unchanged, the file written beside it"

# 4. The damage matrix. Each image: scan and recover end within 60 s under the memory
#    bound, and the files the damage did not touch are still listed.
listed() {  # IMAGE NAME: 0 when the scan lists the name
  "$cli" scan --disk "$1" 2>/dev/null | grep -q "$2"
}
run_matrix() {  # LABEL IMAGE EXPECTED-NAME
  local label=$1 image=$2 name=$3 scan recover peak_scan
  bounded "$cli" scan --disk "$image" >"$work/m.scan" 2>&1
  scan=$?
  peak_scan=$(tail -1 "$work/peak" 2>/dev/null)
  rm -rf "$work/m.out"
  bounded "$cli" recover --disk "$image" --all --out "$work/m.out" >"$work/m.recover" 2>&1
  recover=$?
  [ "$scan" -lt 124 ] && [ "$recover" -lt 124 ]
  report $? "$label: scan $scan, recover $recover within 60 s (scan peak ${peak_scan:-?} KiB)"
  if [ -n "$name" ]; then
    grep -q "$name" "$work/m.scan" && [ -n "$(find "$work/m.out" -name "${name##*/}" -type f)" ]
    report $? "$label: $name still listed and recovered"
  fi
}
put() {  # IMAGE OFFSET PRINTF-BYTES
  printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

image="$work/cluster3.img"
cp "$pristine" "$image"
put "$image" 13 '\x03'
run_matrix "cluster size of 3 sectors" "$image" "Documents/small.dat"
cmp -s <("$cli" scan --disk "$pristine" 2>/dev/null) <("$cli" scan --disk "$image" 2>/dev/null)
report $? "cluster size of 3 sectors: refused, the backup boot sector gives the same listing"

# Record 0's $DATA run rewritten as one run of 2^24 clusters at the MFT's place.
image="$work/huge-mft.img"
cp "$pristine" "$image"
mft=$(($(od -An -tu8 -j48 -N8 "$pristine") * cluster))
record0=$(od -An -tx1 -v -j "$mft" -N 1024 "$pristine" | tr -s ' \n' ' ')
read -r -a bytes <<<"$record0"
at=$((0x${bytes[21]}${bytes[20]}))
while [ "${bytes[at]}" != 80 ] && [ "${bytes[at]}" != ff ]; do
  at=$((at + 0x${bytes[at + 5]}${bytes[at + 4]}))
done
runs=$((at + 0x${bytes[at + 33]}${bytes[at + 32]}))
mft_lcn=$((mft / cluster))
put "$image" $((mft + runs)) "$(printf '\\x34\\x00\\x00\\x00\\x01\\x%02x\\x%02x\\x%02x\\x00' \
  $((mft_lcn & 255)) $(((mft_lcn >> 8) & 255)) $(((mft_lcn >> 16) & 255)))"
start=$(date +%s)
run_matrix "MFT of 2^24 clusters" "$image" "Documents/small.dat"
elapsed=$(($(date +%s) - start))
[ "$elapsed" -lt 60 ]; report $? "MFT of 2^24 clusters: scan and recovery took ${elapsed} s"

for fraction in 2 4; do
  image="$work/truncated-$fraction.img"
  head -c $(($(stat -c %s "$pristine") / fraction)) "$pristine" >"$image"
  run_matrix "truncated to 1/$fraction" "$image" ""
done

image="$work/zeroed.img"
cp "$pristine" "$image"
dd if=/dev/zero of="$image" bs=1024 seek=$((mft / 1024 + 40)) count=16 conv=notrunc status=none
run_matrix "16 MFT records zeroed" "$image" "tiny.txt"

image="$work/random.img"
cp "$pristine" "$image"
"$fixture" --bytes 65536 11 >"$work/noise"
dd if="$work/noise" of="$image" bs=1024 seek=$((mft / 1024 + 40)) conv=notrunc status=none
run_matrix "64 MFT records of random bytes" "$image" ""
# tiny.txt's record is among them: listed from its folder's index as unreadable, and not
# written as an empty file.
grep -q $'\tRoot/tiny.txt\tunreadable\t' "$work/m.scan" && [ -z "$(find "$work/m.out" -name tiny.txt)" ] &&
  grep -q "recovered in part: [1-9][0-9]* files unreadable" "$work/m.recover"
report $? "64 MFT records of random bytes: tiny.txt listed unreadable, not written, recovery said so"

image="$work/random-start.img"
cp "$pristine" "$image"
dd if="$work/noise" of="$image" bs=512 seek=1 count=64 conv=notrunc status=none
run_matrix "random bytes after the boot sector" "$image" "tiny.txt"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
