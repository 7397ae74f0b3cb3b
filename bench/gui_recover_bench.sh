#!/usr/bin/env bash
# Recover All from the desktop program's saving dialog against `tarvik-cli recover --all`
# on the same image, warm page cache, best of RUNS each, into a fresh folder each run.
# Uses the X server of $DISPLAY when there is one, else offscreen.
#   bash bench/gui_recover_bench.sh IMAGE [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
image=$1
runs=${2:-3}
cmake --build "$here/build" --target tarvik_gui_recover_bench tarvik-cli >/dev/null
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d /tmp/tarvik-gui-recover-XXXXXX)
trap 'rm -rf "$work"' EXIT
cat "$image" >/dev/null
best() { sort -n | head -1; }
cli=$(for _ in $(seq "$runs"); do
  rm -rf "$work/out"; sync
  start=$(date +%s%N)
  "$here/build/tarvik-cli" recover --disk "$image" --out "$work/out" --all >/dev/null 2>&1
  echo $(( ($(date +%s%N) - start) / 1000000 ))
done | best)
gui_lines=$(for _ in $(seq "$runs"); do
  rm -rf "$work/out"; sync
  "$here/build/tarvik_gui_recover_bench" "$image" "$work/out" 2>/dev/null
done)
gui_process=$(echo "$gui_lines" | sed 's/.*process \([0-9]*\) ms.*/\1/' | best)
echo "$gui_lines" | tail -1
echo "tarvik-cli recover --all (whole process):    ${cli} ms"
echo "desktop scan + saving dialog (whole process): ${gui_process} ms"
