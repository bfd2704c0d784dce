#!/usr/bin/env bash
# Large prints and zoom frames of qarn-render, beside the one-pixel-at-a-time
# reference loop and the renderer's full pass, in the same run:
#   - the processor, its clock measured by a chain of dependent integer
#     multiplications (three cycles each), and the load of the machine before and after;
#   - a 16384 x 16384 print (--scale 32) of the start-up view at depth 512:
#     time, iterations, peak memory, PNG size, and the writing's share of the
#     processor time (colouring, filtering, compressing);
#   - a 65536 x 16384 print of a view where nearly every point escapes at
#     once: the peak memory of a print of the widest rows;
#   - zoom frames of 1920 x 1080 to a level-50 view at depth 4096: time and
#     escape tests per frame, and the same frames as 2 GNU parallel job slots
#     of 1 thread each against one process of 2 threads.
#   - the whole set at 1920 x 1080, depth 512, one thread, coloured by counts
#     and smooth (by mu): processor time and cycles, medians of 14 runs each
#     taken in turn on one core, and their ratio.
# By default the frames are a subset, every tenth of the 100 (frames 0, 10,
# ... 100, 11 pictures; a few minutes in all). --all renders all 101 frames
# both ways (about 20 minutes on 2 cores).
# --whole-set runs the clock and the whole set's section alone.
# Not part of scripts/test. Usage: bench/print_bench.sh [--all|--whole-set] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
all=0
whole=0
if [[ ${1:-} == --all ]]; then all=1; shift; fi
if [[ ${1:-} == --whole-set ]]; then whole=1; shift; fi
build=${1:-build/native}
render=$(realpath "$build/bin/qarn-render")
bench=$build/bin/render_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The clock: 10^9 dependent multiplications of three cycles each (the latency
# of a 64-bit imul on every x86-64 core of the last fifteen years; additions
# of a constant do not serve, since some cores fold chains of them at
# renaming and run several a cycle), timed by the thread's own processor time
# (so that other programs' turns on the core do not count); the best of three.
cat >"$work/clock.c" <<'C'
#include <stdio.h>
#include <time.h>
int main(void) {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        struct timespec a, b;
        unsigned long x = 3, n = 100000000UL;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        __asm__ volatile("1:\n\timul %0,%0\n\timul %0,%0\n\timul %0,%0\n\timul %0,%0\n\timul %0,%0\n\t"
                         "imul %0,%0\n\timul %0,%0\n\timul %0,%0\n\timul %0,%0\n\timul %0,%0\n\t"
                         "dec %1\n\tjnz 1b" : "+r"(x), "+r"(n));
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        const double hz = 3e9 / ((b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) * 1e-9);
        if (hz > best) best = hz;
    }
    printf("%.2f GHz\n", best / 1e9);
    return 0;
}
C
cc -O1 -o "$work/clock" "$work/clock.c"
load() { echo "load average $(cut -d' ' -f1-3 /proc/loadavg), $(ps -eo stat= | grep -c '^R') processes running"; }

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), family $(lscpu | sed -n 's/^CPU family: *//p'), $(nproc) hardware threads"
echo "clock measured: $("$work/clock")"
echo "before: $(load)"

# The whole set, one thread: processor time (perf's task clock, the PNG
# writer's thread included) of counts and smooth colouring, 14 runs of each
# taken in turn, medians. Each run is held to the last core (its writer's
# thread too): free to move, runs of the same picture took up to 30 % longer
# on a virtual machine whose host was busy, held they repeat within 1 %.
ghz=$("$work/clock" | cut -d' ' -f1)
core=$(($(nproc) - 1))
: >"$work/whole.counts"
: >"$work/whole.smooth"
for _ in $(seq 14); do
  for colouring in counts smooth; do
    perf stat -x, -e task-clock -o "$work/time" taskset -c "$core" "$render" --at -0.5 0 --level 1 --scale 2 \
      --size 1920x1080 --depth 512 --threads 1 --colouring "$colouring" -o "$work/whole.png" --stats \
      2>"$work/stats" >/dev/null
    awk -F, '/task-clock/ {print $1 / 1000}' "$work/time" >>"$work/whole.$colouring"
  done
done
tests=$(grep -o '[0-9]* escape tests' "$work/stats" | cut -d' ' -f1)
echo "the whole set, 1920 x 1080, depth 512, one thread held to core $core (medians of 14 processor times, in turn):"
python3 - "$work/whole.counts" "$work/whole.smooth" "$tests" "$ghz" <<'PY'
import statistics, sys
counts, smooth = (statistics.median(float(x) for x in open(f)) for f in sys.argv[1:3])
tests, ghz = int(sys.argv[3]), float(sys.argv[4])
for name, t in (("counts", counts), ("smooth", smooth)):
    print(f"  {name:6s} {t:.3f} s, {t * ghz:.3f} G cycles at {ghz:.2f} GHz, {tests / 1e6:.1f} M escape tests")
