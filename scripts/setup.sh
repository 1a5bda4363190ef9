#!/usr/bin/env bash
# Idempotent machine set-up for building and testing: Debian packages and
# the locales the tests run under. A warm machine passes through in seconds;
# a fresh one pays for the package install (about a minute). Nothing is built
# from source: the Windows images take their crypto from the system (CNG),
# OpenSSL (libssl-dev) serves the host builds only.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

# bc for the benchmark scripts; fonts-wqy-microhei gives the dialogs that
# Wine draws under Chinese and Japanese their glyphs (screenshots); fusefat
# and dosfstools make the FAT volume (no hard links) of the orx tests;
# python3-pefile reads the Windows images for their static checks;
# dpkg-dev (dpkg-shlibdeps and dpkg-buildflags) and man-db for the Debian
# package of orx and the test of its manual page; devscripts
# (hardening-check) and lintian for the test that Debian's tools accept the
# package (without their recommends, which would add minutes);
# bash-completion, which the package recommends, for the test of its
# completion as a user's shell runs it.
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
          wine wine64 xvfb x11-utils locales libssl-dev
          googletest libgtest-dev python3 python3-pefile openssl bc fonts-wqy-microhei fusefat
          dosfstools dpkg-dev man-db devscripts lintian bash-completion)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Locales: English, German, French, Traditional and Simplified Chinese,
# Portuguese and Japanese. Wine derives the system language id from them.
LOCALES=(en_US.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 zh_TW.UTF-8 zh_CN.UTF-8 pt_PT.UTF-8 ja_JP.UTF-8)
need_gen=0
for l in "${LOCALES[@]}"; do
  norm=$(echo "$l" | sed 's/UTF-8/utf8/')
  if ! locale -a 2>/dev/null | grep -qx "$norm"; then
    if ! grep -q "^$l UTF-8" /etc/locale.gen; then
      echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    need_gen=1
  fi
done
if [ $need_gen = 1 ]; then
  echo "setup: generating locales"
  $SUDO locale-gen >/dev/null
fi

# A local user without administrator rights: the tests that run the archive
# as most recipients do run Wine as this user (testing/wine/wine-run.sh
# --user). Only root can make it, and only root can switch to it.
RECIPIENT=orxrecipient
if ! id "$RECIPIENT" >/dev/null 2>&1; then
  echo "setup: adding the local user $RECIPIENT"
  $SUDO useradd --create-home --shell /usr/sbin/nologin "$RECIPIENT"
fi

echo "setup: ready"
