#!/usr/bin/env bash
# Runs one Windows program under wine64 in a private prefix and on a private
# Xvfb display, making both on first use; the program's exit code is ours.
#
#   wine-run.sh --prefix DIR program.exe [args...]
#
# The display number is derived from the prefix path, so that two build
# folders (and two people testing at once) never share a screen.
set -euo pipefail

prefix=""
if [ "${1:-}" = "--prefix" ]; then prefix=$2; shift 2; fi
prefix=${prefix:-${ORX_WINEPREFIX:-$PWD/wineprefix}}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

export WINEPREFIX="$prefix"
export WINEDEBUG="${ORX_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
WINE=/usr/lib/wine/wine64

display=$(( 40 + $(printf '%s' "$prefix" | cksum | cut -d' ' -f1) % 400 ))
export DISPLAY=":$display"

(
  flock 9
  # A socket without a live server (left by a killed run) is cleared first.
  if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    rm -f "/tmp/.X$display-lock" "/tmp/.X11-unix/X$display"
    # Children must not inherit the lock (fd 9), or it is held as long as
    # they live.
    nohup Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9>&- &
    for _ in $(seq 100); do xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  if [ ! -f "$prefix/.ready" ]; then
    # A prefix without the mark is a half-made one (a run killed while
    # making it): start again from nothing.
    /usr/lib/wine/wineserver -k 9>&- 2>/dev/null || true
    rm -rf "${prefix:?}"/* "$prefix"/.[!.]*
    "$WINE" wineboot -i >/dev/null 2>&1 9>&- || true
    /usr/lib/wine/wineserver -w 9>&-
    touch "$prefix/.ready"
  fi
  # Start the wine server and Wine's own services detached from our output:
  # whichever process starts them passes on its standard output, and a test
  # runner waits for every holder of that pipe, long after the test ended.
  /usr/lib/wine/wineserver -p120 </dev/null >/dev/null 2>&1 9>&- || true
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"

exec "$WINE" "$@"
