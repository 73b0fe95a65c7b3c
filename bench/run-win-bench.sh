#!/usr/bin/env bash
# run-win-bench.sh: builds the Windows-side benchmarks, runs them under wine64
# with an Xvfb display and prints their results, then the sizes of the
# stripped 32-bit and 64-bit programs.
#   WIN64_BUILD, WIN32_BUILD  build trees (default build/win64, build/win32)
#   RUNS, TICKS, MAILS        start-ups per program, ticks timed in process,
#                             warnings sent to the local SMTP server
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
win64=${WIN64_BUILD:-$root/build/win64}
win32=${WIN32_BUILD:-$root/build/win32}
runs=${RUNS:-21}
ticks=${TICKS:-300}
mails=${MAILS:-30}

[ -f "$win64/CMakeCache.txt" ] || cmake --preset win64 -S "$root" -B "$win64" >/dev/null
cmake --build "$win64" --target ostrivel demo_drives bench_startup bench_minimal_window \
  bench_controls_window bench_ostrivel_timed bench_tick bench_mail
[ -f "$win32/CMakeCache.txt" ] || cmake --preset win32 -S "$root" -B "$win32" >/dev/null
cmake --build "$win32" --target ostrivel

win64=$(cd "$win64" && pwd)
drives="Z:$win64/demo-drives"
"$root/scripts/with-display.sh" "$win64" bash -c '
  set -eu
  echo "== start-up"
  timeout 900 "$WINE" "$1/bench/bench_startup.exe" "Z:$1/bin/ostrivel.exe" \
    "Z:$1/bench/bench_ostrivel_timed.exe" "Z:$1/bench/bench_controls_window.exe" \
    "Z:$1/bench/bench_minimal_window.exe" "$2" "$3"
  echo "== refresh tick"
  timeout 600 "$WINE" "$1/bench/bench_tick.exe" "$2" "$4"
  echo "== warning mail (local SMTP server)"
  timeout 600 "$WINE" "$1/bench/bench_mail.exe" "$5"
' bench "$win64" "$drives" "$runs" "$ticks" "$mails"

echo "== program size (stripped)"
for exe in "$win32/bin/ostrivel.exe" "$win64/bin/ostrivel.exe"; do
  printf '  %-50s %8s bytes  %s\n' "$exe" "$(stat -c %s "$exe")" "$(file -b "$exe" | cut -d, -f1)"
done
