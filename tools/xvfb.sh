# Sourced by scripts that need a private X display.
#   start_xvfb FIRST COUNT [CLEANUP]
# Starts Xvfb on a display numbered FIRST + RANDOM % COUNT (in $display),
# exports DISPLAY and waits until the server answers. On exit the shell runs
# CLEANUP, if given, then stops the server.
start_xvfb() {
  display=:$(($1 + RANDOM % $2))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap "${3:+$3; }kill $xvfb 2>/dev/null || true" EXIT
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}
