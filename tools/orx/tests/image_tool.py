"""Small Windows program images for the orx archive tests: just the headers
that tell what a program is (machine, kind, subsystem, sections, the top of
the resource directory), laid out by the PE format, not by orx."""
import struct

GUI, CONSOLE = 2, 3
RT_DIALOG, RT_GROUP_ICON = 5, 14
PASSWORD_DIALOG, PROGRESS_DIALOG = 102, 104  # the decryptor's and the stub's


def program(subsystem, resources=(), machine=0x14C, dll=False, size=2048):
    """A PE image of `size` bytes whose resource directory lists the given
    resource types, each a type or (type, [ids of its resources]).
    machine 0x14C gives PE32, 0x8664 PE32+."""
    resources = [r if isinstance(r, tuple) else (r, []) for r in resources]
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
    # Each type's directory of ids at 0x40 + 0x20 * i from the root; every id
    # leads to the same (empty) data entry.
    for i, (kind, ids) in enumerate(resources):
        sub = 0x40 + 0x20 * i
        struct.pack_into("<II", image, rsrc_raw + 16 + 8 * i, kind, 0x80000000 | sub)
        struct.pack_into("<HH", image, rsrc_raw + sub + 12, 0, len(ids))
        for k, name in enumerate(ids):
            struct.pack_into("<II", image, rsrc_raw + sub + 16 + 8 * k, name, 0x180)
    return bytes(image)


def stub(size=2048):
    return program(GUI, [RT_GROUP_ICON, (RT_DIALOG, [PROGRESS_DIALOG])], size=size)


def cleanup(size=2048):
    return program(CONSOLE, size=size)


def decryptor(size=2048):
    return program(GUI, [RT_GROUP_ICON, (RT_DIALOG, [PASSWORD_DIALOG, 103])], size=size)
