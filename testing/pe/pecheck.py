#!/usr/bin/env python3
"""Static checks of a Windows image (PE32 or PE32+).

Used for the builds that cannot run here (i686) and for the properties of
every build that running would not show: machine, subsystem, size, the DLLs
it imports, the names it exports, its resources and its security flags.
Prints what it found; exits 1 with one line per failed check.
"""
import argparse
import struct
import sys

MACHINES = {0x14C: "32", 0x8664: "64"}
SUBSYSTEMS = {2: "gui", 3: "console"}
RESOURCE_TYPES = {"CURSOR": 1, "BITMAP": 2, "ICON": 3, "MENU": 4, "DIALOG": 5, "STRING": 6,
                  "RCDATA": 10, "GROUP_CURSOR": 12, "ICON_GROUP": 14, "VERSION": 16,
                  "MANIFEST": 24}
DLLCHAR_DYNAMIC_BASE = 0x0040
DLLCHAR_NX_COMPAT = 0x0100
# DLLs that Windows always maps from its system folder (its known DLLs, on
# every version the archive supports), whatever folder the program runs
# from. A program run from a download folder may import nothing else: any
# other name is searched for beside the program first.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "comdlg32.dll", "shlwapi.dll",
               "imm32.dll", "rpcrt4.dll", "sechost.dll", "ws2_32.dll", "ntdll.dll"}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, nsections, _, _, _, opt_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.pe32plus = magic == 0x20B
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
        dd = opt + (112 if self.pe32plus else 96)
        ndirs = struct.unpack_from("<I", data, dd - 4)[0]
        self.dirs = [struct.unpack_from("<II", data, dd + 8 * i) for i in range(min(ndirs, 16))]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(errors="replace"), va,
                                  max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("RVA %#x outside every section" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        end = self.data.index(b"\0", off)
        return self.data[off:end].decode("latin-1")

    def directory(self, index):
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def imports(self):
        rva, size = self.directory(1)
        names = []
        if not rva:
            return names
        off = self.offset(rva)
        while True:
            desc = struct.unpack_from("<IIIII", self.data, off)
            if desc == (0, 0, 0, 0, 0):
                break
            names.append(self.cstring(desc[3]))
            off += 20
        return names

    def exports(self):
        rva, size = self.directory(0)
        if not rva:
            return []
        off = self.offset(rva)
        # Export directory: NumberOfNames at +24, AddressOfNames at +32.
        nnames = struct.unpack_from("<I", self.data, off + 24)[0]
        names_rva = struct.unpack_from("<I", self.data, off + 32)[0]
        return [self.cstring(struct.unpack_from("<I", self.data, self.offset(names_rva) + 4 * i)[0])
                for i in range(nnames)]

    def resources(self):
        """(type, id) pairs; names of named entries as strings."""
        rva, size = self.directory(2)
        if not rva:
            return []
        base = self.offset(rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, base + dir_off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + dir_off + 16 + 8 * i)
                if name & 0x80000000:
                    so = base + (name & 0x7FFFFFFF)
                    n = struct.unpack_from("<H", self.data, so)[0]
                    key = self.data[so + 2:so + 2 + 2 * n].decode("utf-16-le")
                else:
                    key = name
                yield key, target

        found = []
        for rtype, t in entries(0):
            if t & 0x80000000:
                for rid, _ in entries(t & 0x7FFFFFFF):
                    found.append((rtype, rid))
        return found

    def has_tls(self):
        return self.directory(9)[0] != 0


def parse_resource(wanted):
    kind, _, rid = wanted.partition(":")
    kind = RESOURCE_TYPES.get(kind.upper(), None) if not kind.isdigit() else int(kind)
    if kind is None:
        raise SystemExit("unknown resource type in %r" % wanted)
    return kind, (int(rid) if rid.isdigit() else rid.upper())


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("image")
    ap.add_argument("--machine", choices=["32", "64"])
    ap.add_argument("--subsystem", choices=["gui", "console"])
    ap.add_argument("--dll", action="store_true")
    ap.add_argument("--max-size", type=int)
    ap.add_argument("--exports", help="comma-separated: exactly these names")
    ap.add_argument("--imports-allowed", help="comma-separated DLL names")
    ap.add_argument("--imports-required", help="comma-separated DLL names")
    ap.add_argument("--resource", action="append", default=[])
    ap.add_argument("--no-tls", action="store_true")
    ap.add_argument("--system-dlls-only", action="store_true",
                    help="imports only DLLs Windows always takes from its system folder")
    ap.add_argument("--never-names", default="",
                    help="comma-separated names the image must not hold anywhere (ANSI or "
                         "UTF-16, any case): a DLL it must neither import nor load")
    args = ap.parse_args()

    data = open(args.image, "rb").read()
    img = Image(data)
    failures = []
    imports = img.imports()
    exports = img.exports()
    resources = img.resources()
    print("%s: %d bytes, machine %s, subsystem %s, %s" % (
        args.image, len(data), MACHINES.get(img.machine, hex(img.machine)),
        SUBSYSTEMS.get(img.subsystem, img.subsystem),
        "DLL" if img.characteristics & 0x2000 else "program"))
    print("  imports: " + ", ".join(imports))
    if exports:
        print("  exports: " + ", ".join(exports))
    print("  resources: " + ", ".join("%s:%s" % r for r in resources))

    if args.machine and MACHINES.get(img.machine) != args.machine:
        failures.append("machine is %#x, expected the %s-bit one" % (img.machine, args.machine))
    if args.subsystem and SUBSYSTEMS.get(img.subsystem) != args.subsystem:
        failures.append("subsystem %d, expected %s" % (img.subsystem, args.subsystem))
    if args.dll != bool(img.characteristics & 0x2000):
        failures.append("DLL flag is %s" % bool(img.characteristics & 0x2000))
    if args.max_size is not None and len(data) > args.max_size:
        failures.append("%d bytes, more than the %d allowed" % (len(data), args.max_size))
    if not img.dll_characteristics & DLLCHAR_DYNAMIC_BASE:
        failures.append("not built for address-space layout randomisation (dynamic base)")
    if not img.dll_characteristics & DLLCHAR_NX_COMPAT:
        failures.append("not marked compatible with no-execute data (NX)")
    if args.exports is not None:
        want = sorted(x for x in args.exports.split(",") if x)
        if sorted(exports) != want:
            failures.append("exports %s, expected exactly %s" % (sorted(exports), want))
    lower = [i.lower() for i in imports]
    if args.imports_allowed is not None:
        allowed = {x.lower() for x in args.imports_allowed.split(",")}
        extra = [i for i in imports if i.lower() not in allowed]
        if extra:
            failures.append("imports DLLs outside the allowed set: %s" % ", ".join(extra))
    if args.system_dlls_only:
        extra = [i for i in imports if i.lower() not in SYSTEM_DLLS]
        if extra:
            failures.append("imports DLLs that Windows may take from the program's folder: %s"
                            % ", ".join(extra))
    folded = data.lower()
    for name in filter(None, args.never_names.split(",")):
        for form in (name.lower().encode("ascii"), name.lower().encode("utf-16-le")):
            if form in folded:
                failures.append("holds the name %s (%s)" % (name, "UTF-16" if len(form) > len(name)
                                                            else "ANSI"))
    if args.imports_required:
        for need in args.imports_required.split(","):
            if need.lower() not in lower:
                failures.append("does not import %s" % need)
    for wanted in args.resource:
        if parse_resource(wanted) not in resources:
            failures.append("resource %s missing" % wanted)
    if args.no_tls and img.has_tls():
        failures.append("has a TLS directory (thread-local callbacks run before the entry point)")

    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
