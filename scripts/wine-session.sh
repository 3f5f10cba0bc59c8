# Sourced by the test and demo scripts: a Wine prefix of the build's own and a
# private X display with one wineserver, started and stopped together.
#   wine_session_start BUILD_DIR   exports WINEPREFIX, DISPLAY, WINEDEBUG ...
#   wine_session_stop              stops the wineserver and the X server
# wine_session_start prints what went wrong and returns 1 when the prefix
# cannot be made, the X server does not come up or Wine does not start, so
# that no test or demo runs without a working Wine. Its steps check their own
# results and do not rely on the caller's `set -e`.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko install prompts

wine_session_fail() {
  echo "Wine session: $*" >&2
  return 1
}

# Prints the last lines of a log after a failure.
wine_session_show_log() {
  [ -s "$1" ] && tail -n 15 "$1" | sed 's/^/  | /' >&2
  return 0
}

wine_prepare_prefix() {
  local prefix=$1 log=$2
  # A prefix that Wine made by itself (a test program run by hand, ctest's
  # test discovery) lacks the setting below, so it is checked every time.
  if [ -f "$prefix/system.reg" ] && grep -q '^"Managed"="N"' "$prefix/user.reg" 2>/dev/null; then
    return 0
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    echo "== Creating the Wine prefix $prefix (about 15 s, once)"
    mkdir -p "$prefix" || { wine_session_fail "cannot create the folder $prefix"; return 1; }
    if ! WINEPREFIX=$prefix wineboot -i </dev/null >"$log" 2>&1 ||
       ! WINEPREFIX=$prefix wineserver -w || [ ! -f "$prefix/system.reg" ]; then
      wine_session_show_log "$log"
      rm -rf "$prefix"   # a half-made prefix would pass for a finished one next time
      wine_session_fail "could not create the Wine prefix $prefix (wineboot -i failed; its output is in $log)"
      return 1
    fi
  fi
  # Without a window manager Wine otherwise waits about 2 s whenever a
  # top-level window is shown or hidden.
  if ! WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
       </dev/null >>"$log" 2>&1 || ! WINEPREFIX=$prefix wineserver -w; then
    wine_session_show_log "$log"
    rm -rf "$prefix"
    wine_session_fail "could not set up the Wine prefix $prefix (wine reg add failed; its output is in $log)"
    return 1
  fi
}

wine_session_start() {
  local build=$1 tool
  for tool in wine wineserver wineboot; do
    command -v "$tool" >/dev/null 2>&1 ||
      { wine_session_fail "no '$tool' command (Debian package wine; bash scripts/setup-machine.sh installs it)"; return 1; }
  done
  [ -d "$build" ] || { wine_session_fail "no build folder $build"; return 1; }
  export WINEPREFIX
  WINEPREFIX=$(cd "$build" && pwd)/wineprefix
  local log
  log=$(cd "$build" && pwd)/wine-session.log
  wine_prepare_prefix "$WINEPREFIX" "$log" || return 1
  if [ -z "${WINE_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null 2>&1 ||
      { wine_session_fail "no 'Xvfb' command (Debian package xvfb)"; return 1; }
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$log.xvfb" 2>&1 &
    WINE_SESSION_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$WINE_SESSION_XVFB" 2>/dev/null || break
      sleep 0.1
    done
    if [ ! -e "/tmp/.X11-unix/X$n" ]; then
      wine_session_show_log "$log.xvfb"
      wine_session_stop
      wine_session_fail "the X server Xvfb :$n did not come up within 10 s"
      return 1
    fi
  fi
  # Starts the wineserver that the whole session shares; it exits non-zero
  # when one already runs for this prefix, which is as good.
  wineserver -p 2>/dev/null || true
  # Start Wine's background services now, detached from the test runner's
  # output pipes; otherwise the first test inherits them and hangs.
  if ! wine wineboot </dev/null >"$log" 2>&1; then
    wine_session_show_log "$log"
    wine_session_stop
    wine_session_fail "'wine wineboot' failed in $WINEPREFIX: Wine does not start (output in $log)"
    return 1
  fi
  # One desktop for the whole session: without a program holding it, Wine
  # closes the desktop after each test program and reopens it for the next,
  # and a program started during that change now and then fails to start.
  local keeper="$build/tests/support/desktop_keeper.exe"
  if [ -f "$keeper" ]; then
    wine "$keeper" </dev/null >/dev/null 2>&1 &
  fi
}

wine_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  if [ -n "${WINE_SESSION_XVFB:-}" ]; then
    kill "$WINE_SESSION_XVFB" 2>/dev/null || true
    wait "$WINE_SESSION_XVFB" 2>/dev/null || true
    WINE_SESSION_XVFB=""
  fi
}
