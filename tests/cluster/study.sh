# Shared by the cluster tests: a small study of recordings and its manifest,
# run once locally with `batch`, and the comparison of another run's files
# with the local run's. Sourced; PROGRAM and DEMO_TOOL are set by the test.

skip() {
  echo "SKIP: $*"
  exit 77
}

# make_study FOLDER: three recordings (the demonstration recording and two
# copies) and a manifest analysing them with different choices, one row
# drawing its print pages.
make_study() {
  local folder=$1
  mkdir -p "$folder/rec"
  "$DEMO_TOOL" "$folder/rec" > /dev/null
  rm -f "$folder/rec/demo_beats.csv"
  cp "$folder/rec/demo.dat" "$folder/rec/pat2.dat"
  cp "$folder/rec/demo.dat" "$folder/rec/pat3.dat"
  cat > "$folder/manifest.csv" << 'CSV'
recording,reference_ms,pq_ms,q_ms,t_end_ms,leads,threshold,ratio,print
rec/demo.dat,1387,-71,-46,379,,,,0
rec/pat2.dat,2265,-71,-46,379,"13,23,37",0.9,0.5,0
rec/pat3.dat,1387,-61,-46,379,,,,1
CSV
}

# run_local FOLDER: the study run by `batch` on this machine.
run_local() {
  "$PROGRAM" batch "$1/manifest.csv" --jobs 2 > "$1/batch.out" 2>&1 || {
    cat "$1/batch.out" "$1/batch_summary.csv"
    echo "FAIL: the local batch did not end with every row ok"
    exit 1
  }
}

# The summary without its seconds (a collected summary has none).
summary_without_time() { sed 's/,[0-9.]*$//' "$1"; }

# A record without the time it was written.
record_without_time() { grep -v '"written' "$1"; }

# same_outputs LOCAL OTHER: every file the rows wrote is byte-identical.
same_outputs() {
  local local_run=$1 other=$2 status=0 file name
  for file in "$local_run"/rec/*; do
    name=${file#"$local_run"/}
    if [ ! -e "$other/$name" ]; then
      echo "FAIL: $name missing"
      status=1
    elif [[ $name == *.record.json ]]; then
      cmp <(record_without_time "$file") <(record_without_time "$other/$name") || status=1
    else
      cmp "$file" "$other/$name" || status=1
    fi
  done
  for file in "$other"/rec/*; do
    [ -e "$local_run/${file#"$other"/}" ] || { echo "FAIL: ${file#"$other"/} extra"; status=1; }
  done
  diff <(summary_without_time "$local_run/batch_summary.csv") \
    <(summary_without_time "$other/batch_summary.csv") || status=1
  return $status
}
