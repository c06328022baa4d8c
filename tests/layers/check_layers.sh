#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own or
# beside it: the folders of src/ stand on one another in the order below, and
# a folder may include only its own headers, those of the floors beneath it
# and those of the neighbours declared for it on its own floor.
# results/ (the selection and the files that keep it) stands on runtime/;
# map/ and interchange/ stand above the command folders, cohort/ on them;
# platform/ beside program/; analysis/ runs the program; app/ on top.
# proposal/ finds the choices a person would make from the recording alone.
set -u
src="${1:?usage: check_layers.sh SRC_DIR}"

floor() {
  case "$1" in
    runtime) echo 0 ;;
    display | recording | dialogue | results) echo 1 ;;
    detection) echo 2 ;;
    marking | compute | review | proposal) echo 3 ;;
    map | interchange) echo 4 ;;
    cohort) echo 5 ;;
    program | platform) echo 6 ;;
    analysis) echo 7 ;;
    app) echo 8 ;;
    *) echo 99 ;;
  esac
}

# Folders on one floor stay apart, except these pairs: the first may include
# the second (never the reverse, which would make a cycle).
neighbours=(
  "dialogue recording"  # the leads asked for must be channels of the recording
  "results recording"   # a beat's areas are counted in the recording's leads
  "compute marking"     # command c measures between the points command s marks
  "review marking"      # command v draws each beat as command s draws it
  "review compute"      # command v measures each beat as command c does
)

is_neighbour() {
  local pair
  for pair in "${neighbours[@]}"; do
    [ "$pair" = "$1 $2" ] && return 0
  done
  return 1
}

status=0
for file in "$src"/*/*.h "$src"/*/*.cpp; do
  [ -e "$file" ] || continue
  folder=$(basename "$(dirname "$file")")
  own=$(floor "$folder")
  while IFS= read -r included; do
    target=${included%%/*}
    [ "$target" = "$folder" ] && continue
    other=$(floor "$target")
    if [ "$other" -gt "$own" ]; then
      echo "${file#"$src"/} includes $included from a higher floor"
      status=1
    elif [ "$other" -eq "$own" ] && ! is_neighbour "$folder" "$target"; then
      echo "${file#"$src"/} includes $included from $target/, on its own floor but no neighbour"
      status=1
    fi
  done < <(sed -n 's/^#include "\([a-z_]*\/[^"]*\)".*/\1/p' "$file")
done
# The platform is chosen and made by main alone.
if grep -l '#include "platform/' "$src"/*/*.h "$src"/*/*.cpp | grep -v -e '/platform/' -e '/app/'; then
  echo "platform/ included outside platform/ and app/"
  status=1
fi
# Qt stays at the edge.
if grep -l '#include <Q' "$src"/*/*.h "$src"/*/*.cpp | grep -v -e '/platform/' -e '/app/'; then
  echo "Qt included outside platform/ and app/"
  status=1
fi
# The whole program state is seen only by the main loop and main.
if grep -l 'program/program_state.h' "$src"/*/*.h "$src"/*/*.cpp | grep -v -e '/program/' -e '/app/'; then
  echo "program state included below program/"
  status=1
fi
exit $status
