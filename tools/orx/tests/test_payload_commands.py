"""orx pack / unpack / inspect: round trips of both formats, the formats as
read independently, every refusal with nothing written, signals, the
process's memory closed to dumps and other processes, and names from a
payload shown safely."""
import errno
import fcntl
import json
import os
import pwd
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import image_tool  # noqa: E402
import payload_tool  # noqa: E402

ORX = os.environ["ORX"]
PAYLOAD_OFFSET = 0x13200


def run(*args, stdin=None):
    return subprocess.run([ORX, *args], capture_output=True, input=stdin)


class Base(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.dir = tmp.name
        self.out = self.path("out")
        os.mkdir(self.out)
        self.pw = self.write("pw", "s\u00e9same\n".encode())

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, *names):
        with open(self.path(*names), "rb") as f:
            return f.read()

    def pack(self, source, target, *extra, pw=None):
        # "sésame" is outside format 1's password rules on purpose: it shows
        # the byte mapping; the rules have a test of their own. Format 2 (the
        # default) at its lowest cost, so that tests derive quickly.
        chosen = {"--format", "--cost"} & set(extra)
        cost = () if chosen else ("--cost", str(payload_tool.MIN_COST))
        return run("pack", source, "-o", target, "--password-file", pw or self.pw,
                   "--no-password-rules", *cost, *extra)

    def unpack(self, source, *extra, pw=None):
        return run("unpack", source, "-C", self.out, "--password-file", pw or self.pw, *extra)

    def assertOutEmpty(self):
        self.assertEqual(os.listdir(self.out), [])

    def unprivileged(self):
        """A preexec function that makes the child orxrecipient when the test
        runs as root (who may write anywhere), None otherwise; the test's
        folders are opened to it for reading."""
        if os.geteuid() != 0:
            return lambda: None
        try:
            user = pwd.getpwnam("orxrecipient")
        except KeyError:
            return None
        os.chmod(self.dir, 0o755)
        os.chmod(self.pw, 0o644)

        def as_user():
            os.setgroups([])
            os.setgid(user.pw_gid)
            os.setuid(user.pw_uid)
        return as_user


def start_on_terminal(*args):
    """orx with a new pseudo-terminal as its controlling terminal; returns the
    process, the master side and the terminal side (kept open here so that
    its settings can be read after orx ended)."""
    master, terminal = os.openpty()

    def become_session_leader():
        os.setsid()
        fcntl.ioctl(terminal, termios.TIOCSCTTY, 0)

    proc = subprocess.Popen([ORX, *args], stdin=terminal, stdout=terminal, stderr=terminal,
                            preexec_fn=become_session_leader)
    return proc, master, terminal


def read_until(fd, marker, seen=b""):
    while marker not in seen:
        chunk = os.read(fd, 1024)
        if not chunk:
            break
        seen += chunk
    return seen


