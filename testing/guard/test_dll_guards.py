"""The stack guard of each shipped DLL is made unpredictable as it loads:
under wine64, read in two processes from the loaded DLL (guard_probe.exe,
at the offset its linker map gives), it is not zero and not the same
twice.

  test_dll_guards.py WINE-RUN PREFIX PROBE.EXE (DLL MAP)...
"""
import os
import subprocess
import sys
import unittest

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "pe"))
from pecheck import map_symbols  # noqa: E402

WINE_RUN, PREFIX, PROBE = sys.argv[1:4]
DLLS = list(zip(sys.argv[4::2], sys.argv[5::2]))


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class DllGuards(unittest.TestCase):
    def test_guards_are_set_at_load(self):
        args = []
        for dll, map_file in DLLS:
            _, symbols = map_symbols(map_file)
            base = pefile.PE(dll, fast_load=True).OPTIONAL_HEADER.ImageBase
            args += [windows_path(dll), "%x" % (symbols["__stack_chk_guard"] - base)]
        runs = []
        for _ in range(2):
            r = subprocess.run([WINE_RUN, "--prefix", PREFIX, PROBE] + args,
                               capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            runs.append(r.stdout.split())
        for (dll, _), first, second in zip(DLLS, *runs):
            with self.subTest(os.path.basename(dll)):
                self.assertNotEqual(int(first, 16), 0)
                self.assertNotEqual(first, second)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
