#!/usr/bin/env bash
# `cmake --install` into a fresh prefix lays the program out as a desktop
# application that the menus and software centres accept, and the installed
# program runs from there, away from the source and build trees.
#
#   check_install.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build=$2
id=org.beatanalyser.BeatAnalyser
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

cmake --install "$build" --prefix "$prefix" > /dev/null || { echo "FAIL: install" >&2; exit 1; }
share=$prefix/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
docs=$share/doc/beat-analyser

for file in bin/beat_analyser share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/man/man1/beat_analyser.1.gz \
  share/doc/beat-analyser/copyright share/doc/beat-analyser/changelog.gz \
  share/beat-analyser/demo/demo.dat share/beat-analyser/demo/demo_beats.csv; do
  [ -s "$prefix/$file" ] || fail "$file is not installed"
done

# The module lies in a folder of its own under lib/ (lib/ARCH/beat_analyser).
[ -n "$(find "$prefix/lib" -path '*/beat_analyser/beat_analyser_module.so' -size +0)" ] ||
  fail "the module beat_analyser_module.so is not installed"

# The program itself loads no Qt and no matio: they come with the module,
# when a run needs them.
if readelf -d "$prefix/bin/beat_analyser" | grep -E 'NEEDED.*(Qt|matio)'; then
  fail "the program links what only its module should"
fi

# Each PNG icon is as large as its folder says (width and height from IHDR).
for size in 16 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -s "$png" ] || { fail "no ${size}x${size} icon"; continue; }
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
  [ "${width}x${height}" = "${size}x${size}" ] || fail "the ${size}x${size} icon is ${width}x${height}"
done

desktop-file-validate "$desktop" || fail "desktop entry"
appstreamcli validate --no-net "$metainfo" > "$prefix/appstream.txt" ||
  { cat "$prefix/appstream.txt"; fail "AppStream metadata"; }
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"

# The menu entry's command starts the installed program with its data folder
# in the documents folder, made there: run it headless with no input, it ends
# at the first question (status 3).
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
program=${exec_line%% *}
arguments=${exec_line#"$program"}
home=$prefix/home
mkdir "$home"
# shellcheck disable=SC2086 # the entry's arguments, split as the desktop would
(cd "$prefix" && env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
  "$prefix/bin/$program" $arguments --headless < /dev/null > /dev/null 2>&1)
ran=$?
[ "$ran" = 3 ] || fail "the menu entry's command '$exec_line' ended with $ran"
[ -d "$home/Documents/beat-analyser" ] || fail "the menu entry's command made no data folder"

# The metadata and the changelog name the version the program reports.
version=$("$prefix/bin/beat_analyser" --version | sed -n 's/^beat_analyser //p')
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
zcat "$docs/changelog.gz" | sed -n 1p | grep -q "^beat-analyser ($version)" ||
  fail "the changelog does not start with $version"

# The copyright file carries the terms of LICENSE word for word.
diff <(sed -n '/^Permission/,$p' "$source_dir/LICENSE") \
  <(sed -n '/^ Permission/,$p' "$docs/copyright" | sed 's/^ //; s/^\.$//') ||
  fail "the copyright file's terms differ from LICENSE"

# The metadata names no home page or screenshot unless one was given.
if grep -q 'example' "$metainfo"; then fail "metainfo names a placeholder"; fi

# The installed program runs a scripted session on the installed
# demonstration recording as the build tree's does.
run=$prefix/run
mkdir -p "$run/data"
cp "$share/beat-analyser/demo/demo.dat" "$run/data/" || fail "demonstration recording"
(cd "$run" && "$prefix/bin/beat_analyser" --headless --data-dir data \
  < "$source_dir/tests/runs/demo_compute/input.txt" > stdout.txt) || fail "installed session"
cmp "$run/stdout.txt" "$source_dir/tests/runs/demo_compute/expected_stdout.txt" || fail "console"
cmp "$run/data/demost.txt" "$source_dir/tests/runs/demo_compute/expected_demost.txt" ||
  fail "result file"

exit $status