class RoundTrip(Base):
    def test_sizes_and_key_lengths(self):
        formats = [("1", "128"), ("1", "192"), ("1", "256"), ("2", None)]
        for fmt, bits in formats:
            # The largest size is hashed on a second thread in format 1.
            for size in (0, 1, 1023, 1024, 1025, 65536, 3 * 1024 * 1024 + 7, 16 * 2**20 + 7):
                with self.subTest(format=fmt, bits=bits, size=size):
                    content = os.urandom(size)
                    src = self.write("data.bin", content)
                    options = ("--format", "1", "--key-bits", bits) if bits else ()
                    r = self.pack(src, self.path("p"), *options)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    payload = self.read("p")
                    if fmt == "1":
                        fields = payload_tool.parse(payload)
                        self.assertEqual(fields["key_bytes"], int(bits) // 8)
                        self.assertEqual(len(payload), 32 + 16 + 2 * int(bits) // 8 + size + 24)
                    else:
                        self.assertEqual(len(payload), 132 + 16 + size + 32)
                    if size <= 1025:  # the format, as read without orx
                        opened = (payload_tool.open_payload if fmt == "1"
                                  else payload_tool.open_payload2)(payload, "s\u00e9same")
                        self.assertEqual(opened, content)
                    r = self.unpack(self.path("p"))
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(self.read("out", "data.bin"), content)
                    os.remove(self.path("out", "data.bin"))
                    os.remove(self.path("p"))

    def test_fields_written_by_pack(self):
        src = self.write("r\u00e9sum\u00e9 \u4e2d.txt", b"hello")
        # Format 2 by default, at the default cost unless told: fresh random
        # salt, IVs and file key every time.
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--password-file", self.pw)
                         .returncode, 0)
        self.assertEqual(self.pack(src, self.path("q"), "--cost", "123456").returncode, 0)
        first, second = (payload_tool.parse2(self.read(n)) for n in ("p", "q"))
        self.assertEqual((first["version"], first["kdf"], first["cost"]), (2, 1, 600000))
        self.assertEqual(second["cost"], 123456)
        self.assertEqual(first["name"], "r\u00e9sum\u00e9 \u4e2d.txt")
        for field in ("salt", "key_iv", "wrapped", "key_check", "content_iv", "cipher", "tag"):
            self.assertNotEqual(first[field], second[field], field)
        # Format 1, as before, and why it is weaker on standard error.
        r = self.pack(src, self.path("p1"), "--format", "1")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(b"format 1 is weaker", r.stderr)
        self.assertEqual(self.pack(src, self.path("q1"), "--format", "1").returncode, 0)
        first, second = (payload_tool.parse(self.read(n)) for n in ("p1", "q1"))
        self.assertEqual(first["signature"], 0xF8EBD601)
        self.assertEqual(first["name"], "r\u00e9sum\u00e9 \u4e2d.txt")
        self.assertEqual(first["key_bytes"], 32)
        self.assertEqual(first["tail"], b"\0\0\0\0")
        self.assertNotEqual(first["key_check"], second["key_check"])
        self.assertNotEqual(first["second"], second["second"])
        self.assertNotEqual(first["cipher"], second["cipher"])
        # inspect --json: the documented keys, the fields as read without orx.
        keys = ["container", "fileBytes", "payloadOffset", "format", "signature", "cipher", "kdf",
                "cost", "name", "headerBytes", "contentBytes", "checkBytes", "check", "programs"]
        name = "r\u00e9sum\u00e9 \u4e2d.txt"
        for target, fields in (
                ("q", {"format": 2, "signature": "0x5058524F", "cipher": "aes-256-cfb",
                       "kdf": "PBKDF2-HMAC-SHA256", "cost": 123456, "checkBytes": 32,
                       "check": payload_tool.parse2(self.read("q"))["tag"].hex(),
                       "headerBytes": 132 + 2 * len(name)}),
                ("p1", {"format": 1, "signature": "0xF8EBD601", "cipher": "aes-256-cfb",
                        "kdf": None, "cost": None, "checkBytes": 24,
                        "check": payload_tool.parse(self.read("p1"))["digest"].hex(),
                        "headerBytes": 32 + 2 * len(name) + 64})):
            with self.subTest(target):
                r = run("inspect", "--json", self.path(target))
                self.assertEqual(r.returncode, 0, r.stderr)
                shown = json.loads(r.stdout)
                self.assertEqual(list(shown), keys)
                self.assertEqual(shown, dict(fields, container="payload", payloadOffset=0,
                                             name=name, programs=[], contentBytes=5,
                                             fileBytes=len(self.read(target))))

    def test_payloads_made_elsewhere(self):
        name = "plain.txt".encode("utf-16-le") + b"\x7f"  # the odd byte is dropped
        data = payload_tool.build(name, "s\u00e9same", b"made elsewhere" * 100, key_bytes=24,
                                  second=b"\xff" * 24, tail=b"\x01\x02\x03\x04")
        r = self.unpack(self.write("p", data))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "plain.txt"), b"made elsewhere" * 100)
        data = payload_tool.build2("\u041e\u0442\u0447\u0451\u0442.txt".encode("utf-16-le"),
                                   "s\u00e9same", b"format 2 elsewhere" * 100)
        r = self.unpack(self.write("p2", data))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "\u041e\u0442\u0447\u0451\u0442.txt"),
                         b"format 2 elsewhere" * 100)

    def test_archive_in_one_step(self):
        images = (image_tool.stub(), image_tool.cleanup(), image_tool.decryptor())
        parts = [self.write(n, image) for n, image in zip(("stub", "cleanup", "decryptor"), images)]
        content = os.urandom(100000)
        src = self.write("doc.pdf", content)
        r = self.pack(src, self.path("a.exe"), "--archive", "--stub", parts[0], "--cleanup",
                      parts[1], "--decryptor", parts[2])
        self.assertEqual(r.returncode, 0, r.stderr)
        archive = self.read("a.exe")
        self.assertEqual(archive[:2048], images[0])
        self.assertEqual(archive[0x6000:0x6000 + 2048], images[1])
        self.assertEqual(archive[0x9000:0x9000 + 2048], images[2])
        self.assertEqual(payload_tool.open_payload2(archive[PAYLOAD_OFFSET:], "s\u00e9same"),
                         content)
        info = run("inspect", self.path("a.exe"))
        self.assertEqual(info.returncode, 0, info.stderr)
        self.assertIn(b"archive", info.stdout)
        self.assertIn(b"PBKDF2-HMAC-SHA256", info.stdout)
        self.assertIn(b"aes-256-cfb", info.stdout)
        self.assertIn(b"doc.pdf", info.stdout)
        self.assertIn(b"100000 bytes", info.stdout)
        r = self.unpack(self.path("a.exe"))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "doc.pdf"), content)

    def test_passwords_as_each_format_takes_them(self):
        src = self.write("f", b"x" * 10)
        # Format 1: U+01E9 and U+00E9 have the same low byte; stdin and file agree.
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--password-stdin", "--format",
                             "1", "--no-password-rules", stdin="s\u01e9same\r\n".encode())
                         .returncode, 0)
        r = self.unpack(self.path("p"))
        self.assertEqual(r.returncode, 0, r.stderr)
        payload_tool.open_payload(self.read("p"), "s\u00e9same")
        os.remove(self.path("out", "f"))
        # Format 2: the UTF-8 of any script, read independently; the two
        # texts that were one password are two.
        for password in ("s\u01e9same", "\u043f\u0430\u0440\u043e\u043b\u044c",
                         "\u4e00\u4e8c\u4e09 \u56db", "\U0001F511\U0001F5DD\ufe0f open"):
            with self.subTest(password.encode("unicode_escape")):
                r = self.pack(src, self.path("p2"), "--force",
                              pw=self.write("pw2", password.encode() + b"\n"))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(payload_tool.open_payload2(self.read("p2"), password), b"x" * 10)
                r = self.unpack(self.path("p2"), pw=self.path("pw2"))
                self.assertEqual(r.returncode, 0, r.stderr)
                os.remove(self.path("out", "f"))
        self.pack(src, self.path("p2"), "--force", pw=self.write("pw2", "s\u01e9same".encode()))
        r = self.unpack(self.path("p2"))
        self.assertEqual(r.returncode, 3, r.stderr)
        self.assertIn(b"wrong password", r.stderr)

    def test_generated_password(self):
        src = self.write("f", b"generated")
        seen = set()
        for target in ("p", "q"):
            r = run("pack", src, "-o", self.path(target), "--generate-password", "--cost",
                    str(payload_tool.MIN_COST), stdin=b"")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(r.stdout, b"")
            # Five groups of four from 32 symbols: 100 bits.
            m = re.search(rb"^password: ((?:[a-km-np-z2-9]{4}-){4}[a-km-np-z2-9]{4})$", r.stderr,
                          re.M)
            self.assertIsNotNone(m, r.stderr)
            seen.add(m.group(1))
            self.assertEqual(payload_tool.open_payload2(self.read(target), m.group(1).decode()),
                             b"generated")
        self.assertEqual(len(seen), 2)
        # Format 1 takes it only outside the product's 12-character rule.
        r = run("pack", src, "-o", self.path("p1"), "--generate-password", "--format", "1",
                "--no-password-rules")
        self.assertEqual(r.returncode, 0, r.stderr)
        password = re.search(rb"^password: (\S+)$", r.stderr, re.M).group(1).decode()
        self.assertEqual(payload_tool.open_payload(self.read("p1"), password), b"generated")

    def test_terminal_prompt_hides_the_password_and_ctrl_c_restores_echo(self):
        src = self.write("f", b"secret content")
        self.assertEqual(self.pack(src, self.path("p")).returncode, 0)
        proc, master, terminal = start_on_terminal("unpack", self.path("p"), "-C", self.out)
        seen = read_until(master, b"Password:")
        os.write(master, "s\u00e9same\n".encode())
        self.assertEqual(proc.wait(timeout=60), 0)
        seen = read_until(master, b"out", seen)
        self.assertNotIn("s\u00e9same".encode(), seen)
        self.assertEqual(self.read("out", "f"), b"secret content")
        os.close(master)
        os.close(terminal)
        # Ctrl-C at the prompt ends orx with 130 and leaves echo on.
        proc, master, terminal = start_on_terminal("pack", src, "-o", self.path("q"))
        read_until(master, b"Password:")
        self.assertFalse(termios.tcgetattr(terminal)[3] & termios.ECHO)  # off while asked
        os.write(master, b"\x03")
        self.assertEqual(proc.wait(timeout=60), 130)
        self.assertTrue(termios.tcgetattr(terminal)[3] & termios.ECHO)
        self.assertFalse(os.path.exists(self.path("q")))
        os.close(master)
        os.close(terminal)
        # --password-stdin with the terminal as standard input asks there,
        # without echo, and a new password's rule is checked on its first
        # entry, before the second is asked for.
        for args, typed, code, shown in (
                (("unpack", self.path("p"), "-C", self.path("again"), "--password-stdin"),
                 "s\u00e9same", 0, b"again/f"),
                (("pack", src, "-o", self.path("q"), "--format", "1"), "abc", 3,
                 b"shorter than 4")):
            with self.subTest(args[0]):
                os.makedirs(self.path("again"), exist_ok=True)
                proc, master, terminal = start_on_terminal(*args)
                read_until(master, b"Password:")
                self.assertFalse(termios.tcgetattr(terminal)[3] & termios.ECHO)
                os.write(master, typed.encode() + b"\n")
                self.assertEqual(proc.wait(timeout=60), code)
                seen = read_until(master, shown)
                os.set_blocking(master, False)
                try:
                    seen += os.read(master, 4096)
                except (BlockingIOError, OSError):
                    pass
                self.assertNotIn(typed.encode(), seen)
                self.assertNotIn(b"Password again", seen)
                os.close(master)
                os.close(terminal)
        self.assertEqual(self.read("again", "f"), b"secret content")
        # No one types a payload: - at a terminal is refused at once.
        proc, master, terminal = start_on_terminal("inspect", "-")
        self.assertEqual(proc.wait(timeout=60), 1)
        self.assertIn(b"standard input is a terminal", read_until(master, b"terminal"))
        os.close(master)
        os.close(terminal)


