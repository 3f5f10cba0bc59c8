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

# For the screenshot scripts, run from the project's root: builds the Windows
# targets named after the build folder $1, starts the Wine session there,
# and on exit ends the programs started with start_windows_program, then the
# session.
screenshot_session_start() {
  local build=$1
  shift
  cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "$build/windows" -j2 --target "$@"
  source scripts/wine-session.sh
  started_pids=()
  trap screenshot_session_stop EXIT
  wine_session_start "$build/windows"
}

screenshot_session_stop() {
  local pid
  for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wine_session_stop
}

# Starts a Windows program in the background, quietly.
start_windows_program() {
  wine "$@" </dev/null >/dev/null 2>&1 &
  started_pids+=($!)
}

# Saves the part "width height x y" of the display as the picture $1.
save_screen_part() {
  mkdir -p "$(dirname "$1")"
  import -window root -crop "${2}x${3}+${4}+${5}" +repage "$1"
  echo "Saved $1 ($(identify -format '%wx%h' "$1"))"
}