print(f"  smooth / counts: {smooth / counts:.3f}")
PY
rm -f "$work/whole.png"
if ((whole)); then echo "after: $(load)"; exit 0; fi

# seconds and peak resident KiB of a command, from GNU time; its standard
# error (the --stats lines) goes to $work/stats
timed() { /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stats"; cat "$work/time"; }

# The reference loop and the fast pass (all threads) for one 512 x 512 view:
# the start-up view at depth 512 and the level-50 view at depth 4096.
"$bench" --benchmark_filter='^FullPass(Reference/(0/1|4/8)|/(0|4)/0/0)/min_time' --benchmark_format=json \
  --benchmark_out="$work/bench.json" --benchmark_out_format=json >/dev/null 2>&1
python3 - "$work/bench.json" >"$work/pass.txt" <<'PY'
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
cat "$work/pass.txt"

echo "16384 x 16384 print of the start-up view, depth 512 (PNG):"
read -r seconds kib < <(timed "$render" --scale 32 -o "$work/print.png" --stats)
python3 - "$seconds" "$kib" "$(stat -c %s "$work/print.png")" "$work/stats" <<'PY'
import re, sys
seconds, kib, size = float(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
text = open(sys.argv[4]).read()
tests = int(re.search(r"(\d+) escape tests", text).group(1))
writing, total = map(float, re.search(r"writing: ([\d.]+) s of ([\d.]+) s", text).groups())
print(f"  {seconds} s, {16384 * 16384 / seconds / 1e6:.1f} M pixels/s, {tests / 1e9:.2f} G escape tests, "
      f"peak resident {kib // 1024} MiB, PNG {size / 1048576:.1f} MiB")
print(f"  writing (colouring, filtering, compressing, on its own thread): {writing:.2f} s of {total:.2f} s "
      f"processor time, {100 * writing / total:.1f} %; {writing * 1e9 / 16384 ** 2:.2f} ns per pixel")
PY
rm -f "$work/print.png"

echo "65536 x 16384 print where nearly every point escapes at the first test (PNG):"
read -r seconds kib < <(timed "$render" --origin 8 8 --level 1 --size 65536x16384 -o "$work/wide.png")
echo "  $seconds s, peak resident $((kib / 1024)) MiB"
rm -f "$work/wide.png"

view=(--at -0.7436438870371587 0.1318259042053119 --level 50 --depth 4096 --size 1920x1080)
# Deepest first, in both runs: the costly frames start early, and the cheap
# ones fill the job slots at the end.
if ((all)); then frames=($(seq 100 -1 0)); else frames=($(seq 100 -10 0)); fi
echo "zoom frames of 1920 x 1080 to the level-50 view, depth 4096, frames 100 down to 0 by $((all ? 1 : 10)):"
# One process of 2 threads for each frame (a process per frame, as in the
# parallel run).
start=$(date +%s.%N)
for k in "${frames[@]}"; do "$render" "${view[@]}" --zoom-frames 100 "$work/one" --frames "$k-$k" --stats 2>>"$work/frames"; done
one=$(python3 -c "import time; print(time.time() - $start)")
python3 - "$work/frames" <<'PY'
import re, sys
rows = re.findall(r"frame-(\d+)\.png: .*?([\d.]+) s of processor time, (\d+) escape tests", open(sys.argv[1]).read())
for frame, cpu, tests in sorted(rows, key=lambda row: int(row[0])):
    print(f"  frame {int(frame):3d}: {float(cpu):7.2f} s of processor time, {int(tests) / 1e6:9.1f} M escape tests")
PY
echo "  2 threads, one process a frame: $(printf %.1f "$one") s, $(python3 -c "print(f'{$one / ${#frames[@]}:.2f}')") s per frame"
start=$(date +%s.%N)
parallel --will-cite -j 2 "$render" "${view[@]}" --zoom-frames 100 "$work/two" --frames {}-{} --threads 1 ::: "${frames[@]}"
two=$(python3 -c "import time; print(time.time() - $start)")
echo "  2 GNU parallel job slots of 1 thread: $(printf %.1f "$two") s ($(python3 -c "print(f'{100 * ($two / $one - 1):+.1f}')") %)"
differ=()
for k in "${frames[@]}"; do
  name=$(printf 'frame-%04d.png' "$k")
  cmp -s "$work/one/$name" "$work/two/$name" || differ+=("$k")
done
if ((${#differ[@]} == 0)); then
  echo "  the frames of both runs are byte for byte the same"
else
  kept=$(mktemp -d /tmp/print_bench-frames.XXXXXX)
  mv "$work/one" "$work/two" "$kept/"
  echo "  FRAMES THAT DIFFER between the runs (or are missing from one): ${differ[*]}; both runs kept in $kept"
fi
echo "after: $(load)"
echo "clock measured: $("$work/clock")"
