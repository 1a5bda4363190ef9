"""orx archive: slot layout and padding, the checks of every part, and the
guard on the output; every refusal writes nothing."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import image_tool  # noqa: E402
import payload_tool  # noqa: E402

ORX = os.environ["ORX"]
STUB_SLOT, CLEANUP_SLOT, DECRYPTOR_SLOT = 24576, 12288, 41472
PAYLOAD_OFFSET = 0x13200


def run(*args):
    return subprocess.run([ORX, *args], capture_output=True, text=True)


class ArchiveTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.payload = payload_tool.build("a.txt".encode("utf-16-le"), "pw", os.urandom(70000))

    def file(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, name):
        with open(os.path.join(self.dir.name, name), "rb") as f:
            return f.read()

    def build(self, stub, cleanup, decryptor, payload, *extra, out="out.exe"):
        out = os.path.join(self.dir.name, out)
        result = run("archive", "--stub", self.file("s", stub), "--cleanup",
                     self.file("c", cleanup), "--decryptor", self.file("d", decryptor),
                     "--payload", self.file("p", payload), "-o", out, *extra)
        return result, out

    def test_layout_pads_each_slot_and_appends_payload(self):
        stub, cleanup = image_tool.stub(1600), image_tool.cleanup(CLEANUP_SLOT)
        decryptor = image_tool.decryptor(41000)
        result, out = self.build(stub, cleanup, decryptor, self.payload)
        self.assertEqual(result.returncode, 0, result.stderr)
        data = self.read(out)
        self.assertEqual(len(data), PAYLOAD_OFFSET + len(self.payload))
        self.assertEqual(data[:1600], stub)
        self.assertEqual(data[1600:0x6000], bytes(0x6000 - 1600))
        self.assertEqual(data[0x6000:0x9000], cleanup)
        self.assertEqual(data[0x9000:0x9000 + 41000], decryptor)
        self.assertEqual(data[0x9000 + 41000:PAYLOAD_OFFSET], bytes(472))
        self.assertEqual(data[PAYLOAD_OFFSET:], self.payload)
        # 64-bit programs serve as well (the archives run under wine64), and a
        # format-2 payload as well as a format-1 one.
        password_dialog = (image_tool.RT_DIALOG, [image_tool.PASSWORD_DIALOG])
        parts = [image_tool.program(image_tool.GUI, [image_tool.RT_GROUP_ICON], machine=0x8664),
                 image_tool.program(image_tool.CONSOLE, machine=0x8664),
                 image_tool.program(image_tool.GUI, [password_dialog], machine=0x8664)]
        payload2 = payload_tool.build2("a.txt".encode("utf-16-le"), "pw", b"format 2")
        result, out = self.build(*parts, payload2, out="out64.exe")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.read(out)[PAYLOAD_OFFSET:], payload2)

    def test_parts_that_do_not_fit_their_slot_are_refused(self):
        stub, cleanup, decryptor = image_tool.stub(), image_tool.cleanup(), image_tool.decryptor()
        document = b"%PDF-1.4 quarterly figures\n" * 100
        absurd = bytearray(payload_tool.build2("a.txt".encode("utf-16-le"), "pw", b"x"))
        absurd[12:16] = (4000000000).to_bytes(4, "little")
        cases = [
            # label, (stub, cleanup, decryptor, payload), exit code, words of the message
            ("stub too large", (image_tool.stub(STUB_SLOT + 1), cleanup, decryptor, self.payload),
             1, ["stub", "24576"]),
            ("cleanup too large", (stub, image_tool.cleanup(CLEANUP_SLOT + 1), decryptor,
                                   self.payload), 1, ["cleanup tool", "12288"]),
            ("decryptor too large", (stub, cleanup, image_tool.decryptor(DECRYPTOR_SLOT + 1),
                                     self.payload), 1, ["decryptor", "41472"]),
            ("document as stub", (document, cleanup, decryptor, self.payload), 1,
             ["stub", "not a Windows program"]),
            ("empty cleanup tool", (stub, b"", decryptor, self.payload), 1, ["cleanup tool", "empty"]),
            ("stub and cleanup swapped", (cleanup, stub, decryptor, self.payload), 1,
             ["stub", "console program", "GUI"]),
            ("stub and decryptor swapped", (decryptor, cleanup, stub, self.payload), 1,
             ["stub", "dialog template", "decryptor"]),
            # The stub's progress window is a dialog template too, not the password dialog.
            ("stub as decryptor", (stub, cleanup, stub, self.payload), 1,
             ["decryptor", "no password dialog template"]),
            ("a DLL as decryptor", (stub, cleanup, image_tool.program(
                image_tool.GUI, [(image_tool.RT_DIALOG, [image_tool.PASSWORD_DIALOG])], dll=True),
                self.payload), 1, ["DLL"]),
            ("cut-short decryptor", (stub, cleanup, image_tool.decryptor()[:0x500], self.payload),
             1, ["decryptor", "cut short"]),
            ("plaintext payload", (stub, cleanup, decryptor, document), 7,
             ["not a payload", "signature"]),
            ("empty payload", (stub, cleanup, decryptor, b""), 5,
             ["not one the decryptor can open", "empty"]),
            ("archive as payload", (stub, cleanup, decryptor, stub + self.payload), 7,
             ["not a bare payload"]),
            ("truncated payload", (stub, cleanup, decryptor, self.payload[:50]), 5,
             ["truncated payload"]),
            ("format-2 payload asking for four billion iterations",
             (stub, cleanup, decryptor, bytes(absurd)), 5,
             ["not one the decryptor can open", "cost"]),
        ]
        for label, parts, code, words in cases:
            with self.subTest(label):
                result, out = self.build(*parts)
                self.assertEqual(result.returncode, code, result.stderr)
                for word in words:
                    self.assertIn(word, result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir.name)), ["c", "d", "p", "s"])

    def test_output_is_guarded(self):
        parts = (image_tool.stub(), image_tool.cleanup(), image_tool.decryptor(), self.payload)
        result, out = self.build(*parts)
        self.assertEqual(result.returncode, 0, result.stderr)
        first = self.read(out)
        # An existing output needs --force, and then it is replaced.
        result, _ = self.build(*parts[:3], b"".join([self.payload[:-4], b"\1\2\3\4"]))
        self.assertEqual(result.returncode, 6, result.stderr)
        self.assertIn("--force", result.stderr)
        self.assertEqual(self.read(out), first)
        result, _ = self.build(*parts[:3], b"".join([self.payload[:-4], b"\1\2\3\4"]), "--force")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.read(out)[-4:], b"\1\2\3\4")
        # The output may not be an input, under any of its names, --force or not.
        os.link(os.path.join(self.dir.name, "p"), os.path.join(self.dir.name, "p-link"))
        before = sorted(os.listdir(self.dir.name))
        for out_name in ("p", "p-link"):
            with self.subTest(out_name):
                result, _ = self.build(*parts, "--force", out=out_name)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("is the input", result.stderr)
                self.assertEqual(self.read("p"), self.payload)
                self.assertEqual(sorted(os.listdir(self.dir.name)), before)

    def test_missing_option_is_a_usage_error(self):
        result = run("archive", "--stub", "x", "-o", "y")
        self.assertEqual(result.returncode, 2)
        self.assertIn("--payload is required", result.stderr)

    def test_parts_by_folder_and_by_file(self):
        # --parts names a folder of the release's three names; --stub,
        # --cleanup or --decryptor replaces one of them. A part missing is
        # named with its file and the options that name another.
        folder = os.path.join(self.dir.name, "release")
        os.mkdir(folder)
        images = {"Tarrow.exe": image_tool.stub(1600), "Orx_DelTool.exe": image_tool.cleanup(),
                  "Orx_DecryptFile.exe": image_tool.decryptor()}
        for name, image in images.items():
            self.file(os.path.join("release", name), image)
        payload = self.file("p", self.payload)
        other = self.file("other-stub", image_tool.stub(1800))
        for label, extra, stub in (("the folder", [], images["Tarrow.exe"]),
                                   ("one replaced", ["--stub", other], image_tool.stub(1800))):
            with self.subTest(label):
                out = os.path.join(self.dir.name, label + ".exe")
                result = run("archive", "--parts", folder, "--payload", payload, "-o", out, *extra)
                self.assertEqual(result.returncode, 0, result.stderr)
                data = self.read(out)
                self.assertEqual(data[:len(stub)], stub)
                self.assertEqual(data[0x9000:0x9000 + 2048], images["Orx_DecryptFile.exe"])
        os.remove(os.path.join(folder, "Orx_DelTool.exe"))
        missing = os.path.join(self.dir.name, "missing.exe")
        result = run("archive", "--parts", folder, "--payload", payload, "-o", missing)
        self.assertEqual(result.returncode, 1)
        for word in ("the cleanup tool", os.path.join(folder, "Orx_DelTool.exe"), "--parts DIR",
                     "Tarrow.exe, Orx_DelTool.exe and Orx_DecryptFile.exe", "nothing written"):
            self.assertIn(word, result.stderr)
        self.assertFalse(os.path.exists(missing))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
