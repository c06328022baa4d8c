#!/usr/bin/env bash
# Builds the Debian package from a built tree, checks it with lintian and the
# desktop-entry and AppStream validators, installs it, runs the installed
# program (--version, then a headless session on the demonstration
# recording it installs, whose console and result file must be those of the scripted
# run tests/runs/demo_compute) and removes it again. Needs root (apt-get).
#
#   tools/check_package.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
build=$(cd "${1:-build}" && pwd)

work=$(mktemp -d)
installed=no
cleanup() {
  if [ "$installed" = yes ]; then apt-get remove -y beat-analyser > /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== building the package"
rm -f "$build"/beat-analyser_*.deb
cmake --build "$build" -j2
(cd "$build" && cpack -G DEB > "$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
debs=("$build"/beat-analyser_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "no single package in $build" >&2
  exit 1
fi
deb=${debs[0]}
echo "$deb"

echo "== lintian"
# Errors and warnings fail; what lintian gives only as information (the
# hardening flags a Debian build would add) is shown.
lintian --fail-on error,warning --display-info "$deb"

echo "== desktop entry and AppStream metadata of the package"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml

echo "== installing"
export DEBIAN_FRONTEND=noninteractive
installed=yes
apt-get install -y "$deb"
test "$(command -v beat_analyser)" = /usr/bin/beat_analyser
/usr/bin/beat_analyser --version
man -w beat_analyser > /dev/null

echo "== a headless session of the installed program"
mkdir -p "$work/session/data"
cp /usr/share/beat-analyser/demo/demo.dat "$work/session/data/"
(cd "$work/session" && /usr/bin/beat_analyser --headless --data-dir data \
  < "$source_dir/tests/runs/demo_compute/input.txt" > stdout.txt)
cmp "$work/session/stdout.txt" "$source_dir/tests/runs/demo_compute/expected_stdout.txt"
cmp "$work/session/data/demost.txt" "$source_dir/tests/runs/demo_compute/expected_demost.txt"

echo "== removing"
apt-get remove -y beat-analyser
installed=no
test ! -e /usr/bin/beat_analyser
echo "package checked: $(basename "$deb")"
