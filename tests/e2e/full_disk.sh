#!/usr/bin/env bash
# A small full disk for the Wine prefix: a 256 KiB tmpfs seen as drive T:,
# so that a decryption runs out of space for real.
#   full_disk.sh mount PREFIX DIR   |   full_disk.sh unmount PREFIX DIR
# Mounting needs root; without it the drive is simply not there and the
# test that needs it skips itself.
set -u
action=$1 prefix=$2 dir=$3
case "$action" in
  mount)
    # The prefix must be whole before a drive is added to it.
    "$(dirname "$0")/../../testing/wine/wine-run.sh" --prefix "$prefix" cmd /c exit >/dev/null 2>&1
    mkdir -p "$dir"
    mountpoint -q "$dir" || mount -t tmpfs -o size=256k orx-full-disk "$dir" 2>/dev/null ||
      { echo "full_disk: cannot mount a tmpfs here; the full-disk test will skip"; exit 0; }
    rm -rf "${dir:?}"/*
    ln -sfn "$dir" "$prefix/dosdevices/t:"
    ;;
  unmount)
    rm -f "$prefix/dosdevices/t:"
    mountpoint -q "$dir" && umount "$dir"
    exit 0
    ;;
esac
