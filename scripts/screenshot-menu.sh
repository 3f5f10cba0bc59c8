#!/usr/bin/env bash
# Takes the picture of the plugin's Command menu with its settings-file items
# (docs/plugin-settings-menu.png): builds the plugin and the stand-in host,
# runs them on a private X display, opens the menu with the mouse and grabs
# the plugin window with the menu open over it.
#   BUILD_DIR=build (default)           where the Windows build and its Wine prefix live
#   OUT=docs/plugin-settings-menu.png   where the picture goes
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${OUT:-docs/plugin-settings-menu.png}

source scripts/x-windows.sh
screenshot_session_start "$build" stand_in_host colour_balance_plugin demo_session

start_windows_program "$build/windows/stand_in_host/StandInKavrin.exe"
wait_for_window 'Kavrin (stand-in)'
# The plugin opens centred on the pointer, its caption under it.
xdotool mousemove 640 200
start_windows_program "$build/windows/plugin_window/ColorBalancePlugin.exe"
# Waits until the plugin has fetched the palette and filled its window.
wine "$build/windows/demo/demo_session.exe" plugin-sliders >/dev/null
read -r px py pw ph <<<"$(window_rect 'Kavrin Color Balance Plugin')"

# "&Command" is the first item of the menu bar, just below the small caption.
xdotool mousemove $((px + 28)) $((py + 28)) click 1
sleep 1
save_screen_part "$out" "$pw" "$ph" "$px" "$py"
