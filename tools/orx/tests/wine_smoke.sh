#!/usr/bin/env bash
# The Windows orx under Wine: a round trip with a non-ASCII stored name and a
# UTF-8 password file, the wrong-password and existing-file refusals, and a
# payload the host orx (when built alongside) opens too.
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
$run "$orx" pack "résumé 中.bin" -o p.bin --key-bits 192 --password-file pw || fail "pack"
$run "$orx" inspect p.bin > info.txt || fail "inspect"
grep -q "aes-192-cfb" info.txt || fail "inspect shows no cipher"
$run "$orx" unpack p.bin -C out --password-file bad; rc=$?
[ $rc = 3 ] || fail "wrong password gave $rc"
[ -z "$(ls out)" ] || fail "wrong password left a file"
$run "$orx" unpack p.bin -C out --password-file pw || fail "unpack"
cmp "résumé 中.bin" "out/résumé 中.bin" || fail "round trip differs"
$run "$orx" unpack p.bin -C out --password-file pw; rc=$?
[ $rc = 6 ] || fail "existing file gave $rc"
echo "wine smoke: all passed"
