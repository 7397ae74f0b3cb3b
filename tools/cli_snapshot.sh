#!/usr/bin/env bash
# Records what tarvik-cli prints and writes for every disk image in a folder: drives
# (walk and search), scan of every drive (normal and advance), and recover --all and
# --deleted with the checksum, size and modification time of every file written. Two
# snapshots of the same images taken by two builds compare with `diff -r`.
#   tools/cli_snapshot.sh CLI IMAGE_DIR OUT_DIR
set -uo pipefail
cli=$(realpath "$1")
images=$(realpath "$2")
out=$3
mkdir -p "$out"
out=$(realpath "$out")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

record() {  # record NAME COMMAND...: stdout, stderr and exit status under NAME
  local name=$1
  shift
  "$@" >"$out/$name.out" 2>"$out/$name.err"
  echo "exit $?" >>"$out/$name.out"
}

recovered() {  # lists what a recovery wrote
  (cd "$1" 2>/dev/null && find . -type f -print0 | sort -z |
    xargs -0 -r stat -c '%s %Y %n' && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
}

for image in "$images"/*; do
  [ -f "$image" ] || continue
  base=$(basename "$image")
  record "$base.drives" "$cli" drives --disk "$image"
  record "$base.drives-search" "$cli" drives --disk "$image" --search
  count=$(grep -c . "$out/$base.drives.out")
  for ((drive = 1; drive < count; drive++)); do
    record "$base.scan$drive" "$cli" scan --disk "$image" --drive "$drive"
    record "$base.scan$drive-advance" "$cli" scan --disk "$image" --drive "$drive" --advance
  done
  record "$base.scan-search" "$cli" scan --disk "$image" --search
  # A selection: the last folder, the first and the last file the first scan lists.
  if [ -s "$out/$base.scan1.out" ]; then
    folder=$(awk -F'\t' '$1 == "Dir" && $7 !~ /^\?/ {last = $7} END {print last}' "$out/$base.scan1.out")
    first=$(awk -F'\t' '$1 == "File" && $7 !~ /^\?/ {print $7; exit}' "$out/$base.scan1.out")
    file=$(awk -F'\t' '$1 == "File" && $7 !~ /^\?/ {last = $7} END {print last}' "$out/$base.scan1.out")
    if [ -n "$folder$file" ]; then
      rm -rf "$work/r"
      record "$base.recover-select" "$cli" recover --disk "$image" --drive 1 --out "$work/r" \
        --select ${folder:+"$folder"} ${first:+"$first"} ${file:+"$file"}
      recovered "$work/r" >"$out/$base.recover-select.files"
    fi
  fi
  for mode in all deleted; do
    rm -rf "$work/r"
    record "$base.recover-$mode" "$cli" recover --disk "$image" --out "$work/r" "--$mode"
    recovered "$work/r" >"$out/$base.recover-$mode.files"
  done
done
