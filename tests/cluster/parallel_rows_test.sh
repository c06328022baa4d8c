#!/usr/bin/env bash
# The rows of a manifest run one by one through GNU parallel (batch --row K),
# the summary collected afterwards: every file byte-identical to a local
# batch of the same manifest.
# Usage: parallel_rows_test.sh PROGRAM DEMO_TOOL
set -euo pipefail
PROGRAM=${1:?usage: parallel_rows_test.sh PROGRAM DEMO_TOOL}
DEMO_TOOL=${2:?usage: parallel_rows_test.sh PROGRAM DEMO_TOOL}
. "$(dirname "$0")/study.sh"
command -v parallel > /dev/null || skip "GNU parallel is not installed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_study "$work/local"
make_study "$work/parallel"
run_local "$work/local"

rows=$(($(wc -l < "$work/parallel/manifest.csv") - 1))
seq "$rows" | parallel --will-cite -j 2 "$PROGRAM" batch "$work/parallel/manifest.csv" --row {}
"$PROGRAM" batch "$work/parallel/manifest.csv" --collect
same_outputs "$work/local" "$work/parallel"
echo "PASS: $rows rows through GNU parallel, byte-identical to the local batch"
