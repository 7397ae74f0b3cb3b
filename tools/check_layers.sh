#!/usr/bin/env bash
# Checks that the core's folders form a line: each includes only itself and folders
# before it in this order, the two front ends include the core but not each other, no
# include climbs out of its folder with "../", and no Qt header reaches the core.
#
# Include lines are read as the preprocessor reads them: "#  include", "# include" and
# leading blanks all count, so spacing cannot hide an include from the check.
# Usage: check_layers.sh [SOURCE_ROOT]   (default: this repository)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
order=(common disk catalogue ntfs partition scan filedata analysis recovery carve session)
fronts=(cli app)
status=0

complain() {
  echo "layering: $*"
  status=1
}

# Prints "FILE:LINE:PATH" for every include under the given folders: PATH is what
# stands between the quotes or the angle brackets, with the bracket kept in front
# ("\"disk/x.h" or "<QString").
includes_under() {
  local found
  found=()
  for folder in "$@"; do [ -d "$folder" ] && found+=("$folder"); done
  [ ${#found[@]} -gt 0 ] || return 0
  grep -rHnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' "${found[@]}" \
    --include='*.h' --include='*.cpp' --include='*.c' --include='*.hpp' |
    sed -E 's/^([^:]*:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*(["<][^">]*).*/\1:\2/' ||
    true
}

is_qt_header() {  # PATH without its bracket
  [[ $1 =~ ^Q[A-Za-z0-9_/]*(\.h)?$ || $1 =~ ^Qt[A-Za-z]*/ || $1 =~ ^q[a-z0-9_]*\.h$ ]]
}

while IFS= read -r hit; do
  path=${hit##*:}
  path=${path:1}
  if [[ $path == ../* || $path == */../* || $path == ./* ]]; then
    complain "${hit%:*}: relative include \"$path\""
  fi
done < <(includes_under "${order[@]}" "${fronts[@]}")

for ((i = 0; i < ${#order[@]}; i++)); do
  folder=${order[$i]}
  allowed=("${order[@]:0:$((i + 1))}")
  while IFS= read -r hit; do
    where=${hit%:*}
    path=${hit##*:}
    bracket=${path:0:1}
    path=${path:1}
    if [ "$bracket" = '<' ]; then
      is_qt_header "$path" && complain "$where: Qt header <$path> in the core"
      continue
    fi
    [[ $path == */* ]] || continue
    included=${path%%/*}
    if [[ " ${allowed[*]} " != *" $included "* ]]; then
      complain "$where: \"$path\" (allowed: ${allowed[*]})"
    fi
  done < <(includes_under "$folder")
done

for front in "${fronts[@]}"; do
  other=$([ "$front" = cli ] && echo app || echo cli)
  while IFS= read -r hit; do
    path=${hit##*:}
    [[ $path == "\"$other/"* ]] && complain "${hit%:*}: $front includes $other"
  done < <(includes_under "$front")
done

[ $status -eq 0 ] && echo "layering: ${order[*]} <- ${fronts[*]}"
exit $status
