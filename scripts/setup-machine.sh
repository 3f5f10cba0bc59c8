#!/usr/bin/env bash
# Checks that every command and library the build, the tests, the fuzzers,
# the main job and the screenshots use is present, and installs the Debian
# packages that provide whatever is missing. It checks what the scripts run,
# not package names: a package can be installed and still lack a command
# (wine64 has no `wine`; clang without its runtime package cannot link a
# fuzzer). Package names are chosen for the Debian release at hand (Debian
# 12 and 13), and a package the release does not offer is left out of the
# install, so that it cannot stop the others; what is then still missing is
# named at the end. Needs root (or passwordless sudo) when something is
# missing.
set -euo pipefail

# One line per item: "how to check|what it is|Debian package".
#   cmd:NAME  a command on PATH      file:PATH  a file that must exist
#   clang-rt:LIB  one of clang's runtime libraries
# The package "clang-runtime" stands for the runtime package that matches the
# clang that runs (see clang_runtime_package).
items=(
  "cmd:cmake|cmake|cmake"
  "cmd:make|make|make"
  "cmd:g++|g++|g++"
  "cmd:clang|clang|clang"
  "cmd:clang++|clang++|clang"
  "clang-rt:libclang_rt.fuzzer-x86_64.a|clang's libFuzzer runtime|clang-runtime"
  "clang-rt:libclang_rt.asan-x86_64.a|clang's AddressSanitizer runtime|clang-runtime"
  "clang-rt:libclang_rt.ubsan_standalone-x86_64.a|clang's UndefinedBehaviorSanitizer runtime|clang-runtime"
  "cmd:x86_64-w64-mingw32-gcc-posix|x86_64-w64-mingw32-gcc-posix|gcc-mingw-w64-x86-64-posix"
  "cmd:x86_64-w64-mingw32-g++-posix|x86_64-w64-mingw32-g++-posix|g++-mingw-w64-x86-64-posix"
  "cmd:x86_64-w64-mingw32-windres|x86_64-w64-mingw32-windres|binutils-mingw-w64-x86-64"
  "cmd:wine|wine|wine"
  "cmd:wineserver|wineserver|wine"
  "cmd:winepath|winepath|wine"
  "file:/usr/lib/wine/wine64|Wine's 64-bit loader|wine64"
  "cmd:Xvfb|Xvfb|xvfb"
  "cmd:xdotool|xdotool|xdotool"
  "cmd:xwininfo|xwininfo|x11-utils"
  "cmd:convert|ImageMagick's convert|imagemagick"
  "cmd:import|ImageMagick's import|imagemagick"
  "cmd:identify|ImageMagick's identify|imagemagick"
  "cmd:python3|python3|python3"
  "file:/usr/src/googletest/CMakeLists.txt|GoogleTest's sources|googletest"
  "file:/usr/include/benchmark/benchmark.h|Google Benchmark's header|libbenchmark-dev"
  "file:/usr/lib/x86_64-linux-gnu/libbenchmark.so|Google Benchmark's library|libbenchmark-dev"
  "file:/usr/include/zlib.h|zlib's header|zlib1g-dev"
  "file:/usr/lib/x86_64-linux-gnu/libz.so|zlib's library|zlib1g-dev"
  "file:/usr/x86_64-w64-mingw32/include/zlib.h|zlib's header for MinGW-w64|libz-mingw-w64-dev"
  "file:/usr/x86_64-w64-mingw32/lib/libz.a|zlib's library for MinGW-w64|libz-mingw-w64-dev"
  "file:/usr/include/stb/stb_image_write.h|stb_image_write.h|libstb-dev"
)

present() {
  local check=$1
  case $check in
    cmd:*) command -v "${check#cmd:}" >/dev/null 2>&1 ;;
    file:*) [ -e "${check#file:}" ] ;;
    # clang prints the name back unchanged when it has no such file.
    clang-rt:*) command -v clang >/dev/null 2>&1 &&
                [ -f "$(clang -print-file-name="${check#clang-rt:}")" ] ;;
  esac
}

# clang's sanitizer and fuzzer runtimes come in a package per clang version
# (libclang-rt-14-dev on Debian 12, libclang-rt-19-dev on Debian 13): the one
# that matches the installed clang, or, before clang is installed, the one
# that goes with the release's default clang.
clang_runtime_package() {
  local version
  if command -v clang >/dev/null 2>&1 && version=$(clang -dumpversion 2>/dev/null); then
    echo "libclang-rt-${version%%.*}-dev"
  else
    echo "libclang-rt-dev"
  fi
}

# Fills `missing` with the items that are absent and `packages` with the
# packages that provide them, each once.
find_missing() {
  missing=() packages=()
  local item check what package
  for item in "${items[@]}"; do
    IFS='|' read -r check what package <<<"$item"
    present "$check" && continue
    [ "$package" = clang-runtime ] && package=$(clang_runtime_package)
    missing+=("$what (Debian package $package)")
    [[ " ${packages[*]} " == *" $package "* ]] || packages+=("$package")
  done
}

find_missing
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== Installing ${packages[*]} (this takes a few minutes the first time)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q || true
# One name the release does not know would fail the whole install.
offered=()
for package in "${packages[@]}"; do
  if apt-cache show --no-all-versions "$package" >/dev/null 2>&1; then
    offered+=("$package")
  else
    echo "== This Debian release has no package $package" >&2
  fi
done
[ ${#offered[@]} -eq 0 ] || $sudo apt-get install -y -q --no-install-recommends "${offered[@]}" || true

find_missing
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Still missing after installing:" >&2
printf '  %s\n' "${missing[@]}" >&2
exit 1
