#!/usr/bin/env bash
# The main job: builds the plugin and the stand-in host for Windows and runs
# them side by side under Wine.
#   bash scripts/run.sh [picture.bmp]
# With a display ($DISPLAY set) you work with the real windows; the run ends
# when you exit the plugin. Without one it starts its own X display, plays a
# short scripted session, and writes screenshots into out/ (OUT_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
out=${OUT_DIR:-out}
picture=${1:-}

bash scripts/setup-machine.sh
echo "== Building the plugin and the stand-in host for Windows"
cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build/windows" -j"$(nproc)" --target colour_balance_plugin stand_in_host demo_session

bin=$build/windows
host_exe=$bin/stand_in_host/StandInKavrin.exe
plugin_exe=$bin/plugin_window/ColorBalancePlugin.exe
demo_exe=$bin/demo/demo_session.exe
mkdir -p "$out"
out=$(cd "$out" && pwd)
host_log=$out/host.log
rm -f "$host_log"

interactive=""
[ -n "${DISPLAY:-}" ] && interactive=1
export WINE_KEEP_DISPLAY=$interactive
source scripts/wine-session.sh
source scripts/x-windows.sh
trap wine_session_stop EXIT
wine_session_start "$bin"

host_args=("--log=$(winepath -w "$host_log" 2>/dev/null)")
[ -n "$picture" ] && host_args+=("$(winepath -w "$(cd "$(dirname "$picture")" && pwd)/$(basename "$picture")")")

echo "== Starting the stand-in host${picture:+ with $picture}"
wine "$host_exe" "${host_args[@]}" </dev/null >/dev/null 2>&1 &
host_pid=$!

if [ -n "$interactive" ]; then
  wait_for_window 'Kavrin (stand-in)'
  echo "== Starting the plugin: move its sliders; \"Exit Plugin\" in its Command menu ends the run"
  # Wine's file dialogs print "Read access denied for device" for each
  # drive they cannot ask for its label, whatever WINEDEBUG says.
  wine "$plugin_exe" </dev/null 2> >(grep -v --line-buffered 'Read access denied for device' >&2) || true
  kill "$host_pid" 2>/dev/null || true
  exit 0
fi

# Crops a screenshot of the whole display to "x y width height".
shoot() {
  local file=$1 geometry
  read -r -a geometry <<<"$2"
  import -window root -crop "${geometry[2]}x${geometry[3]}+${geometry[0]}+${geometry[1]}" +repage "$file"
  echo "   $file"
}

host_rect=$(wine "$demo_exe" host-window | tr -d '\r') || { echo "The stand-in host did not open its window" >&2; exit 1; }
echo "== Screenshots"
shoot "$out/host-before.png" "$host_rect"

# Open the plugin over the right-hand part of the host window, away from the picture.
read -r -a hr <<<"$host_rect"
xdotool mousemove $((hr[0] + hr[2] - 200)) $((hr[1] + hr[3] - 230)) 2>/dev/null || true
wine "$plugin_exe" </dev/null >/dev/null 2>&1 &
plugin_pid=$!

if ! summary=$(wine "$demo_exe" drive "$(winepath -w "$host_log")" | tr -d '\r'); then
  echo "The scripted session failed: $summary" >&2
  exit 1
fi
plugin_rect=$(wine "$demo_exe" plugin-window | tr -d '\r')
shoot "$out/plugin-window.png" "$plugin_rect"
wine "$demo_exe" exit
wait "$plugin_pid" || true
shoot "$out/host-after.png" "$host_rect"
kill "$host_pid" 2>/dev/null || true
echo "== $summary"
