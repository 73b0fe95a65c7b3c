#!/usr/bin/env bash
# The run command: builds the program and starts it on the demo drives (emulated
# from snapshots that the build generates). With a display it opens the window;
# without one it runs under Xvfb inside Wine's desktop window, saves a
# screenshot of each page, prints their paths and closes the program normally.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/deps.sh"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target ostrivel ostrivel_help demo_drives

build="$root/build/win64"
exe="$build/bin/ostrivel.exe"
export WINEPREFIX="$build/wineprefix"
. "$root/scripts/wine-env.sh"
ensure_wineprefix
demo="$build/demo-drives"
export OSTRIVEL_DRIVES="Z:${demo//\//\\}"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$WINE" "$exe"
fi

exec "$root/scripts/demo-screenshots.sh" "$build" "$exe"
