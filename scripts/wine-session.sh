# Sourced by the test and demo scripts: a Wine prefix of the build's own and a
# private X display with one wineserver, started and stopped together.
#   wine_session_start BUILD_DIR   exports WINEPREFIX, DISPLAY, WINEDEBUG ...
#   wine_session_stop              stops the wineserver and the X server

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko install prompts

wine_prepare_prefix() {
  local prefix=$1
  if [ ! -f "$prefix/system.reg" ]; then
    echo "== Creating the Wine prefix $prefix (about 15 s, once)"
    mkdir -p "$prefix"
    WINEPREFIX=$prefix wineboot -i </dev/null >/dev/null 2>&1 || true
    # Without a window manager Wine otherwise waits about 2 s whenever a
    # top-level window is shown or hidden.
    WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      </dev/null >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -w || true
  fi
}

wine_session_start() {
  local build=$1
  export WINEPREFIX=$(cd "$build" && pwd)/wineprefix
  wine_prepare_prefix "$WINEPREFIX"
  if [ -z "${WINE_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_SESSION_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  wineserver -p 2>/dev/null || true
  # Start Wine's background services now, detached from the test runner's
  # output pipes; otherwise the first test inherits them and hangs.
  wine wineboot </dev/null >/dev/null 2>&1 || true
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
