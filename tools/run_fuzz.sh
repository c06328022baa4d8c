#!/usr/bin/env bash
# Builds every fuzz target of tests/fuzz with clang and libFuzzer (folder
# build-fuzz) and runs each for SECONDS (default 30), starting from its
# inputs in tests/fuzz/corpus/<name>/. Inputs found on the way are kept in
# build-fuzz/corpus/<name>/, so a later run goes on from them; the inputs in
# the source tree are never changed. Fails on the first crash, sanitizer
# report, leak or time-out; the input that caused it is left in
# build-fuzz/findings/. Prints the executions of each target. Targets run
# side by side, one a processor.
#
#   tools/run_fuzz.sh 15        # what CI runs
#   tools/run_fuzz.sh 3600      # an hour per target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DBEAT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

mkdir -p "$build/findings"

# One target's run; its verdict goes to $build/NAME.result.
run_one() {
  local name="$1"
  local starting="tests/fuzz/corpus/${name%_fuzz}"
  local work="$build/corpus/${name%_fuzz}"
  mkdir -p "$work" "$starting"
  # A single input may take at most 10 s; memory at most 2 GiB.
  if "$build/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
      "$work" "$starting" >"$build/$name.log" 2>&1; then
    echo ok >"$build/$name.result"
  else
    echo FINDING >"$build/$name.result"
  fi
}

# As many targets at a time as there are processors (FUZZ_JOBS to choose):
# each runs its full time alone on one.
parallel_runs="${FUZZ_JOBS:-$(nproc)}"
names=()
for source in tests/fuzz/*_fuzz.cpp; do
  name="$(basename "$source" .cpp)"
  names+=("$name")
  rm -f "$build/$name.result"
  while [ "$(jobs -rp | wc -l)" -ge "$parallel_runs" ]; do wait -n || true; done
  run_one "$name" &
done
wait

status=0
for name in "${names[@]}"; do
  log="$build/$name.log"
  result="$(cat "$build/$name.result" 2>/dev/null || echo FINDING)"
  [ "$result" = ok ] || status=1
  executions="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')"
  echo "$name: $result, $executions executions in ${seconds} s"
  if [ "$result" != ok ]; then
    grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -20 || true
  fi
done
exit "$status"
