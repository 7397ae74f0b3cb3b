#!/usr/bin/env bash
# Opening a kept scan against scanning, in one run on the same volume of FOLDERS x 1000
# small files (1,000 folders, 1,000,000 files by default; made once under $BENCH_DIR by
# bench/many_files_image.sh), with the image in the page cache (so the scan times are
# of a cached image, not of a disk):
#   - tarvik-cli: `recover --select` of one file, scanning the drive, against the same
#     recover from the kept scan (`recover --scan`): whole processes, wall and CPU;
#   - the desktop program: its scan dialog against File > Open Scan up to the folder
#     tree shown (offscreen unless $DISPLAY is set);
#   - the core alone: saving and opening a made-up catalogue of as many entries, phase
#     by phase.
# Run by hand, not by CTest:
#   bash bench/saved_scan_bench.sh [FOLDERS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
folders=${1:-1000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
cmake --build "$build" --target tarvik-cli ntfs-fixture tarvik_saved_scan_bench \
  tarvik_gui_scan_bench tarvik_gui_open_scan_bench >/dev/null
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
image=$(bash "$here/bench/many_files_image.sh" "$folders" 1000)
scan="$dir/opened.tarvikscan"
out="$dir/opened-out"
cat "$image" >/dev/null
"$build/tarvik-cli" scan --disk "$image" --save "$scan" >/dev/null 2>&1

# Prints "WALL_S CPU_S" of a command.
timed() { /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -n 1 | awk '{print $1, $2 + $3}'; }
recover() { rm -rf "$out"; timed "$build/tarvik-cli" recover --disk "$image" --out "$out" \
  --select Root/d2/file-1.txt "$@"; }
read -r scan_wall scan_cpu < <(recover)
read -r open_wall open_cpu < <(recover --scan "$scan")
rm -rf "$out"
echo "records $((folders * 1000)), saved scan $(($(stat -c %s "$scan") / 1048576)) MiB"
echo "tarvik-cli recover, scanning:        ${scan_wall} s wall, ${scan_cpu} s CPU"
echo "tarvik-cli recover, from saved scan: ${open_wall} s wall, ${open_cpu} s CPU" \
  "(ratio $(echo "scale=3; $open_wall / $scan_wall" | bc) wall," \
  "$(echo "scale=3; $open_cpu / $scan_cpu" | bc) CPU)"
gui_scan=$("$build/tarvik_gui_scan_bench" "$image" 2>/dev/null | awk '{print $2}')
gui_open=$("$build/tarvik_gui_open_scan_bench" "$image" "$scan" 2>/dev/null | awk '{print $6}')
echo "desktop scan dialog:                 ${gui_scan} ms"
echo "desktop Open Scan to tree shown:     ${gui_open} ms" \
  "(ratio $(echo "scale=3; $gui_open / $gui_scan" | bc))"
rm -f "$scan"
/usr/bin/time -f 'peak %M KiB' "$build/tarvik_saved_scan_bench" $((folders * 1000))
