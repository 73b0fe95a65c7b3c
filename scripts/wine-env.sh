# Sourced by the scripts that run Windows programs: Wine settings shared by all.
# Expects WINEPREFIX to be set to a prefix inside a build tree.
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Creates the prefix once, with crash dialogs off so a crashing test ends
# instead of waiting for a click.
ensure_wineprefix() {
  [ -f "$WINEPREFIX/.ostrivel-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.ostrivel-ready" ]; then
      "$WINE" wineboot -i >/dev/null 2>&1 || true
      "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
      "$WINESERVER" -w
      touch "$WINEPREFIX/.ostrivel-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}
