#!/usr/bin/env bash
# The test command: installs what is missing, builds the three builds (host,
# win64, win32) and runs every host and win64 test. Prints a summary and exits
# non-zero when any step failed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/deps.sh" || exit 1

results=()
failed=0
step() {
  local name=$1
  shift
  echo
  echo "=== $name"
  if "$@"; then
    results+=("PASS  $name")
  else
    results+=("FAIL  $name")
    failed=1
  fi
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

step "build host" build host
step "build win64" build win64
step "build win32 (product)" build win32
step "tests host (ASan/UBSan, fuzz runs)" ctest --preset host --timeout 300
step "tests win64 (wine64, Xvfb)" "$root/scripts/with-display.sh" build/win64 \
  ctest --preset win64 --timeout 300

echo
echo "=== Summary"
printf '%s\n' "${results[@]}"
if [ $failed -ne 0 ]; then
  echo "RESULT: FAILED"
  exit 1
fi
echo "RESULT: ALL PASSED"
