#!/usr/bin/env bash
# Starts qarn.exe with Wine's error channel on, closes it with Esc as a user
# would, and fails if Wine reported any error or the exit code is not 0.
# Needs DISPLAY and the Wine environment (scripts/test provides both).
set -euo pipefail
exe=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT

WINEDEBUG=err+all "${QARN_WINE:-wine}" "$exe" >"$log" 2>&1 &
pid=$!
window=""
for _ in $(seq 1 150); do
  window=$(xdotool search --name '^The Mandelbrot Set$' 2>/dev/null | head -n 1 || true)
  [[ -n $window ]] && xwininfo -id "$window" 2>/dev/null | grep -q IsViewable && break
  window=""
  sleep 0.2
done
if [[ -z $window ]]; then
  echo "the window did not appear"; kill "$pid" 2>/dev/null || true; cat "$log"; exit 1
fi
sleep 1  # the first picture
xdotool windowfocus --sync "$window" key Escape
xdotool keyup Escape 2>/dev/null || true  # the release can be lost when the window closes
status=0
wait "$pid" || status=$?
if grep -q ':err:' "$log"; then
  echo "Wine reported errors:"; grep ':err:' "$log"; exit 1
fi
if [[ $status -ne 0 ]]; then
  echo "exit code $status"; cat "$log"; exit 1
fi
echo "started and closed cleanly: no errors, exit code 0"
