#!/usr/bin/env bash
# How soon an archive answers its start under wine64, for archives of
# 64 MiB, 512 MiB and 2 GiB: the time to its first window (the stub's
# progress window while it copies the payload, or the password dialog for
# an archive placed within the threshold) and to the password dialog,
# beside `cp` of the same archive file measured in the same run, printed as
# ratios (not a test). The archives are a small packed payload extended by
# a hole, which the stub and `cp --sparse=never` both read as zeros and
# write out for real. Needs the host and win64 builds and about 5 GiB free.
#   bench/stub_window_bench.sh [RUNS]   (best of RUNS, default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-2}

prefix=build/win64/wineprefix
drive_c="$prefix/drive_c"
testing/wine/wine-run.sh --prefix "$prefix" cmd /c exit >/dev/null
work="$drive_c/orx-stub-bench"
rm -rf "$work"
mkdir -p "$work/recipient"
trap 'rm -rf "$work" "$drive_c"/windows/temp/Orx_Decrypt_*.tmp' EXIT
head -c 4096 /dev/urandom > "$work/sample.bin"
printf 'bench-pass42\n' > "$work/password"
bin=build/win64/bin
build/host/bin/orx pack "$work/sample.bin" -o "$work/archive.exe" --password-file "$work/password" \
  --cost 100000 --archive --stub "$bin/Tarrow.exe" --cleanup "$bin/Orx_DelTool.exe" \
  --decryptor "$bin/Orx_DecryptFile.exe" 2>/dev/null

best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

printf '%-8s %9s %13s %9s %15s %11s\n' size "cp (s)" "window (s)" "÷ cp" "dialog (s)" "÷ cp"
for mib in 64 512 2048; do
  truncate -s "${mib}M" "$work/archive.exe"
  cp_s= window_s= dialog_s=
  for run in $(seq "$runs"); do
    rm -f "$work/copy.bin" "$drive_c"/windows/temp/Orx_Decrypt_*.tmp
    sync
    start=$(date +%s.%N)
    cp --sparse=never "$work/archive.exe" "$work/copy.bin"
    end=$(date +%s.%N)
    cp_s=$(best "$cp_s" "$(echo "$end - $start" | bc -l)")
    rm -f "$work/copy.bin"
    sync
    read -r w d < <(testing/wine/wine-run.sh --prefix "$prefix" "$bin/stub_window_bench.exe" \
      'C:\orx-stub-bench\archive.exe' 'C:\orx-stub-bench\recipient' | tr -d '\r')
    window_s=$(best "$window_s" "$w")
    dialog_s=$(best "$dialog_s" "$d")
  done
  printf '%-8s %9.3f %13.3f %9.2f %15.3f %11.2f\n' "${mib} MiB" "$cp_s" "$window_s" \
    "$(echo "$window_s / $cp_s" | bc -l)" "$dialog_s" "$(echo "$dialog_s / $cp_s" | bc -l)"
done
