#!/usr/bin/env bash
# The manual page keeps step with the program: every option of its --help,
# every verb it lists with every option of that verb's --help, and the
# sections written by hand; man renders it without a warning.
#
#   check_man_page.sh PROGRAM PAGE
set -uo pipefail
program=$1
page=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

# Wide enough that no line is broken inside an option.
LC_ALL=C.UTF-8 MANWIDTH=1000 man --warnings -E UTF-8 -l "$page" > "$work/page.txt" 2> "$work/warnings.txt"
[ -s "$work/page.txt" ] || fail "man shows nothing"
[ -s "$work/warnings.txt" ] && { cat "$work/warnings.txt" >&2; fail "man warns"; }

options_of() { "$program" "$@" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
verbs=$("$program" --help | sed -n '/^Verbs/,/^$/s/^  \([a-z][a-z0-9-]*\)  .*/\1/p')
[ -n "$verbs" ] || fail "no verbs in the paragraph Verbs of --help"

for option in $(options_of); do
  grep -q -- "$option" "$work/page.txt" || fail "$option is not in the page"
done
for verb in $verbs; do
  grep -qx "   beat_analyser $verb" "$work/page.txt" || fail "the verb $verb has no subsection"
  for option in $(options_of "$verb"); do
    sed -n "/^   beat_analyser $verb\$/,/^   beat_analyser /p" "$work/page.txt" | grep -- "$option" > /dev/null ||
      fail "$option of $verb is not in its subsection"
  done
done
for section in SYNOPSIS DIALOGUE "HEADLESS PROTOCOL" VERBS FILES EXAMPLES COPYRIGHT; do
  grep -qx "$section" "$work/page.txt" || fail "no section $section"
done

exit $status
