#!/usr/bin/env bash
# The real program under a virtual X server, ended by the session instead of the user: on a copy
# of the example, a quick click (xdotool click) selects "Sun", Insert adds an object and its
# name is typed faster than the editor's passes; SIGTERM then arrives while the name is still
# being typed. The program must not ask, must end, and must leave puppet.recovered.tvp beside
# the project holding the typed name (without the text cursor).
# Usage: recovery.sh PATH/TO/tavoka   (exit 77 = skipped: no virtual X server or xdotool)
set -u
binary=${1:?usage: recovery.sh PATH/TO/tavoka}
source=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$(dirname "$binary")" && pwd)
dump=${PROJECT_DUMP:-$build/tests/project_dump}
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing (scripts/install-deps installs it)"
    exit 77
  fi
done
[ -x "$dump" ] || { echo "project_dump not found at $dump"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source/examples/puppet" "$work/puppet"
# Any question would be answered "keep", which would leave the program running: a failure.
printf '%s\n' "tavoka test dialog answers" "keep" >"$work/answers"

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
step() { timeout -k 2 20 "$@"; }
"$TAVOKA" "$WORK/puppet/puppet.tvp" >"$WORK/stderr" 2>&1 &
pid=$!
window=""
for _ in $(seq 1 150); do
  window=$(step xdotool search --name '^Tavoka( - .*)?$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "FAILED: no window titled Tavoka appeared"; kill -9 $pid; exit 1; }
step xdotool windowfocus --sync "$window"
sleep 1.5  # the example loads
# Row 2 of the object list is Sun; Insert adds its sibling and starts editing the name, the
# whole of it selected: what is typed replaces it.
step xdotool mousemove --window "$window" 850 44 click 1
sleep 0.5
step xdotool key Insert
sleep 0.5
step xdotool type --delay 1 "Kite"
sleep 0.5
kill -TERM $pid
for _ in $(seq 1 100); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
  kill -9 $pid
  echo "FAILED: the program did not end on SIGTERM"
  exit 1
fi
wait $pid
SESSION
chmod +x "$work/session.sh"

TAVOKA="$binary" WORK="$work" TAVOKA_TEST_DIALOG_ANSWERS="$work/answers" \
  timeout -k 5 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh"
status=$?
fail() {
  echo "FAILED: $*"
  echo "--- stderr of tavoka"; cat "$work/stderr" 2>/dev/null
  exit 1
}
[ $status -eq 0 ] || fail "the session or the program ended with status $status"
recovered="$work/puppet/puppet.recovered.tvp"
[ -s "$recovered" ] || fail "no $recovered"
grep -q "written to $recovered" "$work/stderr" || fail "the program did not say where the work went"
"$dump" "$recovered" >"$work/recovered.dump" || fail "the recovery file cannot be read"
grep -Eq '^object 1 ordinary "Kite" keys 1$' "$work/recovered.dump" ||
  fail "the recovery file lacks the new object named as typed: $(grep Kite "$work/recovered.dump")"
cmp -s "$work/puppet/puppet.tvp" "$source/examples/puppet/puppet.tvp" ||
  fail "the project's own file was changed"
echo "PASSED"
