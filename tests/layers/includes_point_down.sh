#!/usr/bin/env bash
# The folder tree is the dependency picture: each folder includes only the
# folders below it, and nothing below the shell includes <windows.h>.
# Usage: includes_point_down.sh SRC_DIR
set -u
src=$1
status=0
# forbid FOLDER PATTERN WHAT: no file of FOLDER includes a header matching PATTERN.
forbid() {
  local hits
  hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($2)" "$src/$1" 2>/dev/null)
  if [[ -n $hits ]]; then
    echo "$1/ includes $3:"
    echo "$hits"
    status=1
  fi
}
for lower in engine colour persistence; do
  forbid "$lower" 'desktop/|viewer/|shell/' 'what lies above it'
done
forbid desktop 'engine/|colour/|persistence/|viewer/|shell/' 'another layer: the interface stands alone'
forbid viewer 'shell/' 'the shell'
for portable in engine colour persistence desktop viewer; do
  forbid "$portable" 'windows\.h' '<windows.h>'
done
exit $status
