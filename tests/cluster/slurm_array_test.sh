#!/usr/bin/env bash
# The rows of a manifest as a Slurm array job (sbatch --array=1-N, one row a
# task, batch --row K) on a one-node cluster the test starts itself: its own
# munge key and socket, slurmctld and slurmd on their own ports, all state in
# a temporary folder, every daemon stopped by its pid at the end. Every file
# must be byte-identical to a local batch of the same manifest.
# Usage: slurm_array_test.sh PROGRAM DEMO_TOOL
set -euo pipefail
PROGRAM=${1:?usage: slurm_array_test.sh PROGRAM DEMO_TOOL}
DEMO_TOOL=${2:?usage: slurm_array_test.sh PROGRAM DEMO_TOOL}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/study.sh"
[ "$(id -u)" -eq 0 ] || skip "the Slurm daemons of this test run as root only"
for tool in munged slurmctld slurmd sbatch sinfo; do
  command -v "$tool" > /dev/null || PATH=$PATH:/usr/sbin
  command -v "$tool" > /dev/null || skip "$tool is not installed (Debian packages slurm-wlm, munge)"
done
ctld_port=${BEAT_SLURMCTLD_PORT:-16817}
slurmd_port=${BEAT_SLURMD_PORT:-16818}

state=$(mktemp -d)
chmod 700 "$state"
stop_daemons() {
  local name pid
  for name in slurmd slurmctld munged; do
    [ -s "$state/$name.pid" ] || continue
    pid=$(cat "$state/$name.pid")
    kill "$pid" 2> /dev/null || continue
    for _ in $(seq 50); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
  done
}
trap 'stop_daemons; rm -rf "$state"' EXIT

mkdir "$state/slurmctld" "$state/slurmd"
: > "$state/plugstack.conf"
sed -e "s|@STATE@|$state|g" -e "s|@HOST@|$(hostname -s)|g" -e "s|@CTLD_PORT@|$ctld_port|g" \
  -e "s|@SLURMD_PORT@|$slurmd_port|g" -e "s|@CPUS@|$(nproc)|g" \
  "$here/slurm.conf.in" > "$state/slurm.conf"
export SLURM_CONF=$state/slurm.conf
dd if=/dev/urandom of="$state/munge.key" bs=1024 count=1 status=none
chmod 400 "$state/munge.key"
munged --force --key-file="$state/munge.key" --socket="$state/munge.socket" \
  --pid-file="$state/munged.pid" --log-file="$state/munged.log" --seed-file="$state/munge.seed"
slurmctld -i -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF"
for _ in $(seq 100); do
  sinfo -h -o %t 2> /dev/null | grep -q idle && break
  sleep 0.2
done
sinfo -h -o %t | grep -q idle || {
  tail -n 20 "$state/slurmctld.log" "$state/slurmd.log"
  echo "FAIL: the one-node cluster did not come up"
  exit 1
}

make_study "$state/local"
make_study "$state/cluster"
run_local "$state/local"

rows=$(($(wc -l < "$state/cluster/manifest.csv") - 1))
sbatch --quiet --wait --array="1-$rows" --output="$state/row-%a.out" \
  --wrap="'$PROGRAM' batch '$state/cluster/manifest.csv' --row \$SLURM_ARRAY_TASK_ID" || {
  cat "$state"/row-*.out
  echo "FAIL: the array job failed"
  exit 1
}
"$PROGRAM" batch "$state/cluster/manifest.csv" --collect
same_outputs "$state/local" "$state/cluster"
echo "PASS: $rows rows as a Slurm array job, byte-identical to the local batch"
