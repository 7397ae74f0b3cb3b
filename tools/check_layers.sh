#!/usr/bin/env bash
# Checks that the core's folders form a line: each includes only itself and folders
# before it in this order, and the two front ends include the core but not each other.
set -euo pipefail
cd "$(dirname "$0")/.."
order=(common disk catalogue ntfs partition recovery carve session)
status=0
for ((i = 0; i < ${#order[@]}; i++)); do
  folder=${order[$i]}
  allowed=("${order[@]:0:$((i + 1))}")
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    included=${line#*#include \"}
    included=${included%%/*}
    if [[ " ${allowed[*]} " != *" $included "* ]]; then
      echo "layering: $line (allowed: ${allowed[*]})"
      status=1
    fi
  done < <(grep -rHn '^#include "[a-z_]*/' "$folder" --include='*.h' --include='*.cpp' || true)
done
for front in cli app; do
  other=$([ "$front" = cli ] && echo app || echo cli)
  if grep -rHn "^#include \"$other/" "$front" --include='*.h' --include='*.cpp'; then
    echo "layering: $front includes $other"
    status=1
  fi
done
if grep -rHln '#include <Q' "${order[@]}" 2>/dev/null; then
  echo "layering: Qt header in the core"
  status=1
fi
[ $status -eq 0 ] && echo "layering: ${order[*]} <- cli, app"
exit $status
