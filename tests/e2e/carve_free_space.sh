#!/usr/bin/env bash
# Carving: files made by ImageMagick and zip, laid at cluster boundaries of a volume's
# free clusters, are listed under "Carved Files" as carved and recovered byte-identical
# with their cluster in the report; the same bytes laid over the clusters of a deleted
# file whose record survives are not carved (the record pass recovers that file).
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}"
PATH=$PATH:/usr/sbin:/sbin
cli="$TARVIK_BUILD_DIR/tarvik-cli"
fixture="$TARVIK_BUILD_DIR/ntfs-fixture"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
for tool in "$convert" zip blkstat istat; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (tools/setup.sh installs it)" >&2; exit 1; }
done

image=$work/v.img
truncate -s 32M "$image"
mkntfs -F -q -Q -c 4096 "$image" >/dev/null 2>&1
printf 'write /keep.bin 100000 3\nwrite /gone.bin 200000 4\ndelete /gone.bin\n' | "$fixture" "$image" - >/dev/null
"$convert" -seed 5 -size 200x150 plasma:fractal "$work/a.jpg"
"$convert" -seed 6 -size 150x100 plasma:fractal "$work/b.png"
seq 1 30000 >"$work/n.txt" && (cd "$work" && zip -q c.zip n.txt)

free_from() {  # CLUSTER: the first cluster from it on that The Sleuth Kit calls free
  local c=$1
  while blkstat -f ntfs "$image" "$c" | grep -q '^Allocated'; do c=$((c + 1)); done
  echo "$c"
}
place() {  # FILE CLUSTER
  dd if="$1" of="$image" bs=4096 seek="$2" conv=notrunc status=none
}
jpg_at=$(free_from 3000)
place "$work/a.jpg" "$jpg_at"
png_at=$(free_from $((jpg_at + 40)))
place "$work/b.png" "$png_at"
zip_at=$(free_from $((png_at + 40)))
place "$work/c.zip" "$zip_at"
# The deleted file's first cluster, from its record: its clusters stay its own.
gone_record=$("$cli" scan --disk "$image" 2>/dev/null | awk -F'\t' '$7 ~ /gone.bin$/ { print $5 }')
gone_at=$(istat -f ntfs "$image" "$gone_record" | awk '/\$DATA.*Non-Resident/ { getline; print $1; exit }')
[ -n "$gone_at" ] || { echo "FAIL: the deleted file's clusters are not known" >&2; exit 1; }
place "$work/b.png" "$gone_at"

"$cli" scan --disk "$image" --carve >"$work/listing" 2>"$work/err"
for pair in "JPEG/c$(printf %09d "$jpg_at").jpg" "PNG/c$(printf %09d "$png_at").png" \
  "ZIP/c$(printf %09d "$zip_at").zip"; do
  if grep -q "	carved	.*Root/Carved Files/$pair	intact" "$work/listing"; then pass; else
    fail "not listed as carved and intact: $pair"
  fi
done
carved=$(awk -F'\t' '$2 == "carved"' "$work/listing" | wc -l)
[ "$carved" -eq 3 ] && pass || fail "carved $carved files, expected 3 (none over the deleted file)"
grep -q "carved 3 files" "$work/err" && pass || fail "no carving summary: $(cat "$work/err")"
# Carved files cannot be found again from a saved scan: keeping such a scan is refused.
"$cli" scan --disk "$image" --carve --save "$work/kept.scan" >/dev/null 2>"$work/save.err"
status=$?
[ "$status" -ne 0 ] && [ ! -e "$work/kept.scan" ] && grep -q "carved files cannot be kept" "$work/save.err" &&
  pass || fail "a scan with carved files was kept (status $status): $(cat "$work/save.err")"

"$cli" recover --disk "$image" --carve --select "Root/Carved Files" --out "$work/out" \
  --report "$work/report.tsv" >/dev/null 2>&1
for pair in "a.jpg JPEG/c$(printf %09d "$jpg_at").jpg" "b.png PNG/c$(printf %09d "$png_at").png" \
  "c.zip ZIP/c$(printf %09d "$zip_at").zip"; do
  set -- $pair
  if cmp -s "$work/$1" "$work/out/Root/Carved Files/$2"; then pass; else fail "not byte-identical: $2"; fi
done
grep -q "	cluster $png_at	" "$work/report.tsv" && pass || fail "the report does not give the cluster"
[ ! -e "$work/out/Root/keep.bin" ] && pass || fail "a file not selected was written"

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
