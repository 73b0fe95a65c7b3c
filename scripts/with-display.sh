#!/usr/bin/env bash
# with-display.sh <build dir> <command...>
# Runs a command with an Xvfb display, the build tree's Wine prefix and a
# persistent wineserver; stops both afterwards, also when the command fails.
set -u
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix"
. "$(dirname "$0")/wine-env.sh"

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
ensure_wineprefix
"$WINESERVER" -p >/dev/null 2>&1
# Start Wine's background services now, detached from our output: started by
# the first test instead, they would inherit its pipes and ctest would wait on
# them until the server ends.
"$WINE" wineboot >/dev/null 2>&1 </dev/null
"$@"
