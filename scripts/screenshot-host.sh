#!/usr/bin/env bash
# Takes the screenshot of the stand-in host showing its built-in picture
# (docs/stand-in-host.png): builds the host, runs it on a private X display
# and grabs its window.
#   BUILD_DIR=build (default)   where the Windows build and its Wine prefix live
#   OUT=docs/stand-in-host.png  where the picture goes
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}
out=${OUT:-docs/stand-in-host.png}

cmake -S . -B "$build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build/windows" -j2 --target stand_in_host demo_session

source scripts/wine-session.sh
host_pid=""
finish() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  wine_session_stop
}
trap finish EXIT
wine_session_start "$build/windows"

wine "$build/windows/stand_in_host/StandInKavrin.exe" </dev/null >/dev/null 2>&1 &
host_pid=$!
# Waits until the host's window has painted and reads where it is.
read -r x y w h <<<"$(wine "$build/windows/demo/demo_session.exe" host-window | tr -d '\r')"
mkdir -p "$(dirname "$out")"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
echo "Saved $out ($(identify -format '%wx%h' "$out"))"
