#!/usr/bin/env bash
# A short fuzzing run of the payload reader and decryption under ASan and
# UBSan: builds the fuzzer in build/fuzz (host preset), copies the committed
# corpus to a scratch folder (the committed one stays as it is) and fuzzes
# for SECONDS (default 60). New crashes land in build/fuzz/artifacts.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build/fuzz"
cmake --preset host -B "$build" >/dev/null
cmake --build "$build" --target payload_fuzzer -j2
fuzzer="$build/decryptor/tests/payload/fuzz/payload_fuzzer"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/decryptor/tests/payload/fuzz/corpus/." "$work/"
mkdir -p "$build/artifacts"
"$fuzzer" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "$work"
echo "fuzz: corpus grew from $(ls "$root/decryptor/tests/payload/fuzz/corpus" | wc -l) to $(ls "$work" | wc -l) inputs"
