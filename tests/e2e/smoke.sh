#!/usr/bin/env bash
# Starts the real program under a virtual X server, finds its window "Tavoka", asks it to close
# as a window manager would, and expects a clean exit with code 0.
# Usage: smoke.sh PATH/TO/tavoka   (exit 77 = skipped)
set -u
binary=${1:?usage: smoke.sh PATH/TO/tavoka}
here=$(cd "$(dirname "$0")" && pwd)
xclose=${XCLOSE:-$(dirname "$binary")/tests/xclose}
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing (scripts/install-deps installs it)"
    exit 77
  fi
done
[ -x "$xclose" ] || { echo "xclose helper not found at $xclose"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

timeout -k 5 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$here/open_and_close.bash" "$work" "$here/../.." "$xclose" "$binary" | tee "$work/session"
status=${PIPESTATUS[0]}
if [ $status -ne 0 ]; then
  echo "--- stderr of tavoka"; cat "$work/stderr" 2>/dev/null
  echo "--- log"; cat "$work/tavoka.log" 2>/dev/null
  exit 1
fi
grep -q 'Geometry: 1024x768' "$work/session" || { echo "window is not 1024 x 768"; exit 1; }
grep -q 'wekFree()' "$work/tavoka.log" || { echo "shut-down did not run"; exit 1; }
echo "PASSED"
