#!/usr/bin/env bash
# Installs Tavoka into a temporary prefix and checks that every file lands where the program and
# desktops look for it; then starts the installed program from an unrelated directory on a copy
# of the installed example under a virtual X server. It must find its skin under
# <prefix>/share/tavoka, open the project with its sound, and exit cleanly when its window is
# closed.
# Usage: install.sh PATH/TO/BUILD/tavoka   (exit 77 = skipped: no virtual X server)
set -u
binary=${1:?usage: install.sh PATH/TO/BUILD/tavoka}
build=$(cd "$(dirname "$binary")" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
xclose=${XCLOSE:-$build/tests/xclose}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
  echo "FAILED: $*"
  exit 1
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install"; }

# The files and their places.
[ -x "$prefix/bin/tavoka" ] || fail "bin/tavoka is missing"
[ "$(ls "$prefix/bin")" = "tavoka" ] || fail "bin/ holds more than the program: $(ls "$prefix/bin")"
for tga in "$source"/skin/*.tga; do
  cmp -s "$tga" "$prefix/share/tavoka/skin/$(basename "$tga")" ||
    fail "skin image $(basename "$tga") is not installed"
done
diff -r "$source/examples" "$prefix/share/tavoka/examples" || fail "the example is not installed"
desktop=$prefix/share/applications/tavoka.desktop
[ -f "$desktop" ] || fail "share/applications/tavoka.desktop is missing"
grep -qx 'Exec=tavoka %f' "$desktop" || fail "the desktop entry does not open a file with tavoka"
grep -qx 'Icon=tavoka' "$desktop" || fail "the desktop entry names no icon"
grep -qx 'MimeType=application/x-tavoka-project;' "$desktop" || fail "the desktop entry opens no projects"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi
grep -q 'type="application/x-tavoka-project"' "$prefix/share/mime/packages/tavoka.xml" &&
  grep -q 'pattern="\*.tvp"' "$prefix/share/mime/packages/tavoka.xml" ||
  fail "share/mime/packages/tavoka.xml does not define the project file type"
for size in 48 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/tavoka.png
  [ -f "$icon" ] || fail "the ${size}x${size} icon is missing"
  # A PNG file's width and height are the big-endian words at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ' | sed 's/^ //;s/ $//')
  [ "$dims" = "0 0 $((size >> 8)) $((size & 255)) 0 0 $((size >> 8)) $((size & 255))" ] ||
    fail "the ${size}x${size} icon has another size ($dims)"
done

# The installed program runs from anywhere; the build's own skin is nowhere on its way.
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
cp -r "$prefix/share/tavoka/examples/puppet" "$elsewhere/"
version=$(cd "$elsewhere" && "$prefix/bin/tavoka" --version) || fail "tavoka --version"
[ "$version" = "tavoka $(sed -n 's/^project(tavoka VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")" ] ||
  fail "tavoka --version says \"$version\""

for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing (scripts/install-deps installs it); the installed files are fine"
    exit 77
  fi
done
[ -x "$xclose" ] || fail "xclose helper not found at $xclose"

timeout -k 5 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$source/tests/e2e/open_and_close.bash" \
  "$work" "$elsewhere" "$xclose" "$prefix/bin/tavoka" "$elsewhere/puppet/puppet.tvp"
status=$?
log=$work/tavoka.log
if [ $status -ne 0 ]; then
  echo "--- stderr of tavoka"; cat "$work/stderr" 2>/dev/null
  echo "--- log"; cat "$log" 2>/dev/null
  fail "the installed program did not run and close cleanly"
fi
grep -qxF "zor: skin in $prefix/share/tavoka/skin" "$log" ||
  { grep 'skin' "$log"; fail "the skin was not taken from the installed data directory"; }
grep -qxF "Loading object HandL" "$log" || fail "the example project was not loaded"
grep -q '^LoadProject:' "$log" && fail "the example project was refused: $(grep '^LoadProject:' "$log")"
grep -q 'audio error' "$log" && fail "the example's sound did not load: $(grep 'audio error' "$log")"
grep -q 'wekFree()' "$log" || fail "shut-down did not run"
echo "PASSED"
