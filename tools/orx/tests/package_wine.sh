#!/usr/bin/env bash
# The package's way to an archive, to the end: orx's install rules (those the
# .deb is made from, tools/orx/install) run into a scratch root, with the
# win64 build's three programs in place of the 32-bit release's, since no
# 32-bit program runs on this machine; the orx installed there packs an
# archive with no option naming the programs, and the archive opens through
# the real password dialog under wine64, run by a user without
# administrator rights (where the runner is root), and gives the file back.
# The package with the 32-bit programs is tested as such by orx.installed.
#   package_wine.sh WINE-RUN PREFIX HOST-BUILD BIN-DIR
# Exits 77 (skipped) when the host build is not there.
set -u
wine_run=$1 prefix=$2 host=$3 bin=$4
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$host/cmake_install.cmake" ] && [ -x "$host/bin/orx" ] ||
  { echo "no host build in $host (cmake --preset host && cmake --build --preset host)"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/orx-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The win64 programs as a release folder: the three files and their SHA256SUMS.
mkdir "$work/programs"
for program in Tarrow.exe Orx_DelTool.exe Orx_DecryptFile.exe; do
  cp "$bin/$program" "$work/programs/" || fail "no $bin/$program"
done
(cd "$work/programs" && sha256sum Tarrow.exe Orx_DelTool.exe Orx_DecryptFile.exe > SHA256SUMS)
DESTDIR="$work/root" cmake -DCMAKE_INSTALL_PREFIX=/usr -DORX_WINDOWS_PROGRAMS="$work/programs" \
  -P "$host/cmake_install.cmake" > "$work/install.log" || { cat "$work/install.log"; fail "install"; }
orx=$work/root/usr/bin/orx
cmp "$work/programs/SHA256SUMS" "$work/root/usr/share/doc/orx/SHA256SUMS" ||
  fail "the documented SHA-256 are not the programs'"

# An archive with no option naming its programs.
sample="$work/Quarterly report.txt"
{ echo "Quarterly report"; head -c 100000 /dev/urandom | base64; } > "$sample"
printf 'OpenSesame42\n' > "$work/pw"
(cd "$work" && "$orx" pack "Quarterly report.txt" -o "Quarterly report.exe" --archive \
  --password-file pw --cost 100000) || fail "pack --archive with the installed programs"
machines=$("$orx" inspect --json "$work/Quarterly report.exe" | grep -o '"machine": "[^"]*"' | sort -u)
[ "$machines" = '"machine": "x86-64"' ] || fail "the archive carries $machines"

# The recipient opens it in the real dialog.
user=()
[ "$(id -u)" = 0 ] && user=(--user orxrecipient)
run() { "$wine_run" --prefix "$prefix" "${user[@]}" "$@"; }
drive_c="$(run --show-prefix)/drive_c" || fail "no Wine prefix"
owner=$(stat -c %U "$drive_c")
install -d -o "$owner" "$drive_c/orx-package" "$drive_c/orx-package/out"
rm -f "$drive_c/orx-package/out/Quarterly report.txt"
install -o "$owner" -m 644 "$work/Quarterly report.exe" "$sample" "$drive_c/orx-package/"
run "$bin/orx_demo_recipient.exe" 'C:\orx-package\Quarterly report.exe' 'C:\orx-package\out' \
  'OpenSesame42' 'C:\orx-package\Quarterly report.txt' || fail "the archive did not give the file back"
cmp "$sample" "$drive_c/orx-package/out/Quarterly report.txt" || fail "the file differs"
echo "package path under wine64: passed"
