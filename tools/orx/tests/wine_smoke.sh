#!/usr/bin/env bash
# The Windows orx under Wine: round trips of both payload formats with a
# non-ASCII stored name and a UTF-8 password file (format 2's key through
# CNG's PBKDF2), the wrong-password and existing-file refusals, the
# zone information of a download carried to what is unpacked, an archive
# from the real programs beside orx.exe (named, and by default), refused
# with two of them swapped, and standard input and output.
#   wine_smoke.sh WINE-RUN PREFIX ORX.EXE
set -u
run="$1 --prefix $2"
orx=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/orx-wine.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

head -c 200000 /dev/urandom > "résumé 中.bin"
printf 's\xc3\xa9same\n' > pw
printf 'wrong\n' > bad
mkdir out
$run "$orx" pack "résumé 中.bin" -o p.bin --cost 100000 --password-file pw || fail "pack"
$run "$orx" inspect p.bin > info.txt || fail "inspect"
grep -q "PBKDF2-HMAC-SHA256" info.txt || fail "inspect shows no key derivation"
$run "$orx" pack "résumé 中.bin" -o p1.bin --format 1 --key-bits 192 --password-file pw \
  --no-password-rules 2>/dev/null || fail "pack of format 1"
$run "$orx" inspect p1.bin | grep -q "aes-192-cfb" || fail "inspect shows no cipher"
mkdir out1
$run "$orx" unpack p1.bin -C out1 --password-file pw || fail "unpack of format 1"
cmp "résumé 中.bin" "out1/résumé 中.bin" || fail "round trip of format 1 differs"
$run "$orx" unpack p.bin -C out --password-file bad; rc=$?
[ $rc = 3 ] || fail "wrong password gave $rc"
[ -z "$(ls out)" ] || fail "wrong password left a file"
$run "$orx" unpack p.bin -C out --password-file pw || fail "unpack"
cmp "résumé 中.bin" "out/résumé 中.bin" || fail "round trip differs"
$run "$orx" unpack p.bin -C out --password-file pw; rc=$?
[ $rc = 6 ] || fail "existing file gave $rc"
# A download's zone information (Wine keeps the stream as a sibling file)
# goes with what is unpacked from it.
printf '[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://mail.example/x\r\n' > "p.bin:Zone.Identifier"
mkdir zoned
$run "$orx" unpack p.bin -C zoned --password-file pw || fail "unpack of a download"
cmp "p.bin:Zone.Identifier" "zoned/résumé 中.bin:Zone.Identifier" || fail "zone information lost"
rm "p.bin:Zone.Identifier"
bin=$(dirname "$orx")
cp "$bin/Tarrow.exe" "$bin/Orx_DelTool.exe" "$bin/Orx_DecryptFile.exe" .
$run "$orx" archive --stub Tarrow.exe --cleanup Orx_DelTool.exe --decryptor Orx_DecryptFile.exe \
  --payload p.bin -o a.exe || fail "archive from the real programs"
cmp <(tail -c +78337 a.exe) p.bin || fail "archive does not end with the payload"
$run "$orx" archive --stub Orx_DecryptFile.exe --cleanup Orx_DelTool.exe --decryptor Tarrow.exe \
  --payload p.bin -o b.exe 2> swapped.txt; rc=$?
[ $rc = 1 ] && [ ! -e b.exe ] || fail "swapped stub and decryptor gave $rc"
grep -q "stub" swapped.txt || fail "the refusal names no part: $(cat swapped.txt)"
# With no option naming them, the programs beside orx.exe; inspect shows
# their SHA-256 (through CNG) as sha256sum does.
$run "$orx" pack "résumé 中.bin" -o d.exe --archive --cost 100000 --password-file pw ||
  fail "pack --archive with the programs beside orx.exe"
$run "$orx" inspect --json d.exe > d.json || fail "inspect --json"
for program in Tarrow.exe Orx_DelTool.exe Orx_DecryptFile.exe; do
  grep -q "\"sha256\": \"$(sha256sum < "$bin/$program" | cut -d' ' -f1)\"" d.json ||
    fail "inspect does not show $program's SHA-256: $(cat d.json)"
done
# Standard input and output carry bytes unchanged (binary mode).
$run "$orx" unpack - -o - --password-file pw < p.bin > piped.bin || fail "unpack - -o -"
cmp "résumé 中.bin" piped.bin || fail "unpack through standard input and output differs"
echo "wine smoke: all passed"
