#!/usr/bin/env bash
# Takes the picture of the plugin's Command menu with its settings-file items
# (docs/plugin-settings-menu.png): builds the plugin and the stand-in host,
# runs them on a private X display, opens the menu with the mouse and grabs
# the plugin window with the menu open over it.
#   BUILD_DIR=build (default)           where the Windows build and its Wine prefix live
#   OUT=docs/plugin-settings-menu.png   where the picture goes
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
out=${OUT:-docs/plugin-settings-menu.png}

cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build/windows" -j2 --target stand_in_host colour_balance_plugin demo_session

source scripts/wine-session.sh
source scripts/x-windows.sh
host_pid=""
plugin_pid=""
finish() {
  [ -n "$plugin_pid" ] && kill "$plugin_pid" 2>/dev/null || true
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  wine_session_stop
}
trap finish EXIT
wine_session_start "$build/windows"

wine "$build/windows/stand_in_host/StandInKavrin.exe" </dev/null >/dev/null 2>&1 &
host_pid=$!
wait_for_window 'Kavrin (stand-in)'
# The plugin opens centred on the pointer, its caption under it.
xdotool mousemove 640 200
wine "$build/windows/plugin_window/ColorBalancePlugin.exe" </dev/null >/dev/null 2>&1 &
plugin_pid=$!
# Waits until the plugin has fetched the palette and filled its window.
wine "$build/windows/demo/demo_session.exe" plugin-sliders >/dev/null
read -r px py pw ph <<<"$(window_rect 'Kavrin Color Balance Plugin')"

# "&Command" is the first item of the menu bar, just below the small caption.
xdotool mousemove $((px + 28)) $((py + 28)) click 1
sleep 1
mkdir -p "$(dirname "$out")"
import -window root -crop "${pw}x${ph}+${px}+${py}" +repage "$out"
echo "Saved $out ($(identify -format '%wx%h' "$out"))"
