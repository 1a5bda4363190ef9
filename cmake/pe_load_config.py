#!/usr/bin/python3
"""Points a 32-bit image's load configuration directory at its structure.

The image defines `_load_config_used` (an IMAGE_LOAD_CONFIG_DIRECTORY32:
here, its table of safe exception handlers); Microsoft's linker fills the
directory entry from that symbol, Debian 12's GNU linker (binutils 2.40)
does not. The symbol's address is read from the linker map of the stripped
image. The entry's size is the structure's own Size field, as the loader
wants it; the header checksum is recomputed where the linker wrote one.
Run after every link; the result is the same bytes for the same input.
"""
import argparse
import re
import sys

import pefile

SYMBOL = "_load_config_used"  # as the map names it: undecorated


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("image")
    ap.add_argument("--map", required=True, help="the linker map of the image")
    args = ap.parse_args()

    text = open(args.map, encoding="latin-1").read()
    found = re.findall(r"^\s+0x([0-9a-fA-F]+)\s+%s$" % re.escape(SYMBOL), text, re.M)
    if len(found) != 1:
        sys.exit("%s: the map %s defines %s %d times" % (args.image, args.map, SYMBOL, len(found)))
    pe = pefile.PE(args.image)
    if pe.FILE_HEADER.Machine != 0x14C:
        sys.exit("%s: not a 32-bit image" % args.image)
    rva = int(found[0], 16) - pe.OPTIONAL_HEADER.ImageBase
    size = pe.get_dword_at_rva(rva)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    directory.VirtualAddress = rva
    directory.Size = size
    data = pe.write()
    pe.close()
    if pe.OPTIONAL_HEADER.CheckSum:
        pe = pefile.PE(data=data)
        pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
        data = pe.write()
    with open(args.image, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
