#!/usr/bin/env bash
# Large prints and zoom frames of qarn-render, beside the one-pixel-at-a-time
# reference loop and the renderer's full pass, in the same run:
#   - a 16384 x 16384 print (--scale 32) of the start-up view at depth 512:
#     time, peak memory, iterations;
#   - a 32768 x 32768 print (--scale 64) of a view where every point escapes at
#     once: the peak memory of the largest print;
#   - 100 zoom frames (101 pictures) to a level-50 view at depth 4096: time per
#     frame against the reference loop's time for one 512 x 512 view there.
# Not part of scripts/test. Usage: bench/print_bench.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
render=$build/bin/qarn-render
bench=$build/bin/render_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) hardware threads"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# seconds and peak resident KiB of a command, from GNU time
timed() { /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null; cat "$work/time"; }

# The reference loop and the fast pass (all threads) for one 512 x 512 view:
# the start-up view at depth 512 and the level-50 view at depth 4096.
"$bench" --benchmark_filter='^FullPass(Reference/(0/1|4/8)|/(0|4)/0/0)/min_time' --benchmark_format=json \
  --benchmark_out="$work/bench.json" --benchmark_out_format=json >/dev/null 2>&1
python3 - "$work/bench.json" <<'PY'
import json, sys
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    name = b["name"].split("/min_time")[0]
    # (the counter "iterations", every escape test of the pass, comes after
    # the library's own field of that name)
    # (view_ms: the whole view's time, for a reference run on a sample of rows
    # scaled by the iterations)
    print(f"  {name:24s} {b['view_ms']:9.1f} ms per 512 x 512 view, {b['iterations'] / 1e6:8.1f} M iterations, "
          f"{b['view_ms'] * 1e6 / b['iterations']:.3f} ns per iteration")
PY

echo "16384 x 16384 print of the start-up view, depth 512 (PNG):"
read -r seconds kib < <(timed "$render" --scale 32 -o "$work/print.png")
echo "  $seconds s, peak resident $((kib / 1024)) MiB, PNG $(($(stat -c %s "$work/print.png") / 1048576)) MiB"
rm -f "$work/print.png"
# Its iterations (every escape test; a point that never escapes takes 512),
# from the counts of a second run.
"$render" --scale 32 --info --counts "$work/print.u32" >/dev/null
python3 - "$work/print.u32" 512 "$seconds" <<'PY'
import array, sys
total = zeros = pixels = 0
with open(sys.argv[1], "rb") as f:
    while chunk := f.read(1 << 26):
        a = array.array("I", chunk)
        total += sum(a); zeros += a.count(0); pixels += len(a)
iterations = total + zeros * int(sys.argv[2])
seconds = float(sys.argv[3])
print(f"  {iterations / 1e9:.2f} G iterations, {pixels / seconds / 1e6:.1f} M pixels/s, "
      f"{seconds * 1e9 / iterations:.3f} ns per iteration")
PY
rm -f "$work/print.u32"

echo "32768 x 32768 print where every point escapes at the first test (PNG):"
read -r seconds kib < <(timed "$render" --origin 8 8 --level 1 --scale 64 -o "$work/large.png")
echo "  $seconds s, peak resident $((kib / 1024)) MiB"
rm -f "$work/large.png"

view=(--at -0.7436438870371587 0.1318259042053119 --level 50 --depth 4096)
echo "one 512 x 512 picture of the level-50 view, depth 4096 (PNG):"
read -r seconds kib < <(timed "$render" "${view[@]}" -o "$work/level50.png")
echo "  $seconds s"
echo "100 zoom frames (101 pictures of 512 x 512) to the level-50 view, depth 4096:"
read -r seconds kib < <(timed "$render" "${view[@]}" --zoom-frames 100 "$work/frames")
python3 -c "print(f'  {float(\"$seconds\"):.1f} s, {float(\"$seconds\") / 101 * 1000:.0f} ms per frame')"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
