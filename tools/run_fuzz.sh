#!/usr/bin/env bash
# Builds every fuzz target of tests/fuzz with clang and libFuzzer (folder
# build-fuzz) and runs each for SECONDS (default 30), starting from its
# inputs in tests/fuzz/corpus/<name>/. Inputs found on the way are kept in
# build-fuzz/corpus/<name>/, so a later run goes on from them; the inputs in
# the source tree are never changed. Fails on the first crash, sanitizer
# report, leak or time-out; the input that caused it is left in
# build-fuzz/findings/. Prints the executions of each target.
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
status=0
for source in tests/fuzz/*_fuzz.cpp; do
  name="$(basename "$source" .cpp)"
  starting="tests/fuzz/corpus/${name%_fuzz}"
  work="$build/corpus/${name%_fuzz}"
  mkdir -p "$work" "$starting"
  log="$build/$name.log"
  # A single input may take at most 10 s; memory at most 2 GiB.
  if "$build/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
      "$work" "$starting" >"$log" 2>&1; then
    result=ok
  else
    result=FINDING
    status=1
  fi
  executions="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')"
  echo "$name: $result, $executions executions in ${seconds} s"
  if [ "$result" != ok ]; then
    grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -20 || true
  fi
done
exit "$status"
