#!/usr/bin/env bash
# demo-screenshots.sh <build dir> <program>
# Runs the program inside Wine's desktop window on a private Xvfb display,
# photographs the information page and the attribute page, then ends the
# program through its File menu so that it saves its settings. With
# OSTRIVEL_DPI set (say 144), the prefix's LogPixels is that DPI for the run
# and put back afterwards; the pictures are then named after it.
set -eu
build=$1
exe=$2
export WINEPREFIX="${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}"
. "$(dirname "$0")/wine-env.sh"
shots="$build/screenshots"
mkdir -p "$shots"

dpi=${OSTRIVEL_DPI:-96}
width=$((800 * dpi / 96))
height=$((600 * dpi / 96))
suffix=""
[ "$dpi" = 96 ] || suffix="-$dpi"
desktop_key='HKCU\Control Panel\Desktop'
before=""

restore_dpi() {
  [ "$dpi" = 96 ] && return 0
  if [ -n "$before" ]; then
    "$WINE" reg add "$desktop_key" /v LogPixels /t REG_DWORD /d "$before" /f >/dev/null 2>&1
  else
    "$WINE" reg delete "$desktop_key" /v LogPixels /f >/dev/null 2>&1
  fi
  "$WINESERVER" -w
}

start_xvfb "$((width > 1024 ? width : 1024))x$((height > 768 ? height : 768))"
trap 'restore_dpi; stop_wine_and_display' EXIT
ensure_wineprefix
if [ "$dpi" != 96 ]; then
  value=$("$WINE" reg query "$desktop_key" /v LogPixels 2>/dev/null | tr -d '\r' |
    awk '/LogPixels/ { print $3 }') || true
  [ -z "$value" ] || before=$((value))
  "$WINE" reg add "$desktop_key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
fi

"$WINE" explorer /desktop=Ostrivel,${width}x${height} "$exe" >/dev/null 2>&1 &
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

shot() { import -window root -crop ${width}x${height}+0+0 +repage "$shots/$1$suffix.png"; }
shot information-page
# Keys go to the focused X window: Wine's desktop, which hands them to the
# program's active window. Functions > S.M.A.R.T. Information, then File > Exit.
xdotool windowfocus --sync "$desk" 2>/dev/null || true
xdotool key alt+u s
sleep 1
shot attribute-page
xdotool key alt+f e

ended=0
for _ in $(seq 50); do
  if ! kill -0 "$program" 2>/dev/null; then ended=1; break; fi
  sleep 0.2
done
echo "Screenshots:"
echo "  $shots/information-page$suffix.png"
echo "  $shots/attribute-page$suffix.png"
if [ $ended -eq 0 ]; then
  echo "The program did not end through File > Exit." >&2
  exit 1
fi
echo "Settings saved to $(dirname "$exe")/ostrivel.ini"
