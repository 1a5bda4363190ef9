#!/usr/bin/env bash
# The main job, end to end on this machine: builds everything, makes a
# self-decrypting archive from a sample file with a password, runs it under
# Wine as a recipient would (a user without administrator rights, the
# password typed into the real dialog) and checks the decrypted file
# against the original.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
for preset in host win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 >/dev/null
done

work=$(mktemp -d /tmp/orx-demo.XXXXXX)
sample="$work/Quarterly report.txt"
{
  echo "Quarterly report"
  echo "Revenue grew in every region; details follow."
  head -c 200000 /dev/urandom | base64
} > "$sample"
printf 'OpenSesame42\n' > "$work/password"

# The 32-bit images are what ships; the archive for the run here carries the
# 64-bit ones, since only those run on this machine.
for preset in win32 win64; do
  bin=build/$preset/bin
  build/host/bin/orx pack "$sample" -o "$work/archive-$preset.exe" --password-file "$work/password" \
    --archive --stub "$bin/Tarrow.exe" --cleanup "$bin/Orx_DelTool.exe" \
    --decryptor "$bin/Orx_DecryptFile.exe"
done
build/host/bin/orx inspect "$work/archive-win64.exe"

# The recipient is a local user without administrator rights, as most are:
# Windows then refuses the Windows folder and the archive uses the user's
# own folder.
user=orxrecipient
wine_run() { testing/wine/wine-run.sh --prefix build/win64/wineprefix-demo --user "$user" "$@"; }
drive_c="$(wine_run --show-prefix)/drive_c"
install -d -o "$user" -g "$user" "$drive_c/orx-demo" "$drive_c/orx-demo/Recipient folder"
install -o "$user" -g "$user" -m 644 "$work/archive-win64.exe" "$drive_c/orx-demo/Quarterly report.exe"
install -o "$user" -g "$user" -m 644 "$sample" "$drive_c/orx-demo/Quarterly report.txt"
rm -f "$drive_c/orx-demo/Recipient folder/Quarterly report.txt"

wine_run build/win64/bin/orx_demo_recipient.exe \
  'C:\orx-demo\Quarterly report.exe' 'C:\orx-demo\Recipient folder' 'OpenSesame42' \
  'C:\orx-demo\Quarterly report.txt' 'C:\orx-demo\decrypted-message.bmp'
echo "recipient's own folder after the run: $(ls "$drive_c/users/$user/Temp/Orx_Decrypt" | tr '\n' ' ')"

# The same archive opens without Windows too.
mkdir -p "$work/unpacked"
build/host/bin/orx unpack "$work/archive-win32.exe" -C "$work/unpacked" --password-file "$work/password"
cmp "$sample" "$work/unpacked/Quarterly report.txt" && echo "orx unpack: identical"
echo "demo: done (files in $work; the archive shipped to recipients is $work/archive-win32.exe)"
