#!/usr/bin/env bash
# `orx unpack` of a 512 MiB AES-256 payload to a file, against SHA-1 of the
# same bytes in memory, measured in the same run (not a test). Unpacking
# cannot be faster than hashing its plaintext, so the ratio says how close
# decryption, writing and verifying together come to that floor. orx
# flushes its output to disk before it reports success, so in a folder on a
# disk the figure includes writing 512 MiB through to it; with
# TMPDIR=/dev/shm (a tmpfs, where the flush costs nothing) it measures the
# pipeline alone. Needs the host build. Usage: bench/unpack_bench.sh [MiB]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-512}
orx=$PWD/build/host/bin/orx

work=$(mktemp -d "${TMPDIR:-/tmp}/orx-unpack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/plain.bin"
printf 'bench-pass42\n' > "$work/password"
"$orx" pack "$work/plain.bin" -o "$work/payload.orx" --key-bits 256 --password-file "$work/password"
sync  # no writeback of the new files during the timed runs

python3 - "$orx" "$work" "$size_mib" <<'PY'
import filecmp, hashlib, os, subprocess, sys, time

orx, work, size_mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
runs = 3

unpack = []
for i in range(runs):
    out = os.path.join(work, f"out{i}")
    os.mkdir(out)
    start = time.perf_counter()
    subprocess.run([orx, "unpack", os.path.join(work, "payload.orx"), "-C", out,
                    "--password-file", os.path.join(work, "password")],
                   check=True, stdout=subprocess.DEVNULL)
    unpack.append(time.perf_counter() - start)
    if not filecmp.cmp(os.path.join(work, "plain.bin"), os.path.join(out, "plain.bin"),
                       shallow=False):
        sys.exit("unpack: the output differs from the input")
    os.remove(os.path.join(out, "plain.bin"))

with open(os.path.join(work, "plain.bin"), "rb") as f:
    data = f.read()
sha1 = []
for _ in range(runs):
    start = time.perf_counter()
    hashlib.sha1(data).digest()
    sha1.append(time.perf_counter() - start)

mb = size_mib * 1048576 / 1e6
u, s = min(unpack), min(sha1)
print(f"payload: {size_mib} MiB, AES-256")
print(f"orx unpack to a file:  {u:6.3f} s  {mb / u:7.1f} MB/s  (best of {runs}: "
      + ", ".join(f"{t:.3f}" for t in unpack) + ")")
print(f"SHA-1 in memory:       {s:6.3f} s  {mb / s:7.1f} MB/s  (best of {runs}: "
      + ", ".join(f"{t:.3f}" for t in sha1) + ")")
print(f"ratio unpack/sha1: {s / u:.2f}")
PY
