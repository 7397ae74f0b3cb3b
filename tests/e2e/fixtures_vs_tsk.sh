#!/usr/bin/env bash
# The fixture images hold what their manifests say: The Sleuth Kit (fls, icat) finds
# every listed file at its path, allocated or deleted as listed, with the listed size
# and md5. Later tests trust the manifests; this keeps them honest.
set -euo pipefail

FIXTURES=${TARVIK_FIXTURE_DIR:?}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PASSED=0
FAILED=0

fail() {
    FAILED=$((FAILED + 1))
    echo "FAIL: $*" >&2
}

# The first sector of the volume a manifest describes: IMAGE.START.manifest names it,
# IMAGE.manifest is the image's only NTFS drive (first line of IMAGE.drives).
volume_start() {
    local manifest=$1 base=${1%.manifest}
    if [[ $base =~ \.([0-9]+)$ ]]; then
        echo "${BASH_REMATCH[1]}"
    else
        cut -f2 "$base.drives" | head -n 1
    fi
}

image_of() {
    local base=${1%.manifest}
    [[ $base =~ \.[0-9]+$ ]] && base=${base%.*}
    echo "$base"
}

# fls listing as "STATE<TAB>INODE<TAB>/PATH" (STATE normal or deleted).
list_files() {
    fls -r -p -o "$2" "$1" | awk -F'\t' '
        { state = ($1 ~ /\*/) ? "deleted" : "normal"
          split($1, f, " "); addr = f[length(f)]; sub(/:$/, "", addr); split(addr, a, "-")
          print state "\t" a[1] "\t/" $2 }'
}

check_manifest() {
    local manifest=$1 image start path size md5 state found
    image=$(image_of "$manifest")
    start=$(volume_start "$manifest")
    list_files "$image" "$start" >"$WORK/files"
    while IFS=$'\t' read -r path size md5 state; do
        found=$(awk -F'\t' -v p="$path" '$3 == p' "$WORK/files" | head -n 1)
        local what="$(basename "$manifest"): $path"
        if [ -z "$found" ]; then
            fail "$what: fls does not list it"
            continue
        fi
        local inode=${found#*$'\t'}
        inode=${inode%%$'\t'*}
        icat -o "$start" "$image" "$inode" >"$WORK/content"
        if [ "${found%%$'\t'*}" != "$state" ]; then
            fail "$what: fls shows it ${found%%$'\t'*}, manifest says $state"
        elif [ "$(stat -c %s "$WORK/content")" != "$size" ]; then
            fail "$what: icat gives $(stat -c %s "$WORK/content") bytes, manifest says $size"
        elif [ "$(md5sum <"$WORK/content" | cut -d' ' -f1)" != "$md5" ]; then
            fail "$what: content differs from the manifest's md5"
        else
            PASSED=$((PASSED + 1))
        fi
    done <"$manifest"
}

main() {
    command -v fls >/dev/null || { echo "fls missing (package sleuthkit)" >&2; exit 1; }
    local manifest count=0
    for manifest in "$FIXTURES"/*.img*.manifest; do
        check_manifest "$manifest"
        count=$((count + 1))
    done
    [ "$count" -gt 0 ] || { echo "no manifests in $FIXTURES" >&2; exit 1; }
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

main
