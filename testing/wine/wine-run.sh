#!/usr/bin/env bash
# Runs one Windows program under wine64 in a private prefix and on a private
# Xvfb display, making both on first use; the program's exit code is ours.
#
#   wine-run.sh [--prefix DIR] [--user NAME] program.exe [args...]
#   wine-run.sh [--prefix DIR] [--user NAME] --show-prefix
#
# The display number is derived from the prefix path, so that two build
# folders (and two people testing at once) never share a screen.
#
# --user NAME runs the program as the local user NAME (made by
# scripts/setup.sh), as a recipient without administrator rights meets
# Windows: in a prefix of that user's own (under their home; Wine refuses a
# prefix it does not own) whose Windows folder belongs to root, with its
# temp subfolder open to everyone as on Windows, so that what the program
# may not write is refused by the system itself. The program's folder
# (its .exe and .dll files) is copied to C:\orx-bin, which the user can
# read wherever the build is. C:\orx-readonly is a folder the user may
# read but not write, C:\windows\temp\Orx_Decrypt one that another user
# made in the shared temporary folder. --show-prefix makes the prefix and
# prints where it is (for a script that puts files into it). Needs root to switch users; exits 77 (skipped)
# without it.
set -euo pipefail

prefix=""
user=""
show=0
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    --show-prefix) show=1; shift ;;
    *) break ;;
  esac
done
prefix=${prefix:-${ORX_WINEPREFIX:-$PWD/wineprefix}}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

export WINEDEBUG="${ORX_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
WINE=/usr/lib/wine/wine64

as_user=()
if [ -n "$user" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "wine-run: running as $user needs root" >&2
    exit 77
  fi
  home=$(getent passwd "$user" | cut -d: -f6)
  [ -n "$home" ] || { echo "wine-run: no user $user (scripts/setup.sh makes it)" >&2; exit 1; }
  prefix="$home/wine-$(basename "$prefix")-$(printf '%s' "$prefix" | cksum | cut -d' ' -f1)"
  install -d -o "$user" -g "$user" -m 700 "$prefix"
  as_user=(runuser -u "$user" -- env HOME="$home" USER="$user" LOGNAME="$user")
fi
export WINEPREFIX="$prefix"

display=$(( 40 + $(printf '%s' "$prefix" | cksum | cut -d' ' -f1) % 400 ))
export DISPLAY=":$display"

(
  flock 9
  # A socket without a live server (left by a killed run) is cleared first.
  if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    rm -f "/tmp/.X$display-lock" "/tmp/.X11-unix/X$display"
    # Children must not inherit the lock (fd 9), or it is held as long as
    # they live. Another user's programs may draw only with -ac.
    access=()
    [ -n "$user" ] && access=(-ac)
    nohup Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp "${access[@]}" >/dev/null 2>&1 9>&- &
    for _ in $(seq 100); do xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  if [ ! -f "$prefix/.ready" ]; then
    # A prefix without the mark is a half-made one (a run killed while
    # making it): start again from nothing.
    "${as_user[@]}" /usr/lib/wine/wineserver -k 9>&- 2>/dev/null || true
    rm -rf "${prefix:?}"/* "$prefix"/.[!.]*
    "${as_user[@]}" "$WINE" wineboot -i >/dev/null 2>&1 9>&- || true
    "${as_user[@]}" /usr/lib/wine/wineserver -w 9>&-
    if [ -n "$user" ]; then
      windows="$prefix/drive_c/windows"
      chown -R root:root "$windows"
      chmod 755 "$windows"
      chmod 1777 "$windows/temp"
    fi
    touch "$prefix/.ready"
  fi
  if [ -n "$user" ]; then
    # What other users left: a folder the user may read but not write, and
    # in the shared temporary folder one at the name the archive uses for
    # the recipient's own folder, open to all but someone else's.
    install -d -o root -g root -m 755 "$prefix/drive_c/orx-readonly"
    install -d -o root -g root -m 777 "$prefix/drive_c/windows/temp/Orx_Decrypt"
  fi
  # Start the wine server and Wine's own services detached from our output:
  # whichever process starts them passes on its standard output, and a test
  # runner waits for every holder of that pipe, long after the test ended.
  "${as_user[@]}" /usr/lib/wine/wineserver -p120 </dev/null >/dev/null 2>&1 9>&- || true
  "${as_user[@]}" "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"

if [ "$show" = 1 ]; then
  echo "$prefix"
  exit 0
fi

if [ -n "$user" ] && [ -f "${1:-}" ]; then
  # The program and its neighbours, where the user can read them.
  bin="$prefix/drive_c/orx-bin"
  install -d -o "$user" -g "$user" "$bin"
  find "$(dirname "$1")" -maxdepth 1 -type f \( -name '*.exe' -o -name '*.dll' \) \
    -exec cp -p -u -t "$bin" {} +
  chown -R "$user:$user" "$bin"
  program="C:\\orx-bin\\$(basename "$1")"
  shift
  exec "${as_user[@]}" WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG" \
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES" WINEARCH="$WINEARCH" DISPLAY="$DISPLAY" \
    "$WINE" "$program" "$@"
fi
exec "${as_user[@]}" "$WINE" "$@"
