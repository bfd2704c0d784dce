#!/bin/bash
# Starts a one-node Slurm cluster (munged, slurmctld, slurmd) of its own in a
# temporary folder, runs the zoom-frame job array on it and checks that the
# frames equal one whole run's, byte for byte; then stops the daemons.
# Exit 77 (skipped) where Slurm is missing or this is not root.
#   slurm_array_test.sh QARN_RENDER ZOOM_FRAMES_SBATCH
set -euo pipefail
render=$1 script=$2
for tool in munged slurmctld slurmd sbatch; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[[ $(id -u) -eq 0 ]] || { echo "skipped: the daemons need root"; exit 77; }

work=$(mktemp -d /tmp/qarn-slurm-XXXXXX)
stop() {
  local pid
  for pid in "$work"/slurmd.pid "$work"/slurmctld.pid "$work"/munged.pid; do
    [[ -s $pid ]] && kill "$(cat "$pid")" 2>/dev/null || true
  done
  sleep 1
  rm -rf "$work"
}
trap stop EXIT
chmod 755 "$work"  # munged insists that every folder above its socket is open to all
mkdir -p "$work"/{state,spool,munge}
# A key of its own; ports of its own, so that test runs side by side do not meet.
dd if=/dev/urandom of="$work/munge.key" bs=128 count=1 status=none
chmod 600 "$work/munge.key"
port=$((20000 + ($$ % 10000) * 2))
host=$(hostname)
cat >"$work/slurm.conf" <<CONF
ClusterName=qarntest
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge/socket
CredType=cred/munge
SlurmctldPort=$port
SlurmdPort=$((port + 1))
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=10 State=UP
CONF
export SLURM_CONF=$work/slurm.conf
munged --socket="$work/munge/socket" --pid-file="$work/munged.pid" --log-file="$work/munged.log" \
  --seed-file="$work/munge.seed" --key-file="$work/munge.key"
slurmctld -i
slurmd
for ((i = 0; i < 100; i++)); do
  sinfo -h -o %t 2>/dev/null | grep -qx idle && break
  sleep 0.2
done
sinfo -h -o %t | grep -qx idle || { echo "the node did not come up"; cat "$work"/*.log; exit 1; }

cd "$work"
frames=(--at -0.75 0.1 --level 10 --size 96x54)
"$render" "${frames[@]}" --zoom-frames 12 whole
# The view as a coordinate file, as the script takes it.
"$render" --at -0.75 0.1 --level 10 --save view.qarn
job=$(QARN_RENDER=$render sbatch --parsable --array=0-3 -o "$work/task-%a.out" "$script" --ranges 4 view.qarn 12 shared \
  --size 96x54)
# (sbatch --wait polls only every few seconds)
for ((i = 0; i < 600; i++)); do
  [[ -z $(squeue -h -j "$job" 2>/dev/null) ]] && break
  sleep 0.1
done
cat task-*.out
for k in $(seq -f %04g 0 12); do
  cmp "whole/frame-$k.png" "shared/frame-$k.png"
done
[[ $(ls shared | wc -l) -eq 13 ]]
echo "13 frames from 4 array tasks equal one whole run's"
