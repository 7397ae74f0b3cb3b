#!/usr/bin/env bash
# Every name The Sleuth Kit's fls lists on a volume (metadata files and named streams
# aside) must be in our scan, at the same path, with the same deleted state. Files fls
# can only place under $OrphanFiles must be found somewhere, under a lost folder.
set -euo pipefail
: "${TARVIK_BUILD_DIR:?}" "${TARVIK_SHARED_DIR:?}" "${TARVIK_FIXTURE_DIR:?}"
cli="$TARVIK_BUILD_DIR/tarvik-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
# shellcheck source=lib/real_images.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/real_images.sh"

# fls lines as "normal|deleted<TAB>path"; orphans as "orphan<TAB>name".
fls_names() {  # IMAGE OFFSET
  fls -r -p -f ntfs -o "$2" "$1" | awk -F'\t' '
    {
      head = $1; path = $2
      if (head ~ /\(realloc\)/) next                 # a stale name of a reused record
      n = split(path, parts, "/")
      if (parts[n] ~ /:/) next                        # a named stream
      if (parts[n] ~ /^OrphanFile-[0-9]+$/) next          # a nameless record fls names
      if (path ~ /^\$OrphanFiles\//) { print "orphan\t" parts[n]; next }
      for (i = 1; i <= n; i++) if (parts[i] ~ /^\$/) next
      print ((head ~ /\* /) ? "deleted" : "normal") "\t" path
    }' | sort -u
}

# Our scan as "normal|deleted<TAB>path", made-up folders left out.
our_names() {  # IMAGE DRIVE
  "$cli" scan --disk "$1" --drive "$2" 2>/dev/null | awk -F'\t' '
    $2 != "made-up" { sub(/^Root\//, "", $7); print $2 "\t" $7 }' | sort -u
}

check_volume() {  # LABEL IMAGE DRIVE OFFSET
  local label=$1 image=$2 drive=$3 offset=$4
  fls_names "$image" "$offset" >"$work/fls"
  our_names "$image" "$drive" >"$work/ours"
  grep -v '^orphan' "$work/fls" | comm -23 - "$work/ours" >"$work/missing" || true
  local orphans_missing=0 name
  while IFS=$'\t' read -r _ name; do
    grep -q "Lost Folder [0-9]*/.*/$name\$\|/$name\$" "$work/ours" || {
      echo "    orphan not found: $name"; orphans_missing=1; }
  done < <(grep '^orphan' "$work/fls" || true)
  if [ -s "$work/missing" ] || [ $orphans_missing -ne 0 ]; then
    echo "FAIL $label: names fls lists that the scan lacks (state, path):"
    sed 's/^/    /' "$work/missing" | head -20
    failed=$((failed + 1))
  else
    echo "ok   $label: $(grep -vc '^orphan' "$work/fls") names, $(grep -c '^orphan' "$work/fls" || true) orphans"
    passed=$((passed + 1))
  fi
}

check_real_image() { check_volume "$1" "$2" 1 "$3"; }  # NAME PATH OFFSET
for_each_real_image "$work" check_real_image

check_volume bare-ntfs "$TARVIK_FIXTURE_DIR/bare-ntfs.img" 1 0
check_volume bare-4k "$TARVIK_FIXTURE_DIR/bare-4k.img" 1 0
check_volume sample-disk "$TARVIK_FIXTURE_DIR/sample-disk.img" 1 2048
# GPT disks: the data partition behind an EFI partition, one on a 4Kn disk, and one
# starting past 2 TiB (every sector number there needs more than 32 bits).
check_volume gpt "$TARVIK_FIXTURE_DIR/gpt.img" 2 4096
check_volume gpt-4k "$TARVIK_FIXTURE_DIR/gpt-4k.img" 1 2048
check_volume gpt-big "$TARVIK_FIXTURE_DIR/gpt-big.img" 1 4294969344
# Every NTFS drive of the mixed disk, by its row in the drive list.
row=0
while IFS=$'\t' read -r _ fs start _; do
  row=$((row + 1))
  [ "$fs" = NTFS ] || continue
  check_volume "mbr-mixed drive $row" "$TARVIK_FIXTURE_DIR/mbr-mixed.img" "$row" "$start"
done < <("$cli" drives --disk "$TARVIK_FIXTURE_DIR/mbr-mixed.img")

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
