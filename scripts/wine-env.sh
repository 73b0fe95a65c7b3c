# Sourced by the scripts that run Windows programs: Wine settings shared by all.
# Expects WINEPREFIX to be set to a prefix inside a build tree.
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Creates the prefix once, with crash dialogs off so a crashing test ends
# instead of waiting for a click, and with windows kept away from any X window
# manager: without one (as under Xvfb), Wine waits two seconds for its answer
# every time a top-level window is hidden.
ensure_wineprefix() {
  [ -f "$WINEPREFIX/.ostrivel-ready-2" ] && return 0
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.ostrivel-ready-2" ]; then
      "$WINE" wineboot -i >/dev/null 2>&1 || true
      "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
      "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
      "$WINESERVER" -w
      touch "$WINEPREFIX/.ostrivel-ready-2"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts a private Xvfb display on the first free number from 90 and exports
# DISPLAY; XVFB_PID is the server's process. $1: the screen's size (the tests
# want 1920x1200 for the window at 192 DPI; keystrokes sent with xdotool reach
# Wine's desktop window only on a screen as small as 1024x768).
start_xvfb() {
  local n=90 size=${1:-1024x768}
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do
    n=$((n + 1))
  done
  Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
}

# Ends the prefix's wineserver (and every Wine process in it) and the display.
stop_wine_and_display() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$XVFB_PID" >/dev/null 2>&1 || true
  wait "$XVFB_PID" 2>/dev/null || true
}
