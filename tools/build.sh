#!/usr/bin/env bash
# Configures and builds the project into build/ (Release with debug info, warnings as
# errors). Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build "${generator[@]}" -DTARVIK_WERROR=ON "$@" >/dev/null
fi
cmake --build build -j2
