#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds, makes the sample
# disk image and lists its logical drives.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
image=build/sample/sample-disk.img
[ -f "$image" ] || bash tests/fixtures/make-sample.sh "$image"
echo "Sample disk: $image"
build/tarvik-cli drives --disk "$image"
