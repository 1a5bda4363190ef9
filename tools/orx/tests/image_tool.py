"""Small Windows program images for the orx archive tests: just the headers
that tell what a program is (machine, kind, subsystem, sections, the top of
the resource directory), laid out by the PE format, not by orx."""
import struct

GUI, CONSOLE = 2, 3
RT_DIALOG, RT_GROUP_ICON = 5, 14


def program(subsystem, resources=(), machine=0x14C, dll=False, size=2048):
    """A PE image of `size` bytes whose resource directory lists the given
    resource types. machine 0x14C gives PE32, 0x8664 PE32+."""
    plus = machine == 0x8664
    opt_size = 240 if plus else 224
    pe = 0x80
    sections = pe + 24 + opt_size
    rsrc_raw = 0x400
    characteristics = 0x0002 | (0x2000 if dll else 0) | (0 if plus else 0x0100)
    image = bytearray(size)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, pe)
    image[pe:pe + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", image, pe + 4, machine, 1, 0, 0, 0, opt_size, characteristics)
    opt = pe + 24
    struct.pack_into("<H", image, opt, 0x20B if plus else 0x10B)
    struct.pack_into("<H", image, opt + 68, subsystem)
    count_at = opt + (108 if plus else 92)
    struct.pack_into("<I", image, count_at, 16)
    if resources:
        struct.pack_into("<II", image, count_at + 4 + 8 * 2, 0x1000, 16 + 8 * len(resources))
    struct.pack_into("<8sIIII", image, sections, b".rsrc", 0x200, 0x1000, 0x200, rsrc_raw)
    struct.pack_into("<HH", image, rsrc_raw + 12, 0, len(resources))
    for i, kind in enumerate(resources):
        struct.pack_into("<II", image, rsrc_raw + 16 + 8 * i, kind, 0x80000000 | 0x100)
    return bytes(image)


def stub(size=2048):
    return program(GUI, [RT_GROUP_ICON], size=size)


def cleanup(size=2048):
    return program(CONSOLE, size=size)


def decryptor(size=2048):
    return program(GUI, [RT_GROUP_ICON, RT_DIALOG], size=size)
