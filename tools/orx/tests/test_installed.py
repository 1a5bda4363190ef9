"""orx as installed from its Debian package: the package made by CPack is
unpacked into a scratch root; the orx there runs, builds an archive from the
Windows programs the package carries (those of the release, with their
SHA-256 in its documentation) with no option naming them, its manual page
says what every `orx --help` says, and its bash completion offers the
commands and options of the help and keeps names with blanks whole. Debian's
own tools accept the package: hardening-check finds every hardening feature
in the packaged program, lintian no error and no warning in the package."""
import gzip
import hashlib
import json
import os
import platform
import re
import subprocess
import tempfile
import unittest

ORX = os.environ["ORX"]
CPACK_CONFIG = os.environ["CPACK_CONFIG"]
CXX = os.environ["CXX_COMPILER"]
RELEASE = os.environ["ORX_WINDOWS_RELEASE"]  # the release folder the package takes
PROGRAMS = ("Tarrow.exe", "Orx_DelTool.exe", "Orx_DecryptFile.exe")
SLOTS = ((0, 24576), (0x6000, 12288), (0x9000, 41472))


def run(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, check=True, **kw).stdout


def start_files_mark_control_flow():
    """Whether the C library's start files carry the x86 IBT and SHSTK marker
    that a program keeps only when every object linked into it has it."""
    if platform.machine() != "x86_64":
        return False
    for name in ("Scrt1.o", "crti.o", "crtn.o"):
        path = run(CXX, "-print-file-name=" + name).strip()
        if not os.path.isabs(path) or "IBT, SHSTK" not in run("readelf", "-n", path):
            return False
    return True


def functions_without_endbr(program):
    """orx's own global functions (main and those of namespace orx) in the
    unstripped program that do not start with ENDBR64; fails if it finds
    none of them at all."""
    own = {}
    for line in run("nm", "--defined-only", program).splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[1] == "T" and re.match(r"main$|_ZN3orx", fields[2]):
            own[fields[2]] = int(fields[0], 16)
    assert len(own) > 10, own
    # The first instruction at each address that starts a symbol (aliases
    # such as a constructor's two names share one).
    first = {int(address, 16): instruction for address, instruction in re.findall(
        r"^([0-9a-f]+) <\S+>:\n\s+[0-9a-f]+:\s+(?:[0-9a-f]{2} )+\s*(\S+)",
        run("objdump", "-d", program), re.M)}
    return sorted(name for name, address in own.items() if first.get(address) != "endbr64")


def collapse(text):
    return " ".join(text.split())


class InstalledTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        run("cpack", "--config", CPACK_CONFIG, "-G", "DEB", "-B", cls.tmp.name)
        debs = [f for f in os.listdir(cls.tmp.name) if f.endswith(".deb")]
        assert len(debs) == 1, debs
        cls.deb = os.path.join(cls.tmp.name, debs[0])
        cls.root = os.path.join(cls.tmp.name, "root")
        run("dpkg", "-x", cls.deb, cls.root)
        cls.help = run(ORX, "--help")
        cls.commands = [c for c in re.findall(r"^  orx (\S+)", cls.help, re.M)
                        if not c.startswith("-")]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def installed(self, path):
        full = os.path.join(self.root, path)
        self.assertTrue(os.path.isfile(full), path + " is not in the package")
        return full

    def test_package_runs_and_names_its_libraries(self):
        self.assertEqual(run(self.installed("usr/bin/orx"), "--help"), self.help)
        depends = run("dpkg-deb", "-f", self.deb, "Depends")
        for library in ("libc6", "libssl3"):
            self.assertIn(library, depends)
        self.assertEqual(run("dpkg-deb", "-f", self.deb, "Recommends").strip(), "bash-completion")
        version = run("dpkg-deb", "-f", self.deb, "Version").strip()
        self.assertRegex(run(self.installed("usr/bin/orx"), "--version"),
                         r"^orx %s \(commit \S+\)\n$" % re.escape(version))

    def test_archives_from_the_programs_it_carries(self):
        # The release's three programs, as its SHA256SUMS lists them, in the
        # package and in its documentation.
        with open(os.path.join(RELEASE, "SHA256SUMS")) as f:
            release = dict(reversed(line.split()) for line in f if line.strip())
        with open(self.installed("usr/share/doc/orx/SHA256SUMS")) as f:
            documented = dict(reversed(line.split()) for line in f if line.strip())
        self.assertEqual(documented, {name: release[name] for name in PROGRAMS})
        carried = {}
        for name in PROGRAMS:
            path = self.installed("usr/share/orx/" + name)
            self.assertEqual(os.stat(path).st_mode & 0o777, 0o644)
            with open(path, "rb") as f:
                carried[name] = f.read()
            self.assertEqual(hashlib.sha256(carried[name]).hexdigest(), documented[name])
        # orx pack --archive with no option naming them, from any folder.
        work = os.path.join(self.tmp.name, "work")
        os.makedirs(work, exist_ok=True)
        with open(os.path.join(work, "report.pdf"), "wb") as f:
            f.write(b"%PDF quarterly figures")
        with open(os.path.join(work, "pw"), "w") as f:
            f.write("correct horse\n")
        orx = self.installed("usr/bin/orx")
        run(orx, "pack", "report.pdf", "-o", "report.exe", "--archive", "--password-file", "pw",
            "--cost", "100000", cwd=work)
        with open(os.path.join(work, "report.exe"), "rb") as f:
            archive = f.read()
        for name, (offset, slot) in zip(PROGRAMS, SLOTS):
            image = carried[name]
            self.assertEqual(archive[offset:offset + len(image)], image, name)
            self.assertEqual(archive[offset + len(image):offset + slot],
                             bytes(slot - len(image)), name)
        # inspect says the same, and that they are the 32-bit programs.
        shown = json.loads(run(orx, "inspect", "--json", "report.exe", cwd=work))
        self.assertEqual([(p["file"], p["bytes"], p["machine"], p["sha256"])
                          for p in shown["programs"]],
                         [(n, len(carried[n]), "x86", documented[n]) for n in PROGRAMS])
        self.assertEqual((shown["container"], shown["name"], shown["format"]),
                         ("archive", "report.pdf", 2))
        self.assertEqual(run(orx, "test", "report.exe", "--password-file", "pw", cwd=work),
                         'verified: "report.pdf", 22 bytes, format 2\n')

    def test_debian_tools_accept_the_package(self):
        checks = ["hardening-check"]
        if not start_files_mark_control_flow():
            # The C library's start files (_init and _fini in crti.o, as in
            # Debian 12's glibc) carry no control-flow protection marker,
            # so the linker can give it to no program built with them; orx
            # is compiled with -fcf-protection and has it where they do.
            # Here its own functions show it: each starts with ENDBR64.
            checks.append("--nocfprotection")
            if platform.machine() == "x86_64":
                self.assertEqual(functions_without_endbr(ORX), [])
        r = subprocess.run(checks + [self.installed("usr/bin/orx")], capture_output=True,
                           text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        r = subprocess.run(["lintian", "--fail-on", "error,warning", self.deb],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertNotRegex(r.stdout, r"(?m)^[EW]: ")
        with gzip.open(self.installed("usr/share/doc/orx/changelog.gz"), "rt") as f:
            self.assertTrue(f.readline().startswith(
                "orx (%s) " % run("dpkg-deb", "-f", self.deb, "Version").strip()))

    def test_manual_page_says_what_the_help_says(self):
        page = self.installed("usr/share/man/man1/orx.1.gz")
        text = run("man", "-l", page, env=dict(os.environ, MANWIDTH="2000", LC_ALL="C.UTF-8",
                                               MAN_KEEP_FORMATTING=""))
        page_text = collapse(text)
        headings = {line for line in text.splitlines() if line and not line[0].isspace()}
        self.assertLessEqual({"NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "FILES",
                              "EXIT CODES", "PAYLOAD FORMATS", "PASSWORDS", "VERSION"}, headings)
        self.assertGreater(len(self.commands), 3)
        # Every line of every help, a section of it under its label.
        for command in [None] + self.commands:
            helptext = run(ORX, *([command] if command else []), "--help")
            lines = helptext.splitlines()
            for previous, line in zip(lines, lines[1:]):
                # A label follows a blank line (a paragraph's line may end in ":").
                label = re.match(r"^([a-z][a-z ]*):$", line) if not previous else None
                if label and label.group(1) in ("options", "json keys", "example"):
                    self.assertIn(label.group(1).capitalize(), page_text)
                    continue
                if label:
                    self.assertIn(label.group(1).upper(), headings)
                    continue
                with self.subTest(command=command, line=line):
                    self.assertIn(collapse(line), page_text)
        version = run(ORX, "--version").split()[1]
        self.assertIn("This page describes orx %s." % version, page_text)
        with gzip.open(page, "rb") as f:
            self.assertTrue(f.read().startswith(b'.TH ORX 1 "" "orx %s"' % version.encode()))

    def complete(self, line, cwd=None, bash_completion=False):
        words = line.split(" ")
        script = ('%ssource "$1"; COMP_WORDS=(%s); COMP_CWORD=%d; _orx; '
                  'printf "%%s\\n" "${COMPREPLY[@]}"' % (
                      "source /usr/share/bash-completion/bash_completion; " if bash_completion
                      else "", " ".join("'%s'" % w for w in words), len(words) - 1))
        out = run("bash", "-c", script, "bash",
                  self.installed("usr/share/bash-completion/completions/orx"), cwd=cwd)
        return set(filter(None, out.splitlines()))

    def test_completion_offers_the_help(self):
        self.assertEqual(self.complete("orx "), set(self.commands) | {"--help", "--version"})
        for command in self.commands:
            help_ = run(ORX, command, "--help")
            section = re.search(r"\noptions:\n(.*?)\n\n", help_, re.S).group(1)
            options = set(re.findall(r"^  (--?[A-Za-z][\w-]*)", section, re.M))
            with self.subTest(command=command):
                self.assertEqual(options | {"--help"}, self.complete("orx %s -" % command))
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "subdir"))
            os.mkdir(os.path.join(d, "my folder"))
            for name in ("file", "my report.exe"):
                open(os.path.join(d, name), "w").close()
            cases = [
                ("orx pack --key-bits ", {"128", "192", "256"}),
                ("orx unpack --password-", {"--password-file", "--password-stdin"}),
                ("orx inspect --", {"--help", "--json"}),
                ("orx unpack -C ", {"subdir", "my folder"}),
                ("orx pack -o ", {"subdir", "my folder", "file", "my report.exe"}),
                ("orx test my", {"my folder", "my report.exe"}),
                ("orx pack --cost ", set()),
            ]
            have_filedir = os.path.exists("/usr/share/bash-completion/bash_completion")
            for line, expected in cases:
                for with_filedir in (False, True) if have_filedir else (False,):
                    with self.subTest(line=line, bash_completion=with_filedir):
                        got = self.complete(line, cwd=d, bash_completion=with_filedir)
                        # _filedir marks folders with a slash where bash shows them.
                        self.assertEqual({g.rstrip("/") for g in got}, expected)


if __name__ == "__main__":
    unittest.main()