class Refusals(Base):
    def payload(self, **kw):
        kw.setdefault("name_bytes", "a.txt".encode("utf-16-le"))
        self.count = getattr(self, "count", 0) + 1
        return self.write(f"crafted{self.count}", payload_tool.build(kw.pop("name_bytes"), "s\u00e9same",
                                                  b"content" * 500, **kw))

    def test_wrong_password_damage_and_malformed_headers(self):
        good = payload_tool.build("a.txt".encode("utf-16-le"), "s\u00e9same", b"content" * 500)
        flipped = bytearray(good)
        flipped[len(good) - 30] ^= 1  # inside the cipher text
        # Large enough to be hashed on a second thread; damaged in its last chunk.
        large = bytearray(payload_tool.build("a.txt".encode("utf-16-le"), "s\u00e9same",
                                             os.urandom(16 * 2**20 + 7)))
        large[len(large) - 30] ^= 1
        head = bytearray(PAYLOAD_OFFSET)
        for at, program in ((0, image_tool.stub()), (0x6000, image_tool.cleanup()),
                            (0x9000, image_tool.decryptor())):
            head[at:at + len(program)] = program
        head = bytes(head)
        cases = [
            ("wrong password", self.write("p1", good), self.write("w", b"sesame"), 3, b"wrong password"),
            ("digest", self.write("p2", bytes(flipped)), None, 4, b"digest"),
            ("digest, large", self.write("p9", bytes(large)), None, 4, b"digest"),
            ("signature 0x11", self.payload(signature=0xF8EBD611), None, 5, b"signature"),
            ("keyBytes 20", self.payload(key_field=20), None, 5, b"key length"),
            ("long name", self.payload(name_bytes=b"a\0" * 1024), None, 5, b"2,046"),
            ("path name", self.payload(name_bytes="..\\..\\x.txt".encode("utf-16-le")), None, 5,
             b"which no Windows file name holds"),
            ("slash name", self.payload(name_bytes="../x".encode("utf-16-le")), None, 5,
             b"which no Windows file name holds"),
            ("device name", self.payload(name_bytes="NUL.txt".encode("utf-16-le")), None, 5,
             b"Windows device name"),
            ("cut inside the digest", self.write("p3", good[:len(good) - 3500 - 24 + 10]), None, 5,
             b"truncated payload"),
            ("not a payload at all", self.write("p10", b"%PDF-1.4\n" * 100), None, 7,
             b"not an archive or payload of this kind"),
            ("another Windows program", self.write("p11", image_tool.stub(60000)), None, 7,
             b"not an archive of this kind"),
            ("truncated", self.write("p4", good[:40]), None, 5, b"truncated payload"),
            ("empty", self.write("p5", b""), None, 5, b"is empty"),
            ("archive without payload", self.write("p6", head), None, 5, b"holds no payload"),
            ("archive cut in its programs", self.write("p7", head[:30000]), None, 5,
             b"truncated archive"),
            ("archive cut in the payload header", self.write("p8", head + good[:40]), None, 5,
             b"truncated archive"),
        ]
        # Format 2: its tag, its fixed fields, a wrong password.
        good2 = payload_tool.build2("a.txt".encode("utf-16-le"), "s\u00e9same", b"content" * 500)
        for label, at, flip, code, message in (
                ("format 2: a cipher text byte", len(good2) - 40, 1, 4, b"authentication tag"),
                ("format 2: a tag byte", len(good2) - 1, 0x80, 4, b"authentication tag"),
                ("format 2: the name", 36, 1, 4, b"authentication tag"),
                ("format 2: the version", 4, 1, 5, b"version"),
                ("format 2: the key derivation", 8, 2, 5, b"PBKDF2"),
                ("format 2: the cost, out of bounds", 15, 0x80, 5, b"cost"),
                ("format 2: the salt", 16, 1, 3, b"wrong password")):
            bad = bytearray(good2)
            bad[at] ^= flip
            cases.append((label, self.write(f"v2-{at}", bytes(bad)), None, code, message))
        cases.append(("format 2: a wrong password", self.write("v2", good2),
                      self.write("w2", b"s\xc7\xa9same"), 3, b"wrong password"))
        # test answers as unpack does, and inspect, which needs no password,
        # as they do for what the file shows without it; none writes a file,
        # nor anything on standard output when it fails.
        for label, path, pw, code, message in cases:
            for command in ("unpack", "test", "inspect"):
                with self.subTest(label, command=command):
                    if command == "unpack":
                        r = self.unpack(path, pw=pw)
                    else:
                        r = run(command, path, *(("--password-file", pw or self.pw)
                                                 if command == "test" else ()))
                    expected = 0 if command == "inspect" and code in (3, 4) else code
                    self.assertEqual(r.returncode, expected, r.stderr)
                    if expected:
                        self.assertIn(message, r.stderr)
                        self.assertEqual(r.stdout, b"")
                    self.assertOutEmpty()
        # A crafted cost of four billion iterations is refused from the
        # header alone: before the password is even asked (there is no
        # source and no terminal), so long before any derivation.
        absurd = bytearray(good2)
        absurd[12:16] = (4000000000).to_bytes(4, "little")
        path = self.write("absurd", bytes(absurd))
        for command in (("unpack", path, "-C", self.out), ("inspect", path)):
            with self.subTest(command[0] + " of a cost of four billion"):
                r = subprocess.run([ORX, *command], capture_output=True,
                                   stdin=subprocess.DEVNULL, start_new_session=True, timeout=10)
                self.assertEqual(r.returncode, 5, r.stderr)
                self.assertIn(b"cost is outside 100000 to 10000000 iterations: 4000000000",
                              r.stderr)
                self.assertNotIn(b"password", r.stderr)
                self.assertOutEmpty()

    def test_a_full_disk_fails_the_write_and_leaves_nothing(self):
        # A file size limit fails writes past it (EFBIG) as a full disk does
        # (ENOSPC); with SIGXFSZ ignored the write reports it instead.
        def limited(size):
            def apply():
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
            return apply
        small = self.write("small.bin", os.urandom(100000))
        large = self.write("large.bin", os.urandom(16 * 2**20 + 7))
        for src in (small, large):  # format 1, whose digest may be hashed on a second thread
            self.assertEqual(self.pack(src, src + ".p", "--format", "1").returncode, 0)
        self.assertEqual(self.pack(small, small + ".p2").returncode, 0)
        unpack = ("unpack", "-C", self.out, "--password-file", self.pw)
        cases = [
            ("pack", ("pack", small, "-o", self.path("out", "p"), "--password-file", self.pw,
                      "--no-password-rules"), 50000),
            ("unpack, hashed at once", unpack + (small + ".p",), 50000),
            ("unpack, hashed on the second thread", unpack + (large + ".p",), 5 * 2**20),
            ("unpack, the last part of the last chunk", unpack + (large + ".p",), 16 * 2**20 + 3),
            ("unpack of format 2", unpack + (small + ".p2",), 50000),
        ]
        for label, args, size in cases:
            with self.subTest(label):
                r = subprocess.run([ORX, *args], capture_output=True, preexec_fn=limited(size))
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(b"cannot write", r.stderr)
                self.assertIn(os.strerror(errno.EFBIG).encode(), r.stderr)
                self.assertNotIn(b".part", r.stderr)  # the user's file is named, not orx's
                self.assertOutEmpty()

    def test_existing_file_needs_force_and_survives_a_failure(self):
        self.write("out/a.txt", b"keep me")
        path = self.payload()
        r = self.unpack(path)
        self.assertEqual(r.returncode, 6)
        self.assertEqual(self.read("out", "a.txt"), b"keep me")
        self.assertEqual(os.listdir(self.out), ["a.txt"])
        damaged = bytearray(self.read(os.path.basename(path)))
        damaged[-30] ^= 1
        for label, source, pw, code in (
                ("wrong password", path, self.write("w", b"sesame"), 3),
                ("damaged payload", self.write("damaged", bytes(damaged)), None, 4)):
            with self.subTest(label):
                r = self.unpack(source, "--force", pw=pw)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertEqual(os.listdir(self.out), ["a.txt"])
                self.assertEqual(self.read("out", "a.txt"), b"keep me")
        r = self.unpack(path, "--force")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "a.txt"), b"content" * 500)
        # A payload that would land on itself is refused, --force or not.
        os.replace(path, self.path("out", "a.txt"))
        r = self.unpack(self.path("out", "a.txt"), "--force")
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn(b"is the input", r.stderr)
        self.assertEqual(os.listdir(self.out), ["a.txt"])

    def test_pack_refuses_names_and_passwords_and_writes_nothing(self):
        # Each refused name is quoted (escaped) with the part of the rule it
        # breaks, and the way to store another.
        for name, shown, rule in (
                ("CON.txt", "CON.txt", "a Windows device name"),
                ("name.", "name.", "ends with a dot"),
                ("name ", "name ", "ends with a blank"),
                ("a:b", "a:b", "holds :, one of"),
                ("what?", "what?", "holds ?, one of"),
                ("tab\tname", "tab\\x09name", "U+0009, a control character"),
                ("inv\u202efdp.exe", "inv\\u202Efdp.exe", "U+202E, a bidirectional or invisible"),
                ("a\u2066b", "a\\u2066b", "U+2066"),
                ("a\u0085b", "a\\u0085b", "U+0085, a control character"),
                ("re\u200bport.pdf", "re\\u200Bport.pdf", "U+200B, a bidirectional or invisible"),
                (" lead.txt", " lead.txt", "starts with a blank"),
                ("statement.pdf" + " " * 60 + ".exe", "statement.pdf", "more than two blanks"),
                ("Desktop.ini", "Desktop.ini", "desktop.ini, autorun.inf or a .url"),
                ("Report.LNK", "Report.LNK", "Explorer acts on"),
                ("COM0", "COM0", "a Windows device name"),
                ("a\uff1ab", "a\uff1ab", "U+FF1A, a form of one of"),
                ("re\u200cport", "re\u200cport", "the joiner U+200C where no script")):
            with self.subTest(name):
                r = self.pack(self.write(name, b"x"), self.path("p"))
                self.assertEqual(r.returncode, 1)
                self.assertIn(f'the name "{shown}'.encode(), r.stderr)
                self.assertIn(rule.encode(), r.stderr)
                self.assertIn(b"--name NAME stores another name", r.stderr)
                self.assertFalse(os.path.exists(self.path("p")))
        # A name that is not UTF-8 (Linux names are bytes), and --name instead.
        latin = os.path.join(os.fsencode(self.dir), b"\xe9t\xe9.txt")
        with open(latin, "wb") as f:
            f.write(b"x")
        r = run("pack", latin, "-o", self.path("p"), "--password-file", self.pw)
        self.assertEqual(r.returncode, 1)
        self.assertIn(b'"\\xE9t\\xE9.txt" cannot be stored: it is not valid UTF-8', r.stderr)
        r = self.pack(latin, self.path("p"), "--name", "\u00e9t\u00e9.txt")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(payload_tool.parse2(self.read("p"))["name"], "\u00e9t\u00e9.txt")
        os.remove(latin)
        os.remove(self.path("p"))
        src = self.write("ok.txt", b"x")
        rules, any_password = ("--format", "1"), ("--format", "1", "--no-password-rules")
        format2 = ("--cost", str(payload_tool.MIN_COST))
        cases = [
            # label, password file bytes (None: an empty line on stdin), options, exit code, message
            ("empty file", b"", format2, 3, b"is empty"),
            ("empty line", None, any_password, 3, b"password is empty"),
            ("only a line ending", b"\r\n", format2, 3, b"password is empty"),
            ("three characters", b"abc\n", rules, 3, b"shorter than 4"),
            ("thirteen characters", b"abcdefghijklm", rules, 3, b"longer than 12"),
            ("accented letter", "s\u00e9same1".encode(), rules, 3, b"outside ASCII"),
            ("blank", b"open sesame", rules, 3, b"other than the letters"),
            ("255 characters", b"x" * 255, any_password, 3, b"longer than 254"),
            ("255 characters, format 2", "\u4e00".encode() * 255, format2, 3, b"longer than 254"),
            ("U+0100", "a\u0100b".encode(), any_password, 3, b"U+0100"),
            ("U+0000, format 2", b"a\0b", format2, 3, b"U+0000"),
            ("not UTF-8", b"\xff\xfe", format2, 3, b"UTF-8"),
        ]
        for label, password, options, code, message in cases:
            with self.subTest(label):
                if password is None:
                    r = run("pack", src, "-o", self.path("p"), "--password-stdin", *options,
                            stdin=b"\n")
                else:
                    r = run("pack", src, "-o", self.path("p"), "--password-file",
                            self.write("bad", password), *options)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(message, r.stderr)
                self.assertFalse(os.path.exists(self.path("p")))
        r = run("pack", src, "-o", self.path("p"), "--password-file", self.path("absent"))
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"No such file", r.stderr)
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--password-file",
                             self.write("ok", b"a,b-c.d/e;=["), *rules).returncode, 0)
        self.assertEqual(run("pack", src, "-o", self.path("q"), "--password-file",
                             self.write("ok", b"x" * 254), *any_password).returncode, 0)
        # Format 2 takes what format 1's rules refuse: long passphrases, blanks,
        # accents, U+0100.
        for n, password in enumerate(("open sesame, said the forty thieves",
                                      "s\u00e9same \u0100 " + "\u4e00" * 240)):
            self.assertEqual(run("pack", src, "-o", self.path(f"v2-{n}"), "--password-file",
                                 self.write("ok", password.encode()), *format2).returncode, 0)

    def test_pack_output_is_guarded(self):
        src = self.write("doc.txt", b"original")
        self.assertEqual(self.pack(src, self.path("p")).returncode, 0)
        first = self.read("p")
        r = self.pack(src, self.path("p"))
        self.assertEqual(r.returncode, 6)
        self.assertEqual(self.read("p"), first)
        self.assertEqual(self.pack(src, self.path("p"), "--force").returncode, 0)
        self.assertNotEqual(self.read("p"), first)
        os.symlink("doc.txt", self.path("doc-link"))
        for out in ("doc.txt", "doc-link"):
            with self.subTest(out):
                r = self.pack(src, self.path(out), "--force")
                self.assertEqual(r.returncode, 1)
                self.assertIn(b"is the input", r.stderr)
                self.assertEqual(self.read("doc.txt"), b"original")
        self.assertEqual(sorted(os.listdir(self.dir)), ["doc-link", "doc.txt", "out", "p", "pw"])

    def test_command_line_table(self):
        """The command line as people meet it, one row a case: the arguments,
        the exit code, words of standard error, and standard output as a
        pattern (None: empty). No row has a terminal, so that a row reaching
        the prompt ends with exit 2 ("no terminal"), and a check that exits
        1 shows it came before the password."""
        src = self.write("f.txt", b"x" * 100)
        payload = self.path("f.orx")
        self.assertEqual(self.pack(src, payload).returncode, 0)
        stub = self.write("setup.exe", image_tool.stub(30000))
        q, pw, format2 = self.path("q"), ("--password-file", self.pw), ("--cost", "100000")
        as_user = self.unprivileged()
        locked = self.path("locked")
        os.mkdir(locked, 0o755)  # the user's own folders only: not this one
        rows = [
            ("version", ["--version"], 0, [], rb"orx \d+\.\d+\.\d+ \(commit \S+\)\n"),
            ("unknown command", ["pakc"], 2, [b"did you mean pack?"], None),
            ("unknown option", ["pack", src, "-o", q, "--forse"], 2, [b"did you mean --force?"], None),
            ("a value for a flag", ["unpack", payload, "--force=yes"], 2, [b"takes no value"], None),
            ("the password as an option", ["pack", src, "-o", q, "--password", "x"], 2,
             [b"unknown option --password"], None),
            ("no such key length", ["pack", src, "-o", q, "--key-bits", "512", *pw], 2, [], None),
            ("programs without --archive", ["pack", src, "-o", q, "--stub", stub, *pw], 2,
             [b"add --archive"], None),
            ("an empty password file name", ["pack", src, "-o", q, "--password-file", ""], 2,
             [b"needs the name of a file"], None),
            ("format 3", ["pack", src, "-o", q, "--format", "3"], 2, [], None),
            ("128 bits in format 2", ["pack", src, "-o", q, "--key-bits", "128"], 2, [], None),
            ("a cost too low", ["pack", src, "-o", q, "--cost", "99999"], 2, [], None),
            ("a cost too high", ["pack", src, "-o", q, "--cost", "10000001"], 2, [], None),
            ("a cost not a number", ["pack", src, "-o", q, "--cost", "1e6"], 2, [], None),
            ("a cost for format 1", ["pack", src, "-o", q, "--format", "1", "--cost", "100000"], 2,
             [], None),
            ("two password sources", ["pack", src, "-o", q, "--generate-password", *pw], 2, [], None),
            ("a generated password in format 1", ["pack", src, "-o", q, "--generate-password",
                                                  "--format", "1"], 2, [], None),
            ("no operand", ["unpack"], 2, [], None),
            ("-C and -o", ["unpack", payload, "-C", self.out, "-o", q], 2, [b"not both"], None),
            ("a payload named .exe", ["pack", src, "-o", self.path("f.exe"), *pw], 2,
             [b"Windows cannot start", b"--archive", b"--force"], None),
            ("... written under it with --force", ["pack", src, "-o", self.path("f.exe"), *pw,
                                                   *format2, "--force"], 0, [], None),
            ("the password file as the output", ["pack", src, "-o", self.pw, "--force", *pw], 1,
             [b"is the input " + self.pw.encode()], None),
            ("standard input for FILE and the password", ["pack", "-", "-o", q,
                                                          "--password-stdin"], 2,
             [b"cannot carry both"], None),
            ("... for the payload and the password", ["unpack", "-", "--password-file", "-"], 2,
             [b"cannot carry both"], None),
            ("nothing to name standard input by", ["pack", "-", "-o", "-", *pw], 2,
             [b"--name NAME"], None),
            ("no terminal to ask on", ["pack", src, "-o", q], 2, [b"no terminal"], None),
            ("... for unpack", ["unpack", payload, "-C", self.out], 2, [b"no terminal"], None),
            ("a missing output folder, before the password", ["pack", src, "-o",
                                                               self.path("none", "q")], 1,
             [b"No such file or directory"], None),
            ("an output folder that is a file", ["unpack", payload, "-C", src], 1,
             [b"is not a folder"], None),
            ("another Windows program", ["inspect", stub], 7, [b"not an archive of this kind"],
             None),
            ("a text", ["test", src, *pw], 7, [b"not an archive or payload of this kind"], None),
            ("inspect into a full disk", ["inspect", payload, ">/dev/full"], 1,
             [b"cannot write to standard output: No space left"], None),
            ("unpack into a full disk", ["unpack", payload, "-o", "-", *pw, ">/dev/full"], 1,
             [b"standard output: No space left"], None),
            ("pack's help", ["pack", "--help"], 0, [],
             rb"(?s)usage: orx pack.*--cost N .*default: 600000.*example:.*exit codes:"),
        ]
        # Each command's help lists its own options, each with its default
        # where it has one, and the command takes every one it lists.
        for command in ("pack", "unpack", "test", "inspect", "archive"):
            with self.subTest(command + "'s own options"):
                r = run(command, "--help")
                self.assertEqual(r.returncode, 0)
                section = re.search(rb"\noptions:\n(.*?)\n\n", r.stdout, re.S).group(1)
                for option in re.findall(rb"^  (--?[\w-]+)", section, re.M):
                    taken = run(command, option.decode(), stdin=b"")
                    self.assertNotIn(b"unknown option", taken.stderr, option)
        if as_user:
            rows.append(("a folder the user may not write, before the password",
                         ["unpack", payload, "-C", locked, "@user"], 1,
                         [b"Permission denied"], None))
        for label, args, code, words, stdout in rows:
            with self.subTest(label):
                out = subprocess.DEVNULL
                if ">/dev/full" in args:
                    args = [a for a in args if a != ">/dev/full"]
                    out = open("/dev/full", "wb")
                    self.addCleanup(out.close)
                user = "@user" in args
                r = subprocess.run([ORX, *[a for a in args if a != "@user"]],
                                   stdin=subprocess.DEVNULL, start_new_session=True,
                                   capture_output=out is subprocess.DEVNULL, timeout=60,
                                   stderr=None if out is subprocess.DEVNULL else subprocess.PIPE,
                                   stdout=None if out is subprocess.DEVNULL else out,
                                   preexec_fn=as_user if user else None)
                self.assertEqual(r.returncode, code, r.stderr)
                for word in words:
                    self.assertIn(word, r.stderr)
                if out is subprocess.DEVNULL:
                    if stdout is None:
                        self.assertEqual(r.stdout, b"")
                    else:
                        self.assertRegex(r.stdout, stdout)
        self.assertEqual(self.read("pw"), "s\u00e9same\n".encode())
        self.assertFalse(os.path.exists(q))
        self.assertOutEmpty()

