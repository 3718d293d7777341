#!/usr/bin/env bash
# Run inside a virtual X server by the end-to-end scripts: starts the program from DIR, waits for
# its window, prints the window's geometry, asks it to close as a window manager would, and exits
# with the program's exit status (1 when the window never appeared or the program did not exit).
# The program's log, stdout and stderr go to WORK/tavoka.log, WORK/stdout and WORK/stderr.
# Usage: open_and_close.bash WORK DIR XCLOSE PROGRAM [ARGUMENTS...]
set -u
work=$1 dir=$2 xclose=$3
shift 3
cd "$dir" || exit 1
"$@" --log "$work/tavoka.log" >"$work/stdout" 2>"$work/stderr" &
pid=$!
window=""
for _ in $(seq 1 100); do
  window=$(timeout -k 2 5 xdotool search --name '^Tavoka( - .*)?$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no window titled Tavoka appeared"; kill $pid; exit 1
fi
sleep 1
timeout -k 2 5 xdotool getwindowgeometry "$window"
timeout -k 2 5 "$xclose" "$window" || { echo "close request failed"; kill $pid; exit 1; }
for _ in $(seq 1 100); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
  echo "the program did not exit after the close request"; kill -9 $pid; exit 1
fi
wait $pid
status=$?
echo "exit status $status"
exit $status
