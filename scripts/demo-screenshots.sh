#!/usr/bin/env bash
# demo-screenshots.sh <build dir> <program>
# Runs the program inside Wine's desktop window on a private Xvfb display,
# photographs the information page and the attribute page, then ends the
# program through its File menu so that it saves its settings.
set -eu
build=$1
exe=$2
shots="$build/screenshots"
mkdir -p "$shots"

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

"$WINE" explorer /desktop=Ostrivel,800x600 "$exe" >/dev/null 2>&1 &
program=$!

# Wine's desktop is one X window; wait until the program has drawn into it.
desk=""
for _ in $(seq 100); do
  desk=$(xdotool search --name "Ostrivel" 2>/dev/null | head -n 1) || true
  [ -n "$desk" ] && break
  sleep 0.2
done
if [ -z "$desk" ]; then
  echo "The program's window did not appear." >&2
  exit 1
fi
sleep 3

shot() { import -window root -crop 800x600+0+0 +repage "$shots/$1"; }
shot information-page.png
# Keys go to the focused X window: Wine's desktop, which hands them to the
# program's active window. Functions > S.M.A.R.T. Information, then File > Exit.
xdotool windowfocus --sync "$desk" 2>/dev/null || true
xdotool key alt+u s
sleep 1
shot attribute-page.png
xdotool key alt+f e

for _ in $(seq 50); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.2
done
echo "Screenshots:"
echo "  $shots/information-page.png"
echo "  $shots/attribute-page.png"
echo "Settings saved to $(dirname "$exe")/ostrivel.ini"
