#!/usr/bin/env bash
# qarn.exe and qarn-render.exe must run on Windows as they are: every
# library each imports is one that Windows itself provides (no MinGW runtime
# such as libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll, and no
# zlib1.dll).
#
#   system_libraries_only.sh OBJDUMP EXE...
set -euo pipefail
objdump=$1
shift
system=(advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll
        shlwapi.dll ucrtbase.dll user32.dll version.dll)
status=0
for exe in "$@"; do
  echo "$exe:"
  mapfile -t imports < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  if ((${#imports[@]} == 0)); then
    echo "no imports found in $exe: not a PE file, or objdump failed" >&2
    exit 1
  fi
  for dll in "${imports[@]}"; do
    if [[ " ${system[*]} " == *" $dll "* || $dll == api-ms-win-* ]]; then
      echo "  $dll"
    else
      echo "  $dll: not a library of Windows itself" >&2
      status=1
    fi
  done
done
exit $status
