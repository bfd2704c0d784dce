#!/bin/bash
# The job array script without a cluster: each task is run as Slurm runs it,
# with the SLURM_ARRAY_* variables that Slurm sets for the array's shape, and
# the frames written are exactly those of the tasks' ranges, byte for byte
# those of one whole run.
#   sbatch_script_test.sh QARN_RENDER ZOOM_FRAMES_SBATCH
set -euo pipefail
render=$1 script=$2
work=$(mktemp -d /tmp/qarn-sbatch-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$render" --at -0.75 0.1 --level 10 --save view.qarn
"$render" view.qarn --size 48x28 --zoom-frames 19 whole

# Runs the tasks of one array (ID MIN MAX COUNT STEP, then the IDs) into DIR.
array() {
  local dir=$1 min=$2 max=$3 count=$4 step=$5 id
  shift 5
  for id in "$@"; do
    SLURM_ARRAY_TASK_ID=$id SLURM_ARRAY_TASK_MIN=$min SLURM_ARRAY_TASK_MAX=$max SLURM_ARRAY_TASK_COUNT=$count \
      SLURM_ARRAY_TASK_STEP=$step SLURM_ARRAY_JOB_ID=1 QARN_RENDER=$render \
      bash "$script" --ranges 10 view.qarn 19 "$dir" --size 48x28
  done
}
# The frames in DIR are these, and each is the whole run's.
expect() {
  local dir=$1 k
  shift
  local want=() got
  for k in "$@"; do want+=("$(printf 'frame-%04d.png' "$k")"); done
  got=$(ls "$dir" | tr '\n' ' ')
  [[ $got == "${want[*]} " ]] || { echo "$dir holds $got, not ${want[*]}"; exit 1; }
  for k in "${want[@]}"; do cmp "whole/$k" "$dir/$k"; done
}

# --array=7: range 7 of 10 alone.
array rerun 7 7 1 1 7
expect rerun 14 15
# --array=0-9:3: ranges 0, 3, 6 and 9.
array stepped 0 9 4 3 0 3 6 9
expect stepped 0 1 6 7 12 13 18 19

# An ID outside the ranges, or no --ranges, fails with one clear line.
if array outside 0 10 11 1 10 2>outside.txt; then echo "task 10 of --ranges 10 ran"; exit 1; fi
grep -q "outside the ranges 0 to 9" outside.txt || { cat outside.txt; exit 1; }
[[ $(wc -l <outside.txt) -eq 1 && ! -e outside ]] || { cat outside.txt; exit 1; }
if SLURM_ARRAY_TASK_ID=0 bash "$script" view.qarn 19 none 2>usage.txt; then echo "ran without --ranges"; exit 1; fi
grep -q "usage: sbatch --array=IDS zoom_frames.sbatch --ranges R" usage.txt || { cat usage.txt; exit 1; }

# A deep view as text: the tasks share one reference orbit in the folder,
# and the frames are one whole run's.
"$render" --at -0.743643887037158704752191506114774 0.131825904205311970493132056385139 --level 70 \
  --depth 3000 --info >deep.txt
"$render" deep.txt --size 24x14 --zoom-frames 4 deepwhole
for id in 1 0; do
  SLURM_ARRAY_TASK_ID=$id QARN_RENDER=$render bash "$script" --ranges 2 deep.txt 4 deep --size 24x14
  [[ -s deep/reference.orbit ]] || { echo "task $id shared no reference orbit"; exit 1; }
done
for k in 0000 0001 0002 0003 0004; do cmp "deepwhole/frame-$k.png" "deep/frame-$k.png"; done
echo "--array=7 and --array=0-9:3 render exactly their ranges of 10; a deep view's tasks share one orbit"
