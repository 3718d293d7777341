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

cat >"$work/session.sh" <<SESSION
#!/usr/bin/env bash
set -u
cd "$here/../.."
"$binary" --log "$work/tavoka.log" >"$work/stdout" 2>"$work/stderr" &
pid=\$!
window=""
for _ in \$(seq 1 100); do
  window=\$(timeout -k 2 5 xdotool search --name '^Tavoka( - .*)?\$' 2>/dev/null | head -n 1)
  [ -n "\$window" ] && break
  sleep 0.1
done
if [ -z "\$window" ]; then
  echo "no window titled Tavoka appeared"; kill \$pid; exit 1
fi
sleep 0.5
geometry=\$(timeout -k 2 5 xdotool getwindowgeometry "\$window")
echo "\$geometry"
echo "\$geometry" | grep -q 'Geometry: 1024x768' || { echo "window is not 1024 x 768"; kill \$pid; exit 1; }
timeout -k 2 5 "$xclose" "\$window" || { echo "close request failed"; kill \$pid; exit 1; }
for _ in \$(seq 1 100); do
  kill -0 \$pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 \$pid 2>/dev/null; then
  echo "the program did not exit after the close request"; kill -9 \$pid; exit 1
fi
wait \$pid
status=\$?
echo "exit status \$status"
exit \$status
SESSION
chmod +x "$work/session.sh"

timeout -k 5 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh"
status=$?
if [ $status -ne 0 ]; then
  echo "--- stderr of tavoka"; cat "$work/stderr" 2>/dev/null
  echo "--- log"; cat "$work/tavoka.log" 2>/dev/null
  exit 1
fi
grep -q 'wekFree()' "$work/tavoka.log" || { echo "shut-down did not run"; exit 1; }
echo "PASSED"
