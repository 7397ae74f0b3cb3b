#!/usr/bin/env bash
# Damage matrix: makes a few NTFS disks with real NTFS code (mkntfs, ntfs-fixture,
# sfdisk), notes every file's SHA-256, record and clusters (The Sleuth Kit), then breaks
# copies of them in well over a hundred ways (MFT records, run lists, the MFT's own record
# and mirror, indexes, boot sectors, MBR and GPT tables, cut images, containers cut or
# corrupted) and runs drives, scan, scan --advance and recover --all --report on each
# under a time and memory bound, with every build given. It counts crashes, sanitizer
# reports, timeouts, memory-bound breaches and silent losses (a file the report calls
# intact whose bytes are not what the volume holds) per damage family, prints the table
# and exits 1 when any count is not 0.
#
# Usage: bench/damage_matrix.sh [MIB] [BUILD_DIR...]
#   MIB        size of each NTFS volume in MiB (default 16, at least 16)
#   BUILD_DIR  builds holding tarvik-cli (default: build, and build-asan when it exists);
#              a build configured with -DTARVIK_SANITIZE=ON is bounded by its resident
#              size only (ASan reserves terabytes of address space).
# Environment: DAMAGE_WORK (work folder, default a temporary one, kept when set),
#   DAMAGE_JOBS (parallel runs, default 2), DAMAGE_TIMEOUT (seconds per command, 120),
#   DAMAGE_MEM_MIB (resident bound per command, 1024; 3072 under ASan),
#   DAMAGE_ONLY (a family name: run only that family).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
MIB=${1:-16}
shift || true
[ "$MIB" -ge 16 ] || { echo "MIB must be at least 16" >&2; exit 2; }
BUILDS=("$@")
if [ ${#BUILDS[@]} -eq 0 ]; then
    BUILDS=("$ROOT/build")
    [ -x "$ROOT/build-asan/tarvik-cli" ] && BUILDS+=("$ROOT/build-asan")
fi
for b in "${BUILDS[@]}"; do
    [ -x "$b/tarvik-cli" ] || { echo "no tarvik-cli in $b" >&2; exit 2; }
done

if [ -n "${DAMAGE_WORK:-}" ]; then
    WORK=$DAMAGE_WORK
    mkdir -p "$WORK"
else
    WORK=$(mktemp -d)
    trap 'rm -rf "$WORK"' EXIT
fi

# shellcheck source=../tests/fixtures/lib.sh
source "$ROOT/tests/fixtures/lib.sh"
TARVIK_BUILD_DIR=${TARVIK_BUILD_DIR:-$ROOT/build}
fx_require_tools
for tool in fls istat icat fsstat python3; do
    command -v "$tool" >/dev/null || { echo "'$tool' is missing (sleuthkit)" >&2; exit 2; }
done

sectors=$((MIB * 2048))
mkdir -p "$WORK/base"
cd "$WORK/base"
echo "making base disks of $MIB MiB volumes in $WORK"
# A bare volume with 4 KiB clusters: every kind of file a scan meets.
fx_make_volume bare.img "$sectors" 4096 0
fx_fill_volume bare.img bare-ntfs.script bare.manifest
# An MBR disk, one NTFS partition at 2048 with 4 KiB clusters.
fx_new_disk mbr.img $((2048 + sectors + 2048)) "label: dos
unit: sectors
start=2048, size=$sectors, type=7"
fx_put_ntfs mbr.img 2048 "$sectors" 4096 sample-disk.script
# A GPT disk, one NTFS partition at 2048 with 512-byte clusters (records span clusters).
fx_new_disk gpt.img $((2048 + sectors + 2048)) "label: gpt
unit: sectors
start=2048, size=$sectors, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, name=data"
fx_put_ntfs gpt.img 2048 "$sectors" 512 bare-ntfs.script

cd "$WORK"
exec python3 "$ROOT/bench/damage_matrix.py" "$WORK" "${BUILDS[@]}"
