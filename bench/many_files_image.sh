#!/usr/bin/env bash
# The benchmarks' volume of many small files in many folders, made once by mkntfs and
# ntfs-fixture under $BENCH_DIR: FOLDERS folders of FILES_PER_FOLDER files of 100 bytes,
# with every tenth folder's files deleted so the deleted-record walk has work too.
# Prints the image's path.
#   bash bench/many_files_image.sh [FOLDERS] [FILES_PER_FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
folders=${1:-200}
per_folder=${2:-1000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
image="$dir/many-files-${folders}x${per_folder}.img"
mkdir -p "$dir"
if [ ! -f "$image" ]; then
  files=$((folders * per_folder))
  echo "making $image ($files files) ..." >&2
  truncate -s $(( (files / 1000 + 64) * 4 ))M "$image.tmp"
  mkntfs -F -q -Q -c 4096 "$image.tmp" >/dev/null
  {
    for f in $(seq 1 "$folders"); do
      echo "mkdir /d$f"
      for n in $(seq 1 "$per_folder"); do echo "write /d$f/file-$n.txt 100 $n"; done
    done
    for f in $(seq 1 10 "$folders"); do
      for n in $(seq 1 "$per_folder"); do echo "delete /d$f/file-$n.txt"; done
    done
  } | "$here/build/ntfs-fixture" "$image.tmp" -
  mv "$image.tmp" "$image"
fi
echo "$image"
