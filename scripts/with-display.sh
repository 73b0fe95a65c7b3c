#!/usr/bin/env bash
# with-display.sh <build dir> <command...>
# Runs a command with an Xvfb display, the build tree's Wine prefix and a
# persistent wineserver; stops both afterwards, also when the command fails.
set -u
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix"
. "$(dirname "$0")/wine-env.sh"

start_xvfb 1920x1200
trap stop_wine_and_display EXIT INT TERM
ensure_wineprefix
"$WINESERVER" -p >/dev/null 2>&1
# Start Wine's background services now, detached from our output: started by
# the first test instead, they would inherit its pipes and ctest would wait on
# them until the server ends.
"$WINE" wineboot >/dev/null 2>&1 </dev/null
"$@"
