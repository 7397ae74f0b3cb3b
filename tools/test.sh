#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, end-to-end, GUI).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
cd build
ctest --output-on-failure -j2 --timeout 900
