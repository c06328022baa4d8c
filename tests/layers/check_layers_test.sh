#!/usr/bin/env bash
# The layer check on small made-up source trees: each case is one include
# and whether the check must pass it.
set -u
check="${1:?usage: check_layers_test.sh CHECK_LAYERS_SH}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# label | including file | included header | expected status
cases=(
  "own folder|compute/a.cpp|compute/b.h|0"
  "a lower floor|compute/a.cpp|detection/b.h|0"
  "a higher floor|detection/a.cpp|compute/b.h|1"
  "a declared neighbour|review/a.cpp|compute/b.h|0"
  "the neighbour the other way|compute/a.cpp|review/b.h|1"
  "same floor, no neighbour|display/a.cpp|dialogue/b.h|1"
  "results beside recording|results/a.h|recording/b.h|0"
  "recording beside results|recording/a.h|results/b.h|1"
  "Qt below the platform|map/a.cpp|QWidget|1"
)

failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r label file header expected <<<"$row"
  rm -rf "$work/src"
  mkdir -p "$work/src/$(dirname "$file")" "$work/src/$(dirname "$header")"
  if [ "$header" = "QWidget" ]; then
    echo "#include <QWidget>" >"$work/src/$file"
  else
    echo "#include \"$header\"" >"$work/src/$file"
    touch "$work/src/$header"
  fi
  bash "$check" "$work/src" >/dev/null 2>&1
  status=$?
  [ "$status" -ne 0 ] && status=1
  if [ "$status" -ne "$expected" ]; then
    echo "FAIL: $label: status $status, expected $expected"
    failed=1
  fi
done
exit $failed
