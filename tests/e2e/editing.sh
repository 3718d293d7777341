#!/usr/bin/env bash
# A user's session with the real program under a virtual X server, driven by xdotool: on a copy
# of the example puppet, select "Sun" in the object list, press Insert and type the name "Kite",
# drag the new object's "P" handle, step twelve frames with the arrow key and drag it again,
# play with Space, switch to the camera view with Tab, save as with Ctrl+Shift+S (the save dialog is
# answered through the test hook TAVOKA_TEST_DIALOG_ANSWERS) and close the window. The saved
# project is read back with project_dump and must hold the new object with its two keys and
# everything else unchanged. Every step waits by polling a screenshot or a file for its effect.
# Usage: editing.sh PATH/TO/tavoka   (exit 77 = skipped: no virtual X server or xdotool)
set -u
binary=${1:?usage: editing.sh PATH/TO/tavoka}
source=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$(dirname "$binary")" && pwd)
xclose=${XCLOSE:-$build/tests/xclose}
dump=${PROJECT_DUMP:-$build/tests/project_dump}
for tool in xvfb-run xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing (scripts/install-deps installs it)"
    exit 77
  fi
done
[ -x "$xclose" ] || { echo "xclose helper not found at $xclose"; exit 1; }
[ -x "$dump" ] || { echo "project_dump not found at $dump"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source/examples/puppet" "$work/puppet"
printf '%s\n' "tavoka test dialog answers" "file $work/saved.tvp" "discard" >"$work/answers"

# A variable naming no answers file stops the program before it opens a window.
printf 'file /tmp/x.tvp\n' >"$work/not-answers"
message=$(TAVOKA_TEST_DIALOG_ANSWERS="$work/not-answers" timeout -k 2 20 "$binary" 2>&1)
status=$?
[ $status -eq 2 ] && echo "$message" | grep -q "TAVOKA_TEST_DIALOG_ANSWERS: .*not-answers does not start" || {
  echo "FAILED: a file without the header line was taken as dialog answers (status $status: $message)"
  exit 1
}

cat >"$work/session.sh" <<SESSION
#!/usr/bin/env bash
set -u
work="$work"
SESSION
cat >>"$work/session.sh" <<'SESSION'
fail() { echo "FAILED: $*"; import -window root "$work/failure.png" 2>/dev/null; kill "$pid" 2>/dev/null; exit 1; }
step() { timeout -k 2 20 "$@"; }
# A signature of the pixels of one rectangle W H X Y of the window as it is now.
signature() {
  step import -window "$window" -crop "$1x$2+$3+$4" +repage rgb:- 2>/dev/null | md5sum | cut -c1-32
}
# Waits (up to 30 s) until the rectangle's signature differs from $1; $now is then the new one.
wait_change() {
  local before=$1
  shift
  for _ in $(seq 1 150); do
    now=$(signature "$@")
    [ -n "$now" ] && [ "$now" != "$before" ] && return 0
    sleep 0.2
  done
  return 1
}
press() {
  step xdotool keydown "$@" && sleep 0.05 && step xdotool keyup "$@" && sleep 0.05
}
# Presses one key and waits for the rectangle W H X Y to change from its signature in $last,
# which then holds the new one.
last=""
press_and_wait() {
  local key=$1
  shift
  [ -n "$last" ] || last=$(signature "$@")
  press "$key" || fail "pressing $key"
  wait_change "$last" "$@" || fail "pressing $key changed nothing on the screen"
  last=$now
}
click() {
  step xdotool mousemove --window "$window" "$1" "$2" && sleep 0.1 &&
    step xdotool mousedown 1 && sleep 0.1 && step xdotool mouseup 1 && sleep 0.1
}
# Drags with the left button from X1 Y1 to X2 Y2 in ten steps, as a hand would.
drag() {
  local x1=$1 y1=$2 x2=$3 y2=$4
  step xdotool mousemove --window "$window" "$x1" "$y1" && sleep 0.1 || return 1
  step xdotool mousedown 1 && sleep 0.1 || return 1
  for i in $(seq 1 10); do
    step xdotool mousemove --window "$window" $((x1 + (x2 - x1) * i / 10)) $((y1 + (y2 - y1) * i / 10)) || return 1
    sleep 0.05
  done
  sleep 0.2
  step xdotool mouseup 1 && sleep 0.1
}

"$TAVOKA" --log "$work/tavoka.log" "$work/puppet/puppet.tvp" >"$work/stdout" 2>"$work/stderr" &
pid=$!
window=""
for _ in $(seq 1 150); do
  window=$(step xdotool search --name '^Tavoka( - .*)?$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "no window titled Tavoka appeared"
step xdotool windowfocus --sync "$window" || fail "the window takes no focus"

# Layout in client pixels: view window content at (11, 22), 740 x 520 wide; the object list's
# content at (801, 22), one row every 10 pixels: Scene 0, Camera 1, Sun 2, ... Mouth 17, and a
# sibling added after the last of Scene's children goes to row 18.
list="290 10 801"
row_of() { echo "$list $((22 + 10 * $1 - 1))"; }
view="740 520 11 22"
title="740 12 11 10"

# The example is loaded once the object list shows the row of "Mouth".
loaded=0
for _ in $(seq 1 150); do
  deviation=$(step import -window "$window" -crop "290x10+801+$((22 + 10 * 17 - 1))" +repage \
    -format '%[fx:standard_deviation]' info: 2>/dev/null)
  if [ -n "$deviation" ] && awk "BEGIN { exit !($deviation > 0.01) }"; then loaded=1; break; fi
  sleep 0.2
done
[ $loaded -eq 1 ] || fail "the object list never showed the example's 18 rows"

# Select "Sun": its row turns the selection colour.
before=$(signature $(row_of 2))
click 850 $((22 + 10 * 2 + 4)) || fail "clicking Sun"
wait_change "$before" $(row_of 2) || fail "Sun was not selected"

# Insert adds a sibling under Scene, after Puppet's subtree, and starts editing its name
# "Object-NNN", the whole name selected: a Backspace empties it, then the new name and Enter.
press_and_wait Insert $(row_of 18)
press_and_wait BackSpace $(row_of 18)
for key in shift+k i t e Return; do press_and_wait "$key" $(row_of 18); done

# The new object sits at the scene's origin, the middle of the view's content: its P handle is
# at (11 + 370, 22 + 260). Drag it 100 right and 60 up.
before=$(signature $view)
drag 381 282 481 222 || fail "dragging P at frame 0"
wait_change "$before" $view || fail "the drag changed nothing in the view"

# Twelve frames on with the right arrow, each press one frame; the example moves on.
before=$(signature $view)
for _ in $(seq 1 12); do press Right || fail "pressing Right"; sleep 0.05; done
wait_change "$before" $view || fail "stepping frames changed nothing in the view"
sleep 0.3
before=$(signature $view)
drag 481 222 431 322 || fail "dragging P at frame 12"
wait_change "$before" $view || fail "the second drag changed nothing in the view"

# Space plays: the view keeps changing (at least three different pictures), Space again stops.
press space || fail "pressing Space"
seen=$(signature $view)
count=1
for _ in $(seq 1 100); do
  now=$(signature $view)
  if [ -n "$now" ] && ! echo "$seen" | grep -qxF "$now"; then
    seen=$(printf '%s\n%s' "$seen" "$now")
    count=$((count + 1))
  fi
  [ $count -ge 3 ] && break
  sleep 0.1
done
[ $count -ge 3 ] || fail "Space did not play the animation"
press space || fail "pressing Space again"

# Tab shows the view through the camera: the title names the mode, the picture changes.
before_title=$(signature $title)
before=$(signature $view)
press Tab || fail "pressing Tab"
wait_change "$before_title" $title || fail "Tab did not change the view's title"
wait_change "$before" $view || fail "Tab did not change the view"

# The window's title names the project and marks the unsaved changes.
name=$(step xdotool getwindowname "$window")
[ "$name" = "Tavoka - puppet.tvp*" ] || fail "the title with unsaved changes is \"$name\""

# Ctrl+Shift+S: the save dialog is answered by the test hook with saved.tvp (Ctrl+S would save
# to puppet.tvp itself).
press ctrl+shift+s || fail "pressing Ctrl+Shift+S"
for _ in $(seq 1 150); do
  [ -s "$work/saved.tvp" ] && break
  sleep 0.2
done
[ -s "$work/saved.tvp" ] || fail "Ctrl+Shift+S saved nothing"
for _ in $(seq 1 50); do
  name=$(step xdotool getwindowname "$window")
  [ "$name" = "Tavoka - saved.tvp" ] && break
  sleep 0.2
done
[ "$name" = "Tavoka - saved.tvp" ] || fail "the title after saving is \"$name\""

step "$XCLOSE" "$window" || fail "close request failed"
for _ in $(seq 1 150); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  kill -9 "$pid"
  echo "FAILED: the program did not exit after the close request"
  exit 1
fi
wait "$pid"
status=$?
echo "exit status $status"
exit $status
SESSION
chmod +x "$work/session.sh"

start=$(date +%s)
TAVOKA="$binary" XCLOSE="$xclose" TAVOKA_TEST_DIALOG_ANSWERS="$work/answers" \
  timeout -k 5 110 xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh"
status=$?
echo "session took $(( $(date +%s) - start )) s"
keep_failure() {
  if [ -f "$work/failure.png" ]; then
    mkdir -p "$build/e2e-failures" && cp "$work/failure.png" "$build/e2e-failures/editing.png" &&
      echo "screenshot of the failure: $build/e2e-failures/editing.png"
  fi
}
if [ $status -ne 0 ]; then
  keep_failure
  echo "--- stderr of tavoka"; cat "$work/stderr" 2>/dev/null
  echo "--- log"; tail -n 40 "$work/tavoka.log" 2>/dev/null
  echo "FAILED: the session did not run to its end (status $status)"
  exit 1
fi
fail() {
  echo "FAILED: $*"
  echo "--- saved project"; cat "$work/saved.dump" 2>/dev/null
  exit 1
}
grep -q "test hook: dialogs are answered from $work/answers" "$work/stderr" ||
  fail "the program did not say that the test hook answers its dialogs"
grep -q 'wekFree()' "$work/tavoka.log" || fail "shut-down did not run"

"$dump" "$work/saved.tvp" >"$work/saved.dump" || fail "the saved project cannot be read"
"$dump" "$work/puppet/puppet.tvp" >"$work/original.dump" || fail "the example cannot be read"

# The new object: a child of Scene named Kite with its image child, and two keys, at frame 0
# where the first drag put it 100 right and 60 up, and at frame 12, 50 left and 100 down from
# there (the edit view shows the scene at scale 1; y grows downwards as on the screen).
grep -qx 'object 1 ordinary "Kite" keys 2' "$work/saved.dump" || fail "no object Kite with two keys"
near() {  # near VALUE EXPECTED: within 1.5 units
  awk -v v="$1" -v e="$2" 'BEGIN { d = v - e; if (d < 0) d = -d; exit !(d <= 1.5) }'
}
read -r f0 x0 y0 <<<"$(awk '$1 == "key" && $3 == "\"Kite\"" { print $5, $9, $10; exit }' "$work/saved.dump")"
read -r f1 x1 y1 <<<"$(awk '$1 == "key" && $3 == "\"Kite\"" { n++ } n == 2 { print $5, $9, $10; exit }' "$work/saved.dump")"
echo "Kite keys: frame $f0 at ($x0, $y0), frame $f1 at ($x1, $y1)"
[ "$f0" = 0 ] || fail "Kite's first key is at frame $f0, not 0"
[ "$f1" = 12 ] || fail "Kite's second key is at frame $f1, not 12 (twelve presses of Right)"
near "$x0" 100 && near "$y0" -60 || fail "the first drag put Kite at ($x0, $y0), not (100, -60)"
near "$x1" 50 && near "$y1" 40 || fail "the second drag put Kite at ($x1, $y1), not (50, 40)"

# Everything else is as the example was.
grep -A3 '^object 1 ordinary "Kite"' "$work/saved.dump" | grep -qx 'object 2 ordinary "a" keys 0' ||
  fail "Kite has no image child"
grep -v '^project ' "$work/original.dump" >"$work/original.rest"
# The saved file holds Kite's image child "a" after the original objects: drop that one line.
awk '/"Kite"/ { skip = 1; next } skip && /^object 2 ordinary "a"/ { skip = 0; next } { skip = 0; print }' \
  "$work/saved.dump" | grep -v '^project ' >"$work/rest.dump"
diff "$work/original.rest" "$work/rest.dump" || fail "the other objects, keys or clips changed"
echo "PASSED"
