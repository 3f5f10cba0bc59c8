#!/usr/bin/env bash
# Runs a command of this project (the test command by default) in a fresh,
# minimal Debian root of the release named, with a clean clone of the
# project's committed HEAD inside it. CI runs the tests this way on Debian 13
# (Wine 10.0) beside the run on the machine itself (Debian 12, Wine 8.0), so
# that both releases, their package names and their Wine, are proven on
# every change.
#   sudo bash scripts/test-on-debian.sh trixie ["bash scripts/test.sh"]
#   KEEP_ROOT=1   leave the root (and its build) in place afterwards
# Needs root, the Debian package mirror and mmdebstrap (installed when
# missing). The root lives under ${DEBIAN_ROOTS:-/var/tmp}; the command's
# output goes to the terminal.
set -euo pipefail
release=${1:?"name a Debian release, such as trixie"}
command=${2:-bash scripts/test.sh}
project=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "test-on-debian.sh: needs root, to build a Debian root and run in it" >&2
  exit 1
fi
if ! command -v mmdebstrap >/dev/null; then
  apt-get update -q >/dev/null || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mmdebstrap >/dev/null
fi

work=$(mktemp -d "${DEBIAN_ROOTS:-/var/tmp}/colour-balance-$release.XXXXXX")
root=$work/root

unmount_all() {
  local m
  for m in tmp/.X11-unix dev sys proc; do umount -R -l "$root/$m" 2>/dev/null || true; done
}
# The root holds bind mounts of /dev and /sys: it is removed only once
# nothing is mounted below it any more.
finish() {
  unmount_all
  if grep -q " $root/" /proc/self/mounts; then
    echo "test-on-debian.sh: something is still mounted under $root; left in place" >&2
  elif [ -z "${KEEP_ROOT:-}" ]; then
    rm -rf "$work"
  else
    echo "== The Debian $release root stays in $root"
  fi
}
trap finish EXIT

echo "== Building a minimal Debian $release root in $root (a minute or two)"
mmdebstrap --variant=minbase --include=ca-certificates "$release" "$root" >"$work/mmdebstrap.log" 2>&1 ||
  { tail -n 20 "$work/mmdebstrap.log" >&2; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
# X servers inside and outside share one folder of sockets, so that one
# started inside never takes a display number that one outside uses.
mkdir -p /tmp/.X11-unix "$root/tmp/.X11-unix" && chmod 1777 /tmp/.X11-unix
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

mkdir -p "$root/project"
git clone -q "$project" "$root/project/main"
echo "== Running '$command' on Debian $release"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 bash -c "cd /project/main && $command"
