#!/usr/bin/env bash
# qarn-render.exe in a console as a user sees it: Wine makes one of the
# terminal that script(1) gives it. The progress bar must be drawn there,
# and Ctrl-C typed at it must stop the run, leaving no file.
#
#   console_keys.sh QARN_RENDER_EXE WORK_DIR
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
log=$work/console.log
keys=$work/keys
mkfifo "$keys"
# Minutes of computing on any machine: it is stopped long before.
command=$(printf '%q ' "${QARN_WINE:-wine}" "$exe" --threads 1 --size 16384x16384 --supersample 4 -o "$work/très grand.png")
script -qfec "$command" "$log" <"$keys" >/dev/null 2>&1 &
pid=$!
exec 9>"$keys"  # the terminal's keyboard, open until the end
drawn=false
for _ in $(seq 1 600); do
  if tr -d '\033' <"$log" | grep -q 'left'; then drawn=true; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
status=0
if $drawn; then
  echo "the progress bar is drawn in the console"
else
  echo "no progress bar in the console:"; cat -v "$log"; status=1
fi
printf '\003' >&9  # Ctrl-C
stopped=false
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || { stopped=true; break; }
  sleep 0.1
done
exec 9>&-
if ! $stopped; then
  echo "Ctrl-C did not stop the run"; kill "$pid" 2>/dev/null || true; status=1
fi
wait "$pid" 2>/dev/null || true
left=$(find "$work" -name 'très grand*')
if [[ -n $left ]]; then
  echo "Ctrl-C left: $left"; status=1
elif $stopped; then
  echo "Ctrl-C stopped the run and left no file"
fi
exit $status
