#!/usr/bin/env bash
# The real program under a virtual X server, ended by the session instead of the user: on a copy
# of the example, a quick click (xdotool click) selects "Sun", Insert adds an object and its
# name is typed faster than the editor's passes; SIGTERM then arrives while the name is still
# being typed. The program must not ask, must end, and must leave puppet.recovered.tvp beside
# the project holding the typed name (without the text cursor). A second run on a new project
# ended by SIGHUP leaves Untitled.recovered.tvp in $XDG_DATA_HOME/tavoka.
# Usage: recovery.sh PATH/TO/tavoka   (exit 77 = skipped: no virtual X server or xdotool)
set -u
binary=${1:?usage: recovery.sh PATH/TO/tavoka}
source=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$(dirname "$binary")" && pwd)
dump=${PROJECT_DUMP:-$build/tests/project_dump}
for tool in xvfb-run xdotool import; do
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
printf '%s\n' "tavoka test dialog answers" "keep" "keep" >"$work/answers"

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
step() { timeout -k 2 20 "$@"; }
# start NAME SIGNAL [PROJECT]: runs the program, makes a new object whose name is typed and
# sends SIGNAL; NAME.out gets its stderr and NAME.status its exit status.
start() {
  local name=$1 signal=$2
  shift 2
  "$TAVOKA" "$@" >"$WORK/$name.out" 2>&1 &
  local pid=$! window=""
  for _ in $(seq 1 150); do
    window=$(step xdotool search --name '^Tavoka( - .*)?$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || { echo "FAILED: no window in run $name"; kill -9 $pid; return 1; }
  step xdotool windowfocus --sync "$window"
  sleep 1.5  # the project loads
  # Row 2 of the object list (Sun in the example, nothing in a new project).
  step xdotool mousemove --window "$window" 850 44 click 1
  sleep 0.5
  step xdotool key Insert
  sleep 0.5
  step xdotool type --delay 1 "Kite"
  sleep 0.5
  kill "-$signal" $pid
  for _ in $(seq 1 100); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 $pid 2>/dev/null; then
    kill -9 $pid
    echo "FAILED: the program did not end on SIG$signal in run $name"
    return 1
  fi
  wait $pid
  echo $? >"$WORK/$name.status"
}
start saved TERM "$WORK/puppet/puppet.tvp" || exit 1
start untitled HUP || exit 1
SESSION
chmod +x "$work/session.sh"

TAVOKA="$binary" WORK="$work" XDG_DATA_HOME="$work/data" \
  TAVOKA_TEST_DIALOG_ANSWERS="$work/answers" \
  timeout -k 5 100 xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh"
status=$?
fail() {
  echo "FAILED: $*"
  for run in saved untitled; do echo "--- stderr of run $run"; cat "$work/$run.out" 2>/dev/null; done
  exit 1
}
[ $status -eq 0 ] || fail "the session did not run to its end (status $status)"
for run in saved untitled; do
  [ "$(cat "$work/$run.status")" = 0 ] || fail "run $run ended with status $(cat "$work/$run.status")"
done

recovered="$work/puppet/puppet.recovered.tvp"
[ -s "$recovered" ] || fail "no $recovered"
grep -q "written to $recovered" "$work/saved.out" || fail "the program did not say where the work went"
"$dump" "$recovered" >"$work/recovered.dump" || fail "the recovery file cannot be read"
grep -Eq '^object 1 ordinary "Object-[0-9]+Kite" keys 1$' "$work/recovered.dump" ||
  fail "the recovery file lacks the new object named as typed: $(grep Kite "$work/recovered.dump")"
cmp -s "$work/puppet/puppet.tvp" "$source/examples/puppet/puppet.tvp" ||
  fail "the project's own file was changed"

untitled="$work/data/tavoka/Untitled.recovered.tvp"
[ -s "$untitled" ] || fail "no $untitled"
grep -q "written to $untitled" "$work/untitled.out" || fail "the second run did not say where"
"$dump" "$untitled" | grep -Eq '"Object-[0-9]+Kite"' || fail "the new object is not in $untitled"
echo "PASSED"
