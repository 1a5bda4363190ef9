"""orx pack / unpack / inspect: round trips, the format as read
independently, and every refusal with nothing written."""
import os
import pty
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
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
        return run("pack", source, "-o", target, "--password-file", pw or self.pw, *extra)

    def unpack(self, source, *extra, pw=None):
        return run("unpack", source, "-C", self.out, "--password-file", pw or self.pw, *extra)

    def assertOutEmpty(self):
        self.assertEqual(os.listdir(self.out), [])


class RoundTrip(Base):
    def test_sizes_and_key_lengths(self):
        for bits in ("128", "192", "256"):
            for size in (0, 1, 1023, 1024, 1025, 65536, 3 * 1024 * 1024 + 7):
                with self.subTest(bits=bits, size=size):
                    content = os.urandom(size)
                    src = self.write("data.bin", content)
                    r = self.pack(src, self.path("p"), "--key-bits", bits)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    payload = self.read("p")
                    fields = payload_tool.parse(payload)
                    self.assertEqual(fields["key_bytes"], int(bits) // 8)
                    self.assertEqual(len(payload), 32 + 16 + 2 * int(bits) // 8 + size + 24)
                    if size <= 1025:  # the format, as read without orx
                        self.assertEqual(payload_tool.open_payload(payload, "s\u00e9same"),
                                         content)
                    r = self.unpack(self.path("p"))
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(self.read("out", "data.bin"), content)
                    os.remove(self.path("out", "data.bin"))

    def test_fields_written_by_pack(self):
        src = self.write("r\u00e9sum\u00e9 \u4e2d.txt", b"hello")
        self.assertEqual(self.pack(src, self.path("p")).returncode, 0)
        first = payload_tool.parse(self.read("p"))
        self.assertEqual(first["signature"], 0xF8EBD601)
        self.assertEqual(first["name"], "r\u00e9sum\u00e9 \u4e2d.txt")
        self.assertEqual(first["key_bytes"], 32)
        self.assertEqual(first["tail"], b"\0\0\0\0")
        # A fresh random file key and secondBlock every time.
        self.assertEqual(self.pack(src, self.path("q")).returncode, 0)
        second = payload_tool.parse(self.read("q"))
        self.assertNotEqual(first["key_check"], second["key_check"])
        self.assertNotEqual(first["second"], second["second"])
        self.assertNotEqual(first["cipher"], second["cipher"])

    def test_payload_made_elsewhere_with_odd_name_length_and_any_second_block(self):
        name = "plain.txt".encode("utf-16-le") + b"\x7f"  # the odd byte is dropped
        data = payload_tool.build(name, "s\u00e9same", b"made elsewhere" * 100, key_bytes=24,
                                  second=b"\xff" * 24, tail=b"\x01\x02\x03\x04")
        r = self.unpack(self.write("p", data))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "plain.txt"), b"made elsewhere" * 100)

    def test_archive_in_one_step(self):
        parts = [self.write(n, n.encode() * 50) for n in ("stub", "cleanup", "decryptor")]
        content = os.urandom(100000)
        src = self.write("doc.pdf", content)
        r = self.pack(src, self.path("a.exe"), "--archive", "--stub", parts[0], "--cleanup",
                      parts[1], "--decryptor", parts[2])
        self.assertEqual(r.returncode, 0, r.stderr)
        archive = self.read("a.exe")
        self.assertEqual(archive[:200], b"stub" * 50)
        self.assertEqual(archive[0x6000:0x6000 + 350], b"cleanup" * 50)
        self.assertEqual(archive[0x9000:0x9000 + 450], b"decryptor" * 50)
        # An archive whose stub starts like a program is found at its slot offset.
        archive = b"MZ" + archive[2:]
        self.write("a.exe", archive)
        self.assertEqual(payload_tool.open_payload(archive[PAYLOAD_OFFSET:], "s\u00e9same"),
                         content)
        info = run("inspect", self.path("a.exe"))
        self.assertEqual(info.returncode, 0, info.stderr)
        self.assertIn(b"archive", info.stdout)
        self.assertIn(b"aes-256-cfb", info.stdout)
        self.assertIn(b"doc.pdf", info.stdout)
        self.assertIn(b"100000 bytes", info.stdout)
        r = self.unpack(self.path("a.exe"))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "doc.pdf"), content)

    def test_password_maps_like_the_decryptor(self):
        # U+01E9 and U+00E9 have the same low byte; stdin and file agree.
        src = self.write("f", b"x" * 10)
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--password-stdin",
                             stdin="s\u01e9same\r\n".encode()).returncode, 0)
        r = self.unpack(self.path("p"))
        self.assertEqual(r.returncode, 0, r.stderr)
        payload_tool.open_payload(self.read("p"), "s\u00e9same")

    def test_terminal_prompt_does_not_echo(self):
        src = self.write("f", b"secret content")
        self.assertEqual(self.pack(src, self.path("p")).returncode, 0)
        pid, fd = pty.fork()
        if pid == 0:
            os.execv(ORX, [ORX, "unpack", self.path("p"), "-C", self.out])
        seen = b""
        while b"Password:" not in seen:
            seen += os.read(fd, 1024)
        os.write(fd, "s\u00e9same\n".encode())
        try:
            while True:
                chunk = os.read(fd, 1024)
                if not chunk:
                    break
                seen += chunk
        except OSError:
            pass
        _, status = os.waitpid(pid, 0)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0, seen)
        self.assertNotIn("s\u00e9same".encode(), seen)
        self.assertEqual(self.read("out", "f"), b"secret content")


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
        cases = [
            ("wrong password", self.write("p1", good), self.write("w", b"sesame"), 3, b"wrong password"),
            ("digest", self.write("p2", bytes(flipped)), None, 4, b"digest"),
            ("signature 0x11", self.payload(signature=0xF8EBD611), None, 5, b"signature"),
            ("keyBytes 20", self.payload(key_field=20), None, 5, b"key length"),
            ("long name", self.payload(name_bytes=b"a\0" * 1024), None, 5, b"2,046"),
            ("path name", self.payload(name_bytes="..\\..\\x.txt".encode("utf-16-le")), None, 5,
             b"plain file name"),
            ("slash name", self.payload(name_bytes="../x".encode("utf-16-le")), None, 5,
             b"plain file name"),
            ("device name", self.payload(name_bytes="NUL.txt".encode("utf-16-le")), None, 5,
             b"plain file name"),
            ("too short", self.write("p3", good[:len(good) - 3500 - 24 + 10]), None, 5,
             b"too short"),
            ("truncated", self.write("p4", good[:40]), None, 5, b"ends inside"),
            ("empty", self.write("p5", b""), None, 5, b"ends inside"),
            ("archive without payload", self.write("p6", b"MZ" + bytes(PAYLOAD_OFFSET - 2)),
             None, 5, b"ends inside"),
        ]
        for label, path, pw, code, message in cases:
            with self.subTest(label):
                r = self.unpack(path, pw=pw)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(message, r.stderr)
                self.assertOutEmpty()

    def test_existing_file_needs_force(self):
        self.write("out/a.txt", b"keep me")
        path = self.payload()
        r = self.unpack(path)
        self.assertEqual(r.returncode, 6)
        self.assertEqual(self.read("out", "a.txt"), b"keep me")
        self.assertEqual(os.listdir(self.out), ["a.txt"])
        r = self.unpack(path, "--force")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out", "a.txt"), b"content" * 500)

    def test_pack_refuses_names_and_passwords_and_writes_nothing(self):
        for name in ("CON.txt", "name.", "name ", "a:b", "what?", "tab\tname"):
            with self.subTest(name):
                r = self.pack(self.write(name, b"x"), self.path("p"))
                self.assertEqual(r.returncode, 1)
                self.assertIn(b"plain Windows file name", r.stderr)
                self.assertFalse(os.path.exists(self.path("p")))
        src = self.write("ok.txt", b"x")
        for label, password in (("255 characters", "x" * 255), ("U+0100", "a\u0100b"),
                                ("not UTF-8", None)):
            with self.subTest(label):
                pw = self.write("bad", b"\xff\xfe" if password is None else password.encode())
                r = self.pack(src, self.path("p"), pw=pw)
                self.assertEqual(r.returncode, 1)
                self.assertFalse(os.path.exists(self.path("p")))
        self.assertEqual(self.pack(src, self.path("p"), pw=self.write("ok", b"x" * 254)).returncode, 0)

    def test_command_line_refusals(self):
        src = self.write("f", b"x")
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--password", "x").returncode, 2)
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--key-bits", "512",
                             "--password-file", self.pw).returncode, 2)
        self.assertEqual(run("pack", src, "-o", self.path("p"), "--archive",
                             "--password-file", self.pw).returncode, 2)
        self.assertEqual(run("unpack").returncode, 2)
        self.assertFalse(os.path.exists(self.path("p")))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
