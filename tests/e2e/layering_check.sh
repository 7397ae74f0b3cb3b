#!/usr/bin/env bash
# The folder layering check must see through the ways an include can slip past a plain
# text match: spacing after the hash, "../" paths and Qt's lower-case compatibility
# headers. Each case is a one-line tree that must fail; the clean tree must pass.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
check="$here/tools/check_layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

tree_with() {  # FILE LINE: a fresh minimal tree with LINE in FILE
  rm -rf "$work/tree"
  mkdir -p "$work/tree"/{common,disk,catalogue,ntfs,partition,scan,filedata,analysis,recovery,carve,session,cli,app}
  echo '#include "common/bytes.h"' >"$work/tree/disk/reader.cpp"
  echo '#include <QString>' >"$work/tree/app/window.cpp"
  printf '%s\n' "$2" >"$work/tree/$1"
}

expect() {  # fail|pass FILE LINE
  tree_with "$2" "$3"
  if bash "$check" "$work/tree" >"$work/out" 2>&1; then got=pass; else got=fail; fi
  if [ "$got" = "$1" ]; then
    echo "ok   $1: $2: $3"
  else
    echo "FAIL expected $1, got $got: $2: $3"
    cat "$work/out"
    failed=$((failed + 1))
  fi
}

expect pass common/x.h '#include <vector>'
expect pass session/x.cpp '#include "recovery/writer.h"'
expect pass app/x.cpp '#include "session/recovery_session.h"'
expect fail disk/x.cpp '#include "ntfs/scan.h"'
expect fail disk/x.cpp '#  include "ntfs/scan.h"'
expect fail disk/x.cpp '  #include "ntfs/scan.h"'
expect fail disk/x.cpp '# include"ntfs/scan.h"'
expect fail ntfs/x.cpp '#include "../session/recovery_session.h"'
expect fail ntfs/x.cpp '#include "scan/scan_engine.h"'
expect pass analysis/x.cpp '#include "filedata/file_data_map.h"'
expect fail filedata/x.cpp '#include "analysis/file_condition.h"'
expect fail analysis/x.cpp '#include "recovery/recovery_writer.h"'
expect fail app/x.cpp '#include "../cli/options.h"'
expect fail cli/x.cpp '#include "app/main_frame.h"'
expect fail cli/x.cpp '#   include "app/main_frame.h"'
expect fail session/x.h '#include <QString>'
expect fail session/x.h '#include <qstring.h>'
expect fail common/x.h '# include <QtCore/QString>'
expect pass common/x.h '#include <queue>'

if bash "$check" "$here" >"$work/out" 2>&1; then
  echo "ok   this repository's tree"
else
  echo "FAIL this repository's tree"
  cat "$work/out"
  failed=$((failed + 1))
fi
exit $((failed > 0))
