#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need,
# when any of them is missing. Needs root (or passwordless sudo) on first use.
set -euo pipefail

packages=(cmake g++ make googletest libbenchmark-dev g++-mingw-w64-x86-64
          wine64 xvfb x11-apps imagemagick clang xdotool python3)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== Installing missing packages: ${missing[*]} (this takes a few minutes the first time)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
