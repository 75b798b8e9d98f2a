#!/usr/bin/env bash
# PRead in a real X window under Xvfb: click the Year button at its screen
# position, take a screenshot of the screen, end the program with SIGTERM
# (which closes the window) and check the label text it printed with
# --dump-state. Skipped (status 77) when Xvfb, xdotool or xwd is missing.
# Usage: real_window_test.sh <PRead> <make_movies> <work folder>
set -euo pipefail
pread="$1"; make_movies="$2"; work="$3"
for tool in Xvfb xdotool xwd; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work"; mkdir -p "$work"; cd "$work"
"$make_movies" "$work" >/dev/null

display=":$(( 90 + RANDOM % 400 ))"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >xvfb.log 2>&1 &
xvfb=$!
pread_pid=""
cleanup() {
  [ -n "$pread_pid" ] && kill "$pread_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
ready=""
for _ in $(seq 300); do xdotool getmouselocation >/dev/null 2>&1 && { ready=1; break; }; sleep 0.1; done
[ -n "$ready" ] || { echo "FAIL: Xvfb did not start"; cat xvfb.log; exit 1; }

ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$pread" --dump-state >state.txt 2>pread.err &
pread_pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^File opened ReadOnly$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: the window did not appear"; cat pread.err; exit 1; }
# Without a window manager nothing gives the new window the input focus;
# focusing it is what activates it (and opens the table).
xdotool windowfocus --sync "$window"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"   # X, Y, WIDTH, HEIGHT
echo "window $window at $X,$Y size ${WIDTH}x$HEIGHT"
# Button3 (Year): group box at 90,14; the button at 88,24 inside it, 65 x 25.
xdotool mousemove --sync $(( X + 90 + 88 + 32 )) $(( Y + 14 + 24 + 12 )) click 1
sleep 1
xwd -root -display "$display" -out screen.xwd
[ -s screen.xwd ] || { echo "FAIL: no screenshot"; exit 1; }
kill -TERM "$pread_pid"
status=0; wait "$pread_pid" || status=$?
pread_pid=""
[ "$status" -eq 0 ] || { echo "FAIL: PRead ended with $status"; cat pread.err; exit 1; }
cat state.txt | head -n 4
grep -qx 'Label: Sorted By YEAR ' state.txt || { echo "FAIL: label did not change"; exit 1; }
grep -qx 'Caption: File opened ReadOnly' state.txt || { echo "FAIL: caption changed"; exit 1; }
echo "PASS"
