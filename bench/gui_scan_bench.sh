#!/usr/bin/env bash
# The desktop program's scan against tarvik-cli's on the same image, warm page cache,
# best of RUNS each. Uses the X server of $DISPLAY when there is one, else offscreen.
#   bash bench/gui_scan_bench.sh IMAGE [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
image=$1
runs=${2:-5}
cmake --build "$here/build" --target tarvik_gui_scan_bench tarvik-cli >/dev/null
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
cat "$image" >/dev/null
best() { sort -n | head -1; }
cli=$(for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$here/build/tarvik-cli" scan --disk "$image" >/dev/null 2>&1
  echo $(( ($(date +%s%N) - start) / 1000000 ))
done | best)
gui_lines=$(for _ in $(seq "$runs"); do "$here/build/tarvik_gui_scan_bench" "$image" 2>/dev/null; done)
gui_scan=$(echo "$gui_lines" | awk '{print $2}' | best)
gui_process=$(echo "$gui_lines" | awk '{print $5}' | best)
echo "$gui_lines" | tail -1
echo "tarvik-cli scan (whole process):       ${cli} ms"
echo "desktop scan dialog (start to close):  ${gui_scan} ms"
echo "desktop bench (whole process):         ${gui_process} ms"
