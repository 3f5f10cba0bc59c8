#!/usr/bin/env bash
# Takes the screenshot of the stand-in host showing its built-in picture
# (docs/stand-in-host.png): builds the host, runs it on a private X display
# and grabs its window.
#   BUILD_DIR=build (default)   where the Windows build and its Wine prefix live
#   OUT=docs/stand-in-host.png  where the picture goes
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${OUT:-docs/stand-in-host.png}

source scripts/x-windows.sh
screenshot_session_start "$build" stand_in_host demo_session

start_windows_program "$build/windows/stand_in_host/StandInKavrin.exe"
# Waits until the host's window has painted and reads where it is.
read -r x y w h <<<"$(wine "$build/windows/demo/demo_session.exe" host-window | tr -d '\r')"
save_screen_part "$out" "$w" "$h" "$x" "$y"
