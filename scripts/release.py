#!/usr/bin/env python3
"""Makes the release folder of the shipped files.

Copies every file of the table (written by cmake/OrxRelease.cmake: source
path, file name, what it is, pecheck arguments; tab-separated) into a new
folder, checks those copies with pecheck, and writes SHA256SUMS (the format
`sha256sum -c` reads) and FILES.txt (what each file is) over the same bytes.
The folder appears under its name only when every check passed; a failed
run leaves none, so that no unchecked file is ever published.
"""
import argparse
import hashlib
import os
import shlex
import shutil
import subprocess
import sys


def read_table(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.strip():
                source, name, what, args = line.rstrip("\n").split("\t")
                rows.append((source, name, what, shlex.split(args)))
    if not rows:
        raise SystemExit("release: %s lists no files" % path)
    return rows


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--table", required=True)
    ap.add_argument("--out", required=True, help="the release folder, replaced when all checks pass")
    ap.add_argument("--pecheck", required=True)
    ap.add_argument("--common-checks", default="", help="pecheck arguments for every file")
    args = ap.parse_args()

    rows = read_table(args.table)
    out = os.path.abspath(args.out)
    staging = out + ".partial"
    shutil.rmtree(staging, ignore_errors=True)
    os.makedirs(staging)

    failed = []
    sums, files = [], []
    for source, name, what, checks in sorted(rows, key=lambda r: r[1]):
        copy = os.path.join(staging, name)
        shutil.copyfile(source, copy)
        os.chmod(copy, 0o644)
        # The checks and the hash read the copy: what is published is what
        # was checked.
        check = subprocess.run([sys.executable, args.pecheck, copy]
                               + shlex.split(args.common_checks) + checks,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        sys.stdout.write(check.stdout)
        if check.returncode != 0:
            failed.append(name)
        with open(copy, "rb") as f:
            data = f.read()
        sums.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))
        files.append("%-22s %8d bytes  %s\n" % (name, len(data), what))

    if failed:
        shutil.rmtree(staging)
        print("release: checks failed for %s; no release folder made" % ", ".join(failed))
        return 1
    with open(os.path.join(staging, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as f:
        f.writelines(sums)
    with open(os.path.join(staging, "FILES.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("The shipped 32-bit Windows files; their SHA-256 hashes are in SHA256SUMS\n"
                "(check them with: sha256sum -c SHA256SUMS).\n\n")
        f.writelines(files)
    shutil.rmtree(out, ignore_errors=True)
    os.rename(staging, out)
    print("release: %d files checked and hashed in %s" % (len(rows), out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
