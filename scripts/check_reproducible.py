#!/usr/bin/env python3
"""Builds the release twice and requires the same bytes.

The first build uses the source folder as it is; the second a copy of it at
another path (of another length), in another build folder, later, under
another time zone and umask. Each is configured from the preset and builds
only the `release` target (the shipped images, checked and hashed). Then:

- the two release folders must hold the same files with the same bytes
  (a difference is reported by file and offset);
- `sha256sum -c SHA256SUMS` must pass in the release folder;
- a release whose table names a file that fails its checks must fail and
  leave no release folder.

The scratch folders are removed after a pass and kept after a failure.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time


def configure(source, build, preset, env):
    return subprocess.Popen(["cmake", "--preset", preset, "-B", build], cwd=source, env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def run(cmd, **kw):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)
    if p.returncode != 0:
        sys.stdout.write(p.stdout[-4000:])
        raise SystemExit("FAIL: %s exited with %d" % (" ".join(cmd), p.returncode))
    return p.stdout


def differences(a, b):
    """Lines describing how folder b differs from folder a."""
    found = []
    names_a, names_b = sorted(os.listdir(a)), sorted(os.listdir(b))
    if names_a != names_b:
        found.append("files differ: %s against %s" % (names_a, names_b))
    for name in sorted(set(names_a) & set(names_b)):
        x = open(os.path.join(a, name), "rb").read()
        y = open(os.path.join(b, name), "rb").read()
        if x != y:
            offsets = [i for i in range(min(len(x), len(y))) if x[i] != y[i]]
            found.append("%s: %d and %d bytes, %d bytes differ, first at %s" % (
                name, len(x), len(y), len(offsets), ", ".join("%#x" % o for o in offsets[:8])))
    return found


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--source", required=True)
    ap.add_argument("--work", required=True, help="scratch folder, replaced")
    ap.add_argument("--preset", required=True)
    ap.add_argument("--jobs", default="2")
    args = ap.parse_args()

    source = os.path.abspath(args.source)
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    first_build = os.path.join(work, "first")
    second_source = os.path.join(work, "second-copy-of-the-source")
    second_build = os.path.join(second_source, "out", "win")
    shutil.copytree(source, second_source,
                    ignore=lambda d, names: [n for n in names if os.path.abspath(d) == source
                                             and n in ("build", ".git")])

    env_first = dict(os.environ, TZ="UTC")
    env_second = dict(os.environ, TZ="Pacific/Kiritimati")
    # Both configure steps at once (each uses one core), the builds after.
    steps = [configure(source, first_build, args.preset, env_first),
             configure(second_source, second_build, args.preset, env_second)]
    for p in steps:
        out = p.communicate()[0]
        if p.returncode != 0:
            sys.stdout.write(out[-4000:])
            raise SystemExit("FAIL: configuring %s" % p.args)

    first_started = time.time()
    run(["cmake", "--build", first_build, "-j", args.jobs, "--target", "release"], env=env_first)
    second_started = time.time()
    os.umask(0o077)
    run(["cmake", "--build", second_build, "-j", args.jobs, "--target", "release"], env=env_second)
    print("builds started %.1f s apart" % (second_started - first_started))

    first_release = os.path.join(first_build, "release")
    second_release = os.path.join(second_build, "release")
    found = differences(first_release, second_release)
    for line in found:
        print("FAIL: " + line)
    if found:
        return 1
    print(run(["sha256sum", "-c", "SHA256SUMS"], cwd=first_release), end="")

    # A file that fails its checks stops the release: the table's first row
    # now names a file that is no Windows image at all.
    table = os.path.join(first_build, "release-files.tsv")
    rows = open(table, encoding="utf-8").read().splitlines()
    rows[0] = os.path.join(first_release, "FILES.txt") + rows[0][rows[0].index("\t"):]
    bad_table = os.path.join(work, "bad-table.tsv")
    open(bad_table, "w", encoding="utf-8").write("\n".join(rows) + "\n")
    refused = os.path.join(work, "refused")
    p = subprocess.run([sys.executable, os.path.join(source, "scripts", "release.py"),
                        "--table", bad_table, "--out", refused,
                        "--pecheck", os.path.join(source, "testing", "pe", "pecheck.py")],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if p.returncode == 0 or os.path.exists(refused) or os.path.exists(refused + ".partial"):
        print(p.stdout)
        print("FAIL: a release with a file that fails its checks was made")
        return 1

    print("%d files identical in both builds: %s" % (
        len(os.listdir(first_release)), ", ".join(sorted(os.listdir(first_release)))))
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
