# Sourced by the real-window tests. start_xvfb GEOMETRY (such as 800x600x24)
# starts Xvfb on a display picked at random, exports DISPLAY, leaves the
# server's process id in $xvfb (for the caller's clean-up, which kills it)
# and waits until the server answers; when it does not, the script ends
# with a failure and the server's log (xvfb.log in the current folder).
start_xvfb() {
  local display=":$(( 90 + RANDOM % 400 ))"
  Xvfb "$display" -screen 0 "$1" -nolisten tcp >xvfb.log 2>&1 &
  xvfb=$!
  export DISPLAY="$display"
  local attempt
  for attempt in $(seq 300); do
    xdotool getmouselocation >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "FAIL: Xvfb did not start"; cat xvfb.log; exit 1
}
