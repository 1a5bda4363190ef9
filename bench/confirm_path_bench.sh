#!/usr/bin/env bash
# The decryptor's confirm path on a 256 MiB payload under wine64, against
# `orx unpack` natively on the same archive, measured in the same run and
# printed as a ratio (not a test); then the wait from OK to the first
# decrypted byte for a format-1 archive and a format-2 one at the default
# cost (what a recipient waits before anything is written), side by side.
# Needs the host and win64 builds.
#   bench/confirm_path_bench.sh [MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-256}

prefix=build/win64/wineprefix
drive_c="$prefix/drive_c"
testing/wine/wine-run.sh --prefix "$prefix" cmd /c exit >/dev/null
work="$drive_c/orx-bench"
rm -rf "$work"
mkdir -p "$work/recipient" "$work/native"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/payload.bin"
printf 'bench-pass42\n' > "$work/password"
bin=build/win64/bin
build/host/bin/orx pack "$work/payload.bin" -o "$work/archive.exe" --password-file "$work/password" \
  --archive --stub "$bin/Tarrow.exe" --cleanup "$bin/Orx_DelTool.exe" --decryptor "$bin/Orx_DecryptFile.exe"
rm "$work/payload.bin"

start=$(date +%s.%N)
build/host/bin/orx unpack "$work/archive.exe" -C "$work/native" --password-file "$work/password"
end=$(date +%s.%N)
native=$(echo "$end - $start" | bc -l)

wine_s=$(testing/wine/wine-run.sh --prefix "$prefix" "$bin/confirm_path_bench.exe" \
  'C:\orx-bench\archive.exe' 'C:\orx-bench\recipient' 'bench-pass42' | tr -d '\r')
cmp "$work/native/payload.bin" "$work/recipient/payload.bin"
printf 'payload: %d MiB\n' "$size_mib"
printf 'orx unpack (native):            %6.2f s  %7.1f MB/s\n' "$native" "$(echo "$size_mib * 1.048576 / $native" | bc -l)"
printf 'decryptor confirm path (wine64): %6.2f s  %7.1f MB/s\n' "$wine_s" "$(echo "$size_mib * 1.048576 / $wine_s" | bc -l)"
printf 'ratio decryptor / orx unpack (time): %.2f\n' "$(echo "$wine_s / $native" | bc -l)"

# OK to the first decrypted byte, each format on a 16 MiB archive (long
# enough for its temporary output to be seen), best of three.
head -c $((16 * 1024 * 1024)) /dev/urandom > "$work/first.bin"
for format in 1 2; do
  build/host/bin/orx pack "$work/first.bin" -o "$work/first-$format.exe" --format "$format" \
    --password-file "$work/password" --archive --stub "$bin/Tarrow.exe" \
    --cleanup "$bin/Orx_DelTool.exe" --decryptor "$bin/Orx_DecryptFile.exe" 2>/dev/null
  best=
  for run in 1 2 3; do
    rm -rf "$work/recipient" && mkdir -p "$work/recipient"
    s=$(testing/wine/wine-run.sh --prefix "$prefix" "$bin/confirm_path_bench.exe" \
      "C:\\orx-bench\\first-$format.exe" 'C:\orx-bench\recipient' 'bench-pass42' --first-byte |
      tr -d '\r')
    if [ -z "$best" ] || [ "$(echo "$s < $best" | bc -l)" = 1 ]; then best=$s; fi
  done
  eval "first_$format=$best"
done
printf 'OK to the first decrypted byte, format 1 (wine64):                    %6.3f s\n' "$first_1"
printf 'OK to the first decrypted byte, format 2, 600000 iterations (wine64): %6.3f s\n' "$first_2"
printf 'format 2 adds %.3f s; ratio format 2 / format 1 (wait for the first byte): %.2f\n' \
  "$(echo "$first_2 - $first_1" | bc -l)" "$(echo "$first_2 / $first_1" | bc -l)"
rm -rf "$work"