class Streams(Base):
    def test_standard_input_and_output(self):
        """- for standard input and output, one row a pipeline: what goes in
        on standard input, the command, the exit code, and what comes out."""
        content = os.urandom(3 * 2**20 + 5)
        src = self.write("data.tar", content)
        payload = self.path("data.tar.orx")
        self.assertEqual(self.pack(src, payload).returncode, 0)
        payload1 = self.path("data1.orx")
        self.assertEqual(self.pack(src, payload1, "--format", "1").returncode, 0)
        payload_bytes = self.read("data.tar.orx")
        parts = self.path("parts")
        os.mkdir(parts)
        for name, image in (("Tarrow.exe", image_tool.stub()), ("Orx_DelTool.exe",
                            image_tool.cleanup()), ("Orx_DecryptFile.exe", image_tool.decryptor())):
            self.write(os.path.join("parts", name), image)
        pw, cost = ("--password-file", self.pw), ("--cost", str(payload_tool.MIN_COST))
        opens = lambda name: lambda out: payload_tool.open_payload2(out, "s\u00e9same") == content \
            and payload_tool.parse2(out)["name"] == name
        written = lambda name: lambda out: out == self.path("out", name).encode() + b"\n"
        rows = [
            # label, standard input, arguments, exit code, standard output (bytes, a check, or
            # None: empty), the files then in the output folder
            ("pack from a pipe: OUT's name without its extension",
             content, ["pack", "-", "-o", self.path("out", "x.orx"), *pw, *cost], 0, None,
             ["x.orx"]),
            ("pack to a pipe, with --name", content,
             ["pack", "-", "-o", "-", "--name", "data.bin", *pw, *cost], 0, opens("data.bin"), []),
            ("pack a file to a pipe", None, ["pack", src, "-o", "-", *pw, *cost], 0,
             opens("data.tar"), []),
            ("unpack to a pipe", None, ["unpack", payload, "-o", "-", *pw], 0, content, []),
            ("... format 1", None, ["unpack", payload1, "-o", "-", *pw], 0, content, []),
            ("unpack from a pipe", payload_bytes, ["unpack", "-", "-C", self.out, *pw], 0,
             written("data.tar"), ["data.tar"]),
            ("unpack from a pipe to a pipe", payload_bytes, ["unpack", "-", "-o", "-", *pw], 0,
             content, []),
            ("unpack into a file of another name", None,
             ["unpack", payload, "-o", self.path("out", "mine"), *pw], 0, written("mine"),
             ["mine"]),
            ("test from a pipe", payload_bytes, ["test", "-", *pw], 0,
             b'verified: "data.tar", 3145733 bytes, format 2\n', []),
            ("inspect from a pipe", payload_bytes, ["inspect", "-"], 0,
             lambda out: b"cipherText:   3145733 bytes" in out, []),
            ("an archive from a pipe to a pipe", payload_bytes,
             ["archive", "--payload", "-", "-o", "-", "--parts", parts], 0,
             lambda out: out[PAYLOAD_OFFSET:] == payload_bytes and out[:2] == b"MZ", []),
            ("a payload cut short in a pipe", payload_bytes[:100],
             ["unpack", "-", "-C", self.out, *pw], 5, None, []),
            ("... cut in its content", payload_bytes[:-1000], ["unpack", "-", "-o", "-", *pw], 4,
             None, []),
        ]
        for label, stdin, args, code, stdout, files in rows:
            with self.subTest(label):
                r = run(*args, stdin=stdin if stdin is not None else b"")
                self.assertEqual(r.returncode, code, r.stderr)
                if stdout is None:
                    self.assertEqual(r.stdout, b"")
                elif callable(stdout):
                    self.assertTrue(stdout(r.stdout), r.stdout[:200])
                else:
                    self.assertEqual(r.stdout, stdout)
                self.assertEqual(sorted(os.listdir(self.out)), files)
                for name in files:
                    if name != "x.orx":
                        self.assertEqual(self.read("out", name), content)
                    os.remove(self.path("out", name))
        # tar c | orx pack - ... and orx unpack ... -o - | tar t, as the README has them.
        tree = self.path("tree")
        os.makedirs(os.path.join(tree, "sub dir"))
        self.write(os.path.join("tree", "sub dir", "a.txt"), b"tar me")
        r = subprocess.run("tar -C %s -c . | %s pack - -o %s/t.orx --password-file %s --cost 100000 "
                           "&& %s unpack %s/t.orx -o - --password-file %s | tar t"
                           % (tree, ORX, self.dir, self.pw, ORX, self.dir, self.pw),
                           shell=True, capture_output=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(b"./sub dir/a.txt", r.stdout)

    def test_only_verified_bytes_reach_standard_output(self):
        # Damaged in the last chunk: nothing at all comes out, in either format.
        content = os.urandom(5 * 2**20)
        src = self.write("big.bin", content)
        for fmt in ("1", "2"):
            with self.subTest(format=fmt):
                path = self.path("big" + fmt)
                self.assertEqual(self.pack(src, path, "--format", fmt).returncode, 0)
                damaged = bytearray(self.read("big" + fmt))
                damaged[-40] ^= 1
                r = run("unpack", self.write("bad" + fmt, bytes(damaged)), "-o", "-",
                        "--password-file", self.pw)
                self.assertEqual(r.returncode, 4, r.stderr)
                self.assertEqual(r.stdout, b"")
        # Changed between the two readings: orx is stopped while it writes
        # the first megabytes of the second (the pipe is not read), a later
        # chunk is changed, and the pipe then read. What came out is a
        # beginning of the verified plaintext; the changed chunk never is.
        payload = self.path("big2")
        proc = subprocess.Popen([ORX, "unpack", payload, "-o", "-", "--password-file", self.pw],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = os.read(proc.stdout.fileno(), 1)  # the second reading has begun
        with open(payload, "r+b") as f:
            f.seek(4 * 2**20)
            byte = f.read(1)
            f.seek(4 * 2**20)
            f.write(bytes([byte[0] ^ 1]))
        rest, err = proc.communicate(timeout=120)
        out = first + rest
        self.assertEqual(proc.returncode, 4, err)
        self.assertIn(b"changed between its verification and its decryption", err)
        self.assertLess(len(out), 4 * 2**20)
        self.assertEqual(out, content[:len(out)])
        # A reader that stops early ends orx with a closed pipe's code.
        for args in (("unpack", self.path("big1"), "-o", "-"), ("pack", src, "-o", "-")):
            with self.subTest(args[0] + " into a pipe closed early"):
                proc = subprocess.Popen([ORX, *args, "--password-file", self.pw,
                                         *(("--cost", "100000") if args[0] == "pack" else ())],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                proc.stdout.read(100)
                proc.stdout.close()
                self.assertEqual(proc.wait(timeout=60), 128 + signal.SIGPIPE)

    def test_umask_for_what_is_sent_and_privacy_for_plaintext(self):
        src = self.write("f.txt", b"umask")
        for mask, mode in ((0o022, 0o644), (0o027, 0o640), (0o077, 0o600)):
            with self.subTest(umask=oct(mask)):
                target = self.path("p%o" % mask)
                r = subprocess.run([ORX, "pack", src, "-o", target, "--password-file", self.pw,
                                    "--cost", "100000"], capture_output=True,
                                   preexec_fn=lambda: os.umask(mask))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(os.stat(target).st_mode & 0o777, mode)
        r = subprocess.run([ORX, "unpack", self.path("p22"), "-C", self.out, "--password-file",
                            self.pw], capture_output=True, preexec_fn=lambda: os.umask(0))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(os.stat(self.path("out", "f.txt")).st_mode & 0o777, 0o600)


class NamesAndSizes(Base):
    def test_names_from_a_payload_are_shown_escaped_and_hidden_controls_refused(self):
        # ESC starts a terminal sequence; U+202E shows "inv\u202efdp.exe" as
        # "invexe.pdf", U+2066 and U+0085 hide text likewise: all refused.
        for name, hidden, shown_as in (
                ("\x1b]0;owned\x07a\u202etxt.exe", "\x1b", b"\\x1B]0;owned\\x07a\\u202Etxt.exe"),
                ("inv\u202efdp.exe", "\u202e", b"inv\\u202Efdp.exe"),
                ("a\u2066b.txt", "\u2066", b"a\\u2066b.txt"),
                ("a\u0085b.txt", "\u0085", b"a\\u0085b.txt"),
                ("report\u200b.pdf", "\u200b", b"report\\u200B.pdf"),
                ("a\U000e0041.txt", "\U000e0041", b"a\\U000E0041.txt")):
            path = self.write("p", payload_tool.build(name.encode("utf-16-le"), "s\u00e9same", b"x"))
            for r in (run("inspect", path), self.unpack(path)):
                with self.subTest(name=name.encode("unicode_escape")):
                    self.assertEqual(r.returncode, 5, r.stderr)
                    shown = r.stdout + r.stderr
                    self.assertIn(shown_as, shown)
                    self.assertNotIn(hidden.encode(), shown)
            self.assertOutEmpty()

    def test_255_byte_names_round_trip(self):
        # The temporary name is shortened to fit; the final one is kept.
        for name in ("n" * 251 + ".txt", "\u00e9" * 125 + ".txt", "\U0001F600" * 62 + ".txt"):
            with self.subTest(len(name.encode())):
                src = self.write(name, b"long name")
                self.assertEqual(self.pack(src, self.path("p"), "--force").returncode, 0)
                r = self.unpack(self.path("p"))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(os.listdir(self.out), [name])
                os.remove(self.path("out", name))
                os.remove(src)

    def test_dot_names_need_the_option_and_long_names_are_refused_before_the_password(self):
        # A dot hides a file and makes it a program's settings; a dash makes
        # it an option to "rm *" and the like.
        for name in (".bash_aliases", "-rf"):
            with self.subTest(name):
                dot = self.write("dot", payload_tool.build(name.encode("utf-16-le"),
                                                           "s\u00e9same", b"alias ls='rm -rf ~'"))
                r = self.unpack(dot)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(b"--allow-dot-name writes it", r.stderr)
                self.assertOutEmpty()
                r = self.unpack(dot, "--allow-dot-name")
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(self.read("out", name), b"alias ls='rm -rf ~'")
                os.remove(self.path("out", name))
        # 256 and 260 bytes of UTF-8 in 130 and 132 UTF-16 units: fit for
        # Windows, too long here. No password source and no terminal: the
        # name is refused before the password would be asked.
        for name in ("\u00e9" * 126 + ".txt", "\u00e9" * 128 + ".txt"):
            with self.subTest(len(name.encode())):
                path = self.write("long", payload_tool.build(name.encode("utf-16-le"),
                                                             "s\u00e9same", b"x"))
                r = subprocess.run([ORX, "unpack", path, "-C", self.out], capture_output=True,
                                   stdin=subprocess.DEVNULL, start_new_session=True)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(f"is {len(name.encode())} bytes long, more than the 255".encode(),
                              r.stderr)
                self.assertNotIn(b"password", r.stderr)
                self.assertOutEmpty()

    @unittest.skipUnless(shutil.which("strace"), "needs strace")
    def test_output_is_on_disk_before_it_takes_its_name_and_its_folder_after(self):
        src = self.write("f.txt", b"durable")
        self.assertEqual(self.pack(src, self.path("p")).returncode, 0)
        log = self.path("trace")
        r = subprocess.run(["strace", "-f", "-y", "-o", log, "-e",
                            "trace=fsync,fdatasync,link,linkat,rename,renameat,renameat2",
                            ORX, "unpack", self.path("p"), "-C", self.out, "--password-file",
                            self.pw], capture_output=True)
        if r.returncode != 0 and b"ptrace" in r.stderr:
            self.skipTest("ptrace is not allowed here")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "f.txt"), b"durable")
        with open(log) as f:
            calls = [line for line in f if "= 0" in line]
        commit = next(i for i, c in enumerate(calls)
                      if ("link" in c or "rename" in c) and f'"{self.path("out", "f.txt")}"' in c)
        file_syncs = [i for i, c in enumerate(calls)
                      if c.split("(")[0].endswith("sync") and ".part>" in c]
        folder_syncs = [i for i, c in enumerate(calls)
                        if c.split("(")[0].endswith("sync") and c.rstrip().find(
                            "<" + os.path.realpath(self.out) + ">") > 0]
        self.assertTrue(file_syncs and file_syncs[-1] < commit, calls)
        self.assertTrue(folder_syncs and folder_syncs[0] > commit, calls)

    def test_large_sparse_payload_and_interrupts(self):
        # More than 4 GiB of cipher text, as a hole: 64-bit sizes throughout.
        size = 5 * 2**30 + 3
        path = self.path("big")
        payload_tool.write_sparse(path, "big.bin", "s\u00e9same", size)
        r = run("inspect", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(f"cipherText:   {size} bytes".encode(), r.stdout)
        self.assertIn(b"plainDigest:  " + b"11" * 20, r.stdout)
        # Every signal that would end orx, in the middle of its decryption,
        # removes the partial output and ends it with 128 + N; none leaves a
        # core file, though dumps are allowed (most of these dump core by
        # default, the faults among them).
        signals = [signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGHUP,
                   signal.SIGPIPE, signal.SIGALRM, signal.SIGUSR1, signal.SIGUSR2,
                   signal.SIGXFSZ, signal.SIGXCPU, signal.SIGVTALRM, signal.SIGPROF,
                   signal.SIGIO, signal.SIGPWR, signal.SIGRTMIN, signal.SIGRTMAX,
                   signal.SIGSEGV, signal.SIGBUS, signal.SIGFPE, signal.SIGILL,
                   signal.SIGABRT, signal.SIGTRAP, signal.SIGSYS]
        cwd = self.path("cwd")
        os.mkdir(cwd)
        hard = resource.getrlimit(resource.RLIMIT_CORE)[1]
        for sig in signals:
            with self.subTest(sig.name):
                proc = subprocess.Popen([ORX, "unpack", path, "-C", self.out, "--password-file",
                                         self.pw], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, cwd=cwd,
                                        preexec_fn=lambda: resource.setrlimit(
                                            resource.RLIMIT_CORE, (hard, hard)))
                deadline = time.monotonic() + 60
                while time.monotonic() < deadline and not any(
                        os.path.getsize(self.path("out", f)) > 2**20 for f in os.listdir(self.out)):
                    time.sleep(0.01)
                self.assertEqual(proc.poll(), None, "the decryption ended before the signal")
                proc.send_signal(sig)
                self.assertEqual(proc.wait(timeout=60), 128 + sig)
                self.assertOutEmpty()
                self.assertEqual(os.listdir(cwd), [])

    def test_memory_is_closed_to_dumps_and_other_processes(self):
        # orx waits for its password on a pipe, run as a user without
        # privileges (this one, or orxrecipient when the test runs as root).
        # Another process of that user may neither read its environment nor
        # attach to it, where it may do both to a process of that user
        # without the protection; and orx's core size limit is zero.
        as_user = None
        if os.geteuid() == 0:
            try:
                user = pwd.getpwnam("orxrecipient")
            except KeyError:
                self.skipTest("needs the user orxrecipient (scripts/setup.sh) to run as")

            def as_user():
                os.setgroups([])
                os.setgid(user.pw_gid)
                os.setuid(user.pw_uid)
        os.chmod(self.dir, 0o755)
        os.chmod(self.out, 0o777)  # the user's to write in: checked before the password
        src = self.write("memory.txt", b"secret")
        self.assertEqual(self.pack(src, src + ".p").returncode, 0)
        os.chmod(src + ".p", 0o644)
        probe = ("import ctypes, sys\n"
                 "pid = int(sys.argv[1])\n"
                 "try:\n"
                 "    open('/proc/%d/environ' % pid, 'rb').read()\n"
                 "    print('environ read')\n"
                 "except OSError:\n"
                 "    print('environ refused')\n"
                 "libc = ctypes.CDLL(None, use_errno=True)\n"
                 "if libc.ptrace(16, pid, 0, 0) == 0:\n"  # PTRACE_ATTACH
                 "    print('attached')\n"
                 "else:\n"
                 "    print('attach refused')\n")
        zero_core = re.compile(r"^Max core file size +0 +0 ", re.M)
        results = {}
        for label, command in (("plain", ["sleep", "60"]),
                               ("orx", [ORX, "unpack", src + ".p", "-C", self.out,
                                        "--password-stdin"])):
            proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, preexec_fn=as_user)
            self.addCleanup(proc.stdin.close)
            self.addCleanup(proc.wait)
            self.addCleanup(proc.kill)
            if label == "orx":
                # Set first thing at start, after the process is made closed.
                deadline = time.monotonic() + 10
                while time.monotonic() < deadline:
                    with open("/proc/%d/limits" % proc.pid) as f:
                        if zero_core.search(f.read()):
                            break
                    time.sleep(0.01)
                else:
                    self.fail("orx's core size limit is not zero")
            self.assertEqual(proc.poll(), None, label)
            out = subprocess.run([sys.executable, "-c", probe, str(proc.pid)], capture_output=True,
                                 text=True, preexec_fn=as_user)
            results[label] = out.stdout.split()
        if results["plain"] != ["environ", "read", "attached"]:
            self.skipTest("processes of one user may not attach to each other here: %s"
                          % results["plain"])
        self.assertEqual(results["orx"], ["environ", "refused", "attach", "refused"])


@unittest.skipUnless(os.geteuid() == 0 and os.path.exists("/dev/fuse") and
                     shutil.which("fusefat") and shutil.which("mkfs.vfat"),
                     "needs root, /dev/fuse, fusefat and mkfs.vfat (dosfstools)")
class FatVolume(Base):
    """A FAT volume through FUSE refuses hard links, as a USB stick does."""

    def setUp(self):
        super().setUp()
        image = self.path("fat.img")
        with open(image, "wb") as f:
            f.truncate(32 * 2**20)
        subprocess.run(["mkfs.vfat", image], check=True, capture_output=True)
        self.mount = self.path("mnt")
        os.mkdir(self.mount)
        subprocess.run(["fusefat", "-o", "rw+", image, self.mount], check=True,
                       capture_output=True)
        self.addCleanup(subprocess.run, ["fusermount", "-u", self.mount], capture_output=True)

    def test_outputs_without_force_on_fat(self):
        src = self.write("a.txt", b"on a stick")
        probe = self.path("mnt", "probe")
        open(probe, "w").close()
        with self.assertRaises(OSError):
            os.link(probe, self.path("mnt", "probe-link"))
        os.remove(probe)
        target = self.path("mnt", "a.txt")
        self.assertEqual(self.pack(src, self.path("mnt", "a.pay")).returncode, 0)
        r = run("unpack", self.path("mnt", "a.pay"), "-C", self.mount, "--password-file", self.pw)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("mnt", "a.txt"), b"on a stick")
        r = run("unpack", self.path("mnt", "a.pay"), "-C", self.mount, "--password-file", self.pw)
        self.assertEqual(r.returncode, 6)
        with open(target, "wb") as f:
            f.write(b"replaced")
        r = run("unpack", self.path("mnt", "a.pay"), "-C", self.mount, "--password-file", self.pw,
                 "--force")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("mnt", "a.txt"), b"on a stick")
        self.assertEqual(sorted(os.listdir(self.mount)), ["a.pay", "a.txt"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
