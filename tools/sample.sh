#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds, makes the sample
# disk image, scans it and recovers its deleted files into build/sample/recovered.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
image=build/sample/sample-disk.img
[ -f "$image" ] || TARVIK_BUILD_DIR=${TARVIK_BUILD_DIR:-$PWD/build} bash tests/fixtures/make-sample.sh "$image"
echo "Sample disk: $image"
build/tarvik-cli drives --disk "$image"
out=build/sample/recovered
rm -rf "$out"
build/tarvik-cli recover --disk "$image" --out "$out" --deleted
echo "Deleted files recovered under $out/Root:"
(cd "$out/Root" && find . -type f | sort)
