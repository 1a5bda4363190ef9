"""orx as installed from its Debian package: the package made by CPack is
unpacked into a scratch root; the orx there runs, its manual page says what
`orx --help` says, and its bash completion offers the commands and options
of the help. Debian's own tools accept the package: hardening-check finds
every hardening feature in the packaged program, lintian no error and no
warning in the package."""
import gzip
import os
import platform
import re
import subprocess
import tempfile
import unittest

ORX = os.environ["ORX"]
CPACK_CONFIG = os.environ["CPACK_CONFIG"]
CXX = os.environ["CXX_COMPILER"]


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
        cls.commands = re.findall(r"^  orx (\S+)", cls.help, re.M)

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
        self.assertGreater(len(self.commands), 1)
        for command in [None] + self.commands:
            helptext = run(ORX, *([command] if command else []), "--help")
            for line in helptext.splitlines()[1:]:
                # A labelled paragraph ("exit codes: ...") is a section of the page.
                label = re.match(r"^([a-z][a-z ]*): (.*)$", line)
                if label:
                    self.assertIn(label.group(1).upper(), headings)
                    line = label.group(2)
                with self.subTest(command=command, line=line):
                    self.assertIn(collapse(line), page_text)
        with gzip.open(page, "rb") as f:
            self.assertTrue(f.read().startswith(b".TH ORX 1 "))

    def complete(self, line, cwd=None):
        words = line.split(" ")
        script = ('source "$1"; COMP_WORDS=(%s); COMP_CWORD=%d; _orx; '
                  'printf "%%s\\n" "${COMPREPLY[@]}"' % (
                      " ".join("'%s'" % w for w in words), len(words) - 1))
        out = run("bash", "-c", script, "bash",
                  self.installed("usr/share/bash-completion/completions/orx"), cwd=cwd)
        return set(filter(None, out.splitlines()))

    def test_completion_offers_the_help(self):
        self.assertEqual(self.complete("orx "), set(self.commands) | {"--help"})
        for command in self.commands:
            # The synopsis: the lines before the first of the description.
            usage = re.split(r"\n    (?=\S)", run(ORX, command, "--help"))[0]
            options = set(re.findall(r"(?<![\w-])(--?[A-Za-z][\w-]*)", usage))
            with self.subTest(command=command):
                self.assertLessEqual(options | {"--help"}, self.complete("orx %s -" % command))
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "subdir"))
            open(os.path.join(d, "file"), "w").close()
            cases = [
                ("orx pack --key-bits ", {"128", "192", "256"}),
                ("orx unpack --password-", {"--password-file", "--password-stdin"}),
                ("orx inspect --", {"--help"}),
                ("orx unpack -C ", {"subdir"}),
                ("orx pack -o ", {"subdir", "file"}),
            ]
            for line, expected in cases:
                with self.subTest(line=line):
                    self.assertEqual(self.complete(line, cwd=d), expected)


if __name__ == "__main__":
    unittest.main()
