#!/usr/bin/env bash
# Idempotent machine set-up for building and testing: Debian packages, the
# locales the tests run under, and OpenSSL libcrypto for both MinGW targets.
# A warm machine passes through in seconds; only a fresh one pays for the
# package install (~1.5 min) and the two libcrypto builds (~3.5 min each).
set -euo pipefail

DEPS_DIR="${ORX_DEPS_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orvanta-deps}"
mkdir -p "$DEPS_DIR"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

# bc for the benchmark scripts; fonts-wqy-microhei gives the dialogs that
# Wine draws under Chinese and Japanese their glyphs (screenshots); fusefat
# and dosfstools make the FAT volume (no hard links) of the orx tests.
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
          wine wine64 xvfb x11-utils locales libssl-dev dpkg-dev
          googletest libgtest-dev python3 openssl bc fonts-wqy-microhei fusefat dosfstools)

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

# OpenSSL libcrypto for MinGW, from Debian's own source package, cached by
# version and target outside the work tree. Only the upstream tarball of the
# source package is needed; a mirror that lacks the Debian parts of the newest
# version is fine, and older versions of the same series are tried after it.
src_root="$DEPS_DIR/src"
mkdir -p "$src_root"
find_tarball() { ls "$src_root"/openssl_3.0.*.orig.tar.gz 2>/dev/null | sort -V | tail -1; }
if [ -z "$(find_tarball)" ]; then
  if ! grep -q "deb-src" /etc/apt/sources.list.d/debian.sources 2>/dev/null; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
    $SUDO apt-get update -qq
  fi
  for v in "" $(apt-cache showsrc openssl | sed -n 's/^Version: //p'); do
    (cd "$src_root" && apt-get source --download-only -qq "openssl${v:+=$v}" >/dev/null 2>&1) || true
    [ -n "$(find_tarball)" ] && break
  done
fi
tarball=$(find_tarball)
if [ -z "$tarball" ]; then echo "setup: could not fetch the openssl source package" >&2; exit 1; fi
openssl_version=$(basename "$tarball" | sed 's/^openssl_\(.*\)\.orig\.tar\.gz$/\1/')

build_openssl() {
  local target=$1 configure_target=$2 prefix_dir="$DEPS_DIR/openssl-$openssl_version-$1"
  if [ -f "$prefix_dir/.complete" ]; then return 0; fi
  local work
  work=$(mktemp -d "$DEPS_DIR/build-$target.XXXXXX")
  tar -xzf "$tarball" -C "$work" --strip-components=1
  echo "setup: building libcrypto $openssl_version for $target (a few minutes)"
  (cd "$work" &&
   ./Configure "$configure_target" --cross-compile-prefix="$target-" shared no-tests \
      no-ssl no-tls no-dtls no-engine no-legacy no-module no-dso no-sock no-ec no-dh no-dsa \
      no-des no-rc2 no-rc4 no-idea no-seed no-bf no-cast no-camellia no-aria no-sm2 no-sm3 \
      no-sm4 no-whirlpool no-md4 no-mdc2 no-rmd160 no-cms no-ts no-ocsp no-srp no-ct \
      no-comp no-ui-console no-async no-siphash no-scrypt no-ocb no-chacha no-poly1305 \
      no-blake2 no-rfc3779 no-gost no-padlockeng no-capieng no-afalgeng \
      --prefix="$prefix_dir" --libdir=lib -Os &&
   make -j"$(nproc)" build_libs) >"$work.log" 2>&1 || {
    tail -30 "$work.log" >&2; echo "setup: libcrypto build for $target failed" >&2; exit 1; }
  rm -f "$work.log"
  mkdir -p "$prefix_dir/lib" "$prefix_dir/bin" "$prefix_dir/include"
  cp "$work"/libcrypto-3*.dll "$prefix_dir/bin/"
  cp "$work"/libcrypto.dll.a "$prefix_dir/lib/"
  cp -r "$work"/include/openssl "$prefix_dir/include/"
  rm -rf "$work"
  touch "$prefix_dir/.complete"
}
build_openssl x86_64-w64-mingw32 mingw64
build_openssl i686-w64-mingw32 mingw

echo "setup: ready (OpenSSL $openssl_version in $DEPS_DIR)"
