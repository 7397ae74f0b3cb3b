#!/usr/bin/env bash
# Every entry the scan lists on the real images has the date and size The Sleuth Kit's
# istat gives its record: the creation time of $STANDARD_INFORMATION to the second, its
# modification time to the 100 ns, and the real size of the unnamed $DATA. The volume's
# own metadata files ($AttrDef, $Bitmap, ...) too: the copies of their sizes and times in
# the root folder's index are never brought up to date by Windows, but the records are.
set -euo pipefail
: "${TARVIK_BUILD_DIR:?}" "${TARVIK_SHARED_DIR:?}"
cli="$TARVIK_BUILD_DIR/tarvik-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
# shellcheck source=lib/real_images.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/real_images.sh"

check_image() {  # NAME OFFSET
  local name=$1 offset=$2 image="$work/$1" bad=0 count=0
  "$cli" scan --disk "$image" --drive 1 2>/dev/null >"$work/scan"
  while IFS=$'\t' read -r kind state size date id _ path _ modified; do
    [ "$state" = made-up ] && continue
    count=$((count + 1))
    istat -f ntfs -o "$offset" "$image" "$id" >"$work/istat" 2>/dev/null || {
      echo "    istat cannot read record $id ($path)"; bad=$((bad + 1)); continue; }
    local si data
    si=$(awk '/^\$STANDARD_INFORMATION/ {f = 1} f && /^Created:/ {
                  if ($2 " " $3 == "2076-11-29 08:54:34.000000000") print "1601-01-01T00:00:00Z"
                  else print $2 "T" substr($3, 1, 8) "Z"; exit}' "$work/istat")
    data=$(awk '/^Type: \$DATA \(128-[0-9]+\) +Name: N\/A/ {
                  for (i = 1; i <= NF; i++) if ($i == "size:") {print $(i + 1); exit}}' "$work/istat")
    [ "$kind" = Dir ] && data=0
    if [ "$date" != "$si" ]; then
      echo "    $path: date $date, istat $si"; bad=$((bad + 1))
    fi
    # MODIFIED: $STANDARD_INFORMATION's modification time, to the 100 ns istat shows
    # (it prints nanoseconds, the last two digits always 0). A time of 0 (mkntfs leaves
# $MFT's so) istat prints as 2076-11-29 08:54:34; we show it as 1601-01-01 and "-".
    local mod
    mod=$(awk '/^\$STANDARD_INFORMATION/ {f = 1} f && /^File Modified:/ {
                   if ($3 " " $4 == "2076-11-29 08:54:34.000000000") print "-"
                   else print $3 "T" substr($4, 1, 16) "Z"; exit}' "$work/istat")
    if [ -n "$mod" ] && [ "$modified" != "$mod" ]; then
      echo "    $path: modified $modified, istat $mod"; bad=$((bad + 1))
    fi
    if [ "$size" != "${data:-0}" ]; then
      echo "    $path: size $size, istat ${data:-0}"; bad=$((bad + 1))
    fi
  done <"$work/scan"
  if [ "$bad" -eq 0 ] && [ "$count" -gt 0 ]; then
    echo "ok   $name: $count entries"
    passed=$((passed + 1))
  else
    echo "FAIL $name: $bad differences in $count entries"
    failed=$((failed + 1))
  fi
}

check_real_image() { check_image "$1" "$3"; }  # NAME PATH OFFSET
for_each_real_image "$work" check_real_image

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
