# Waiting for Wine's top-level windows on the X display and reading where
# they are, for the scripts that run the programs. Sourced, not run.

# Prints "x y width height" of the top-level window whose title begins with
# $1 once it is shown; fails after ${2:-30} seconds.
window_rect() {
  local line deadline=$((SECONDS + ${2:-30}))
  while [ "$SECONDS" -lt "$deadline" ]; do
    line=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1" | head -n 1 || true)
    if [ -n "$line" ]; then
      # ...  WIDTHxHEIGHT+X+Y  +ABSX+ABSY
      echo "$line" | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\3 \4 \1 \2/'
      return 0
    fi
    sleep 0.1
  done
  echo "No window \"$1\" appeared" >&2
  return 1
}

# Waits until a top-level window whose title begins with $1 is shown.
wait_for_window() {
  window_rect "$@" >/dev/null
}
