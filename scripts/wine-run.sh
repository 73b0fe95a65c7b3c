#!/usr/bin/env bash
# Runs a Windows program under wine64 in the Wine prefix of the build tree that
# holds the program (never the user's own ~/.wine). Used as the cross-compiling
# emulator, so ctest runs the win64 test programs through it.
set -u
prog=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
. "$(dirname "$0")/wine-env.sh"
ensure_wineprefix
# The program's output goes to a file, printed once it has ended. A Wine
# process that the program happens to start first (a service, the desktop)
# lives on after it and keeps whatever output it inherited open: were that
# ctest's pipe, ctest would wait for it until the test's time limit.
out=$(mktemp)
"$WINE" "$prog" "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
