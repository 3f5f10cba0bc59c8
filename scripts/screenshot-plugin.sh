#!/usr/bin/env bash
# Takes the screenshot of the plugin window beside the stand-in host
# (docs/plugin-window.png): builds both, runs them on a private X display,
# moves two balance sliders with the mouse so that the host shows a
# rebalanced palette, and grabs the part of the screen that holds both.
#   BUILD_DIR=build (default)    where the Windows build and its Wine prefix live
#   OUT=docs/plugin-window.png   where the picture goes
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${OUT:-docs/plugin-window.png}

source scripts/x-windows.sh
screenshot_session_start "$build" stand_in_host colour_balance_plugin demo_session
demo="$build/windows/demo/demo_session.exe"

start_windows_program "$build/windows/stand_in_host/StandInKavrin.exe"
read -r hx hy hw hh <<<"$(window_rect 'Kavrin (stand-in)')"

# The plugin opens centred on the pointer, its caption under it: below the
# host, at the host's middle.
xdotool mousemove $((hx + hw / 2)) $((hy + hh + 24))
start_windows_program "$build/windows/plugin_window/ColorBalancePlugin.exe"
# The plugin fetches the palette, then moves under the pointer and fills;
# the demo program waits for that and reads where the trackbars ended up.
sliders=$(wine "$demo" plugin-sliders | tr -d '\r')
read -r cx cy cw ch yx yy yw yh <<<"$(tr '\n' ' ' <<<"$sliders")"
read -r px py pw ph <<<"$(window_rect 'Kavrin Color Balance Plugin')"

# A click beside a trackbar's thumb moves it one page (10 steps) that way;
# the thumbs start in the middle.
# The button is held for a moment, as a hand would: the trackbar takes the
# mouse only once the palette has gone out, and a release that comes sooner
# leaves the mouse with it.
page_clicks() {  # x y count
  xdotool mousemove "$1" "$2"
  sleep 0.3
  for _ in $(seq 1 "$3"); do
    xdotool mousedown 1; sleep 0.15; xdotool mouseup 1; sleep 0.3
  done
}
page_clicks $((cx + cw / 2 + 100)) $((cy + ch / 2)) 5   # CyanRed, towards red
page_clicks $((yx + yw / 2 - 100)) $((yy + yh / 2)) 3   # YellowBlue, towards yellow
xdotool mousemove $((px + pw + 40)) $((py + ph + 40))
wine "$demo" settle

left=$(( hx < px ? hx : px ))
top=$hy
right=$(( hx + hw > px + pw ? hx + hw : px + pw ))
bottom=$(( py + ph > hy + hh ? py + ph : hy + hh ))
save_screen_part "$out" $((right - left + 16)) $((bottom - top + 16)) $((left - 8)) $((top - 8))
