"""orx archive: slot layout, padding and the refusals that write nothing."""
import os
import subprocess
import sys
import tempfile
import unittest

ORX = os.environ["ORX"]
STUB_SLOT, CLEANUP_SLOT, DECRYPTOR_SLOT = 24576, 12288, 41472
PAYLOAD_OFFSET = 0x13200


def run(*args):
    return subprocess.run([ORX, *args], capture_output=True, text=True)


class ArchiveTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def file(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def build(self, stub, cleanup, decryptor, payload):
        out = os.path.join(self.dir.name, "out.exe")
        result = run("archive", "--stub", self.file("s", stub), "--cleanup",
                     self.file("c", cleanup), "--decryptor", self.file("d", decryptor),
                     "--payload", self.file("p", payload), "-o", out)
        return result, out

    def test_layout_pads_each_slot_and_appends_payload(self):
        payload = os.urandom(70000)
        result, out = self.build(b"S" * 1000, b"C" * 12288, b"D" * 41000, payload)
        self.assertEqual(result.returncode, 0, result.stderr)
        data = open(out, "rb").read()
        self.assertEqual(len(data), PAYLOAD_OFFSET + len(payload))
        self.assertEqual(data[:1000], b"S" * 1000)
        self.assertEqual(data[1000:0x6000], bytes(0x6000 - 1000))
        self.assertEqual(data[0x6000:0x9000], b"C" * 12288)
        self.assertEqual(data[0x9000:0x9000 + 41000], b"D" * 41000)
        self.assertEqual(data[0x9000 + 41000:PAYLOAD_OFFSET], bytes(472))
        self.assertEqual(data[PAYLOAD_OFFSET:], payload)

    def test_empty_payload_gives_bare_stub_length(self):
        result, out = self.build(b"S" * STUB_SLOT, b"C", b"D" * DECRYPTOR_SLOT, b"")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(os.path.getsize(out), PAYLOAD_OFFSET)

    def test_oversized_parts_are_refused_and_nothing_written(self):
        cases = {
            "stub": (b"S" * (STUB_SLOT + 1), b"C", b"D"),
            "cleanup tool": (b"S", b"C" * (CLEANUP_SLOT + 1), b"D"),
            "decryptor": (b"S", b"C", b"D" * (DECRYPTOR_SLOT + 1)),
        }
        for what, parts in cases.items():
            with self.subTest(what):
                result, out = self.build(*parts, b"payload")
                self.assertEqual(result.returncode, 1)
                self.assertIn(what, result.stderr)
                self.assertIn(str(len(max(parts, key=len))), result.stderr)
                self.assertFalse(os.path.exists(out))
                self.assertEqual(sorted(os.listdir(self.dir.name)), ["c", "d", "p", "s"])

    def test_missing_payload_writes_nothing(self):
        out = os.path.join(self.dir.name, "out.exe")
        result = run("archive", "--stub", self.file("s", b"S"), "--cleanup", self.file("c", b"C"),
                     "--decryptor", self.file("d", b"D"), "--payload",
                     os.path.join(self.dir.name, "absent"), "-o", out)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["c", "d", "s"])

    def test_missing_option_is_a_usage_error(self):
        result = run("archive", "--stub", "x", "-o", "y")
        self.assertEqual(result.returncode, 2)
        self.assertIn("--cleanup", result.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
