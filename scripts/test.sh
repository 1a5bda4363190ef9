#!/usr/bin/env bash
# Runs every test on this machine: sets it up (scripts/setup.sh), makes the
# win32 release folder (orx's package carries its programs), builds the
# three presets and runs their tests: host (portable code, tools, orx's
# package, fuzz corpus replay), win64 (the Windows programs and DLLs under
# wine64 and Xvfb, and orx's package path with the win64 programs) and win32
# (static checks of the shipped 32-bit images).
# Ends with one line "N passed, N failed" over all presets.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

jobs=${ORX_JOBS:-2}
# The Windows tests mostly wait (for windows, for the cleanup tool's 5.5 s);
# those that share a screen take its lock, so more of them may run at once
# than there are cores.
test_jobs=${ORX_TEST_JOBS:-4}
passed=0
failed=0
status=0
# orx's package (host) carries the shipped programs of the win32 release
# folder, and its test (orx.installed) builds the package: the folder is
# made first. The win32 step below then has them built already.
echo "== win32: the release folder for orx's package"
if ! cmake --preset win32 >build-release.log 2>&1 ||
   ! cmake --build --preset win32 -j"$jobs" --target release >>build-release.log 2>&1; then
  tail -40 build-release.log
  echo "== win32: release failed"
  status=1
fi
rm -f build-release.log
for preset in host win64 win32; do
  echo "== $preset: configure and build"
  if ! cmake --preset "$preset" >"build-$preset.log" 2>&1 ||
     ! cmake --build --preset "$preset" -j"$jobs" >>"build-$preset.log" 2>&1; then
    tail -40 "build-$preset.log"
    echo "== $preset: build failed"
    status=1
    failed=$((failed + 1))
    continue
  fi
  # What the archive's programs leave of their slots (printed by the build).
  grep -h -- "-byte slot, " "build-$preset.log"
  rm -f "build-$preset.log"
  echo "== $preset: test"
  out=$(mktemp)
  ctest --preset "$preset" -j"$test_jobs" --timeout 600 2>&1 | tee "$out"
  rc=${PIPESTATUS[0]}
  total=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$out" | tail -1)
  if [ -n "$total" ]; then
    set -- $total
    failed=$((failed + $1))
    passed=$((passed + $2 - $1))
  fi
  rm -f "$out"
  [ "$rc" = 0 ] || status=1
done

echo "$passed passed, $failed failed"
exit $status
