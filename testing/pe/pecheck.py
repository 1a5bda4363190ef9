#!/usr/bin/python3
"""Static checks of a Windows image (PE32 or PE32+).

Used for the builds that cannot run here (i686) and for the properties of
every build that running would not show: machine, subsystem, size, the DLLs
it imports, the names it exports, its resources, its manifest and its
security flags. Reads the image with pefile (Debian's python3-pefile).
Prints what it found; exits 1 with one line per failed check.
"""
import argparse
import re
import sys
import xml.etree.ElementTree as ET

import pefile

MACHINES = {0x14C: "32", 0x8664: "64"}
SUBSYSTEMS = {2: "gui", 3: "console"}
RESOURCE_TYPES = {"CURSOR": 1, "BITMAP": 2, "ICON": 3, "MENU": 4, "DIALOG": 5, "STRING": 6,
                  "RCDATA": 10, "GROUP_CURSOR": 12, "ICON_GROUP": 14, "VERSION": 16,
                  "MANIFEST": 24}
DLLCHAR = pefile.DLL_CHARACTERISTICS
# DLLs that Windows always maps from its system folder (its known DLLs, on
# every version the archive supports), whatever folder the program runs
# from. A program run from a download folder may import nothing else: any
# other name is searched for beside the program first.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "comdlg32.dll", "shlwapi.dll",
               "imm32.dll", "rpcrt4.dll", "sechost.dll", "ws2_32.dll", "ntdll.dll"}
# The systems a manifest must declare: Windows 7, 8, 8.1 and 10 (also 11).
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
MANIFEST_ID = 1  # the one a program's loader reads
# x86 "mov fs:[0], reg" (64 89 /r with a 32-bit displacement of 0, or 64 A3):
# how code links a structured exception handler's record into the chain.
FS0_WRITE = re.compile(rb"\x64(?:\x89[\x05\x0d\x15\x1d\x25\x2d\x35\x3d]|\xa3)\x00\x00\x00\x00")


def resources(pe):
    """{(type, id): bytes}; names of named entries as upper-case strings."""
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        kind = rtype.id if rtype.name is None else str(rtype.name).upper()
        for rid in getattr(rtype, "directory", None) and rtype.directory.entries or []:
            key = rid.id if rid.name is None else str(rid.name).upper()
            data = b""
            for lang in getattr(rid, "directory", None) and rid.directory.entries or []:
                entry = lang.data.struct
                data = pe.get_data(entry.OffsetToData, entry.Size)
            found[(kind, key)] = data
    return found


def manifest_facts(text):
    """(execution level or None, uiAccess, supported OS ids, dependencies, DPI awareness) of a
    manifest; the awareness as its two settings, lower case: (dpiAware, the dpiAwareness list)."""
    root = ET.fromstring(text)
    level, ui_access, systems, dependencies = None, False, set(), []
    # Windows takes each setting only from its own namespace, in the
    # windowsSettings of the asm.v3 application element; one anywhere else
    # is ignored without a word, so it is not counted here either.
    settings = "{urn:schemas-microsoft-com:asm.v3}application/" \
               "{urn:schemas-microsoft-com:asm.v3}windowsSettings/"
    aware = root.find(settings + "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
    awareness = root.find(settings +
                          "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness")
    dpi_aware = None if aware is None else (aware.text or "").strip().lower()
    dpi_awareness = [] if awareness is None else [v.strip().lower()
                                                  for v in (awareness.text or "").split(",")]
    for element in root.iter():
        tag = element.tag.split("}")[-1]
        if tag == "requestedExecutionLevel":
            level = element.get("level")
            ui_access = element.get("uiAccess", "false").lower() == "true"
        elif tag == "supportedOS":
            systems.add(element.get("Id", "").lower())
        elif tag == "dependentAssembly":
            dependencies += [child.get("name") for child in element
                             if child.tag.split("}")[-1] == "assemblyIdentity"]
    return level, ui_access, systems, dependencies, (dpi_aware, dpi_awareness)


def map_symbols(path):
    """The text of a GNU linker map and {name: address} of the symbols it
    defines, named as in the source (undecorated, C++ names demangled)."""
    text = open(path, encoding="latin-1").read()
    return text, {name: int(address, 16) for address, name in
                  re.findall(r"^\s+0x([0-9a-fA-F]+)\s+(\S+)$", text, re.M)}


def safe_handler_table(pe):
    """The table of safe exception handlers (RVAs) of a 32-bit image, as the
    loader reads it, or None when it has none."""
    config = getattr(pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    if config is None:
        return None
    struct = config.struct
    # The loader's conditions: the structure reaches SEHandlerCount, and the
    # directory names either its size or the 64 bytes of old systems.
    if struct.Size < 72 or directory.Size not in (64, struct.Size):
        return None
    if not struct.SEHandlerTable or not struct.SEHandlerCount:
        return None
    start = struct.SEHandlerTable - pe.OPTIONAL_HEADER.ImageBase
    return [pe.get_dword_at_rva(start + 4 * i) for i in range(struct.SEHandlerCount)]


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
    ap.add_argument("--manifest-level",
                    help="an embedded manifest requesting this execution level, without "
                         "uiAccess, declaring Windows 7 to 11, depending on no assembly and "
                         "aware of the DPI per monitor (version 2), else of the system's")
    ap.add_argument("--no-seh", action="store_true",
                    help="32-bit images: marked as having no structured exception handlers, "
                         "or listing the only ones Windows may call in a table of safe "
                         "handlers, so that no handler can be planted on the stack")
    ap.add_argument("--safe-seh-handlers", metavar="MAP:SYMBOL[,SYMBOL...]",
                    help="32-bit images: the table of safe handlers lists exactly these "
                         "functions (their addresses from the linker map MAP)")
    ap.add_argument("--stack-guard", metavar="MAP",
                    help="the linker map MAP shows the stack protector's guard, its "
                         "initialiser (linked only where called) and no support library "
                         "of GCC's (whose failure raises an exception instead of ending "
                         "the process)")
    ap.add_argument("--map-symbol", action="append", default=[], metavar="MAP:SYMBOL",
                    help="the linker map MAP names SYMBOL (what the stripped image cannot show, "
                         "such as the stack protector's guard)")
    args = ap.parse_args()

    data = open(args.image, "rb").read()
    pe = pefile.PE(data=data, fast_load=False)
    header = pe.FILE_HEADER
    optional = pe.OPTIONAL_HEADER
    is_dll = pe.is_dll()
    imports = [entry.dll.decode("latin-1") for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    exports = [symbol.name.decode("latin-1")
               for symbol in getattr(getattr(pe, "DIRECTORY_ENTRY_EXPORT", None), "symbols", [])
               if symbol.name]
    found = resources(pe)
    flags = optional.DllCharacteristics
    print("%s: %d bytes, machine %s, subsystem %s, %s" % (
        args.image, len(data), MACHINES.get(header.Machine, hex(header.Machine)),
        SUBSYSTEMS.get(optional.Subsystem, optional.Subsystem), "DLL" if is_dll else "program"))
    print("  imports: " + ", ".join(imports))
    if exports:
        print("  exports: " + ", ".join(exports))
    print("  resources: " + ", ".join("%s:%s" % r for r in found))
    print("  flags: " + ", ".join(name for name, value in DLLCHAR.items()
                                  if isinstance(name, str) and flags & value))

    failures = []
    if args.machine and MACHINES.get(header.Machine) != args.machine:
        failures.append("machine is %#x, expected the %s-bit one" % (header.Machine, args.machine))
    if args.subsystem and SUBSYSTEMS.get(optional.Subsystem) != args.subsystem:
        failures.append("subsystem %d, expected %s" % (optional.Subsystem, args.subsystem))
    if args.dll != is_dll:
        failures.append("DLL flag is %s" % is_dll)
    if args.max_size is not None and len(data) > args.max_size:
        failures.append("%d bytes, more than the %d allowed" % (len(data), args.max_size))
    if not flags & DLLCHAR["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"]:
        failures.append("not built for address-space layout randomisation (dynamic base)")
    # Without its base relocations an image can only load at its preferred
    # address, whatever the flag says. (32-bit code always has addresses to
    # relocate; 64-bit code may address everything relative to itself.)
    relocations = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if header.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"] or \
            (header.Machine == 0x14C and not relocations.Size):
        failures.append("has no base relocations: it cannot be moved for layout randomisation")
    # Code is not writable and data is not executable.
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode("latin-1")
        executable = section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
        if executable and section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"]:
            failures.append("section %s is both writable and executable" % name)
        if executable and not section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_CNT_CODE"]:
            failures.append("section %s holds data but is executable" % name)
    if not flags & DLLCHAR["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]:
        failures.append("not marked compatible with no-execute data (NX)")
    if header.Machine == 0x8664 and not flags & DLLCHAR["IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA"]:
        failures.append("not built for high-entropy (64-bit) address-space layout randomisation")
    handlers = safe_handler_table(pe) if header.Machine == 0x14C else None
    if handlers is not None:
        print("  safe exception handlers: " + ", ".join("%#x" % h for h in handlers))
    if args.no_seh and header.Machine == 0x14C:
        if flags & DLLCHAR["IMAGE_DLLCHARACTERISTICS_NO_SEH"]:
            if handlers is not None:
                failures.append("marked NO_SEH, yet has a table of safe handlers")
            # NO_SEH is true only of code that never links a handler record
            # at FS:[0] (mov fs:[0], reg: C++ exceptions here are DWARF-2
            # unwinding and need none).
            for section in pe.sections:
                if (section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
                        and FS0_WRITE.search(section.get_data())):
                    failures.append("marked NO_SEH, yet its code writes FS:[0] (an SEH frame)")
        elif handlers is None:
            failures.append("not marked NO_SEH, and has no table of safe handlers")
        else:
            code = [(s.VirtualAddress, s.VirtualAddress + s.Misc_VirtualSize) for s in pe.sections
                    if s.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]]
            if handlers != sorted(set(handlers)):
                failures.append("the table of safe handlers is not sorted without repeats")
            if not all(any(lo <= h < hi for lo, hi in code) for h in handlers):
                failures.append("the table of safe handlers names an address outside the code")
    if args.safe_seh_handlers and header.Machine == 0x14C:
        map_file, _, names = args.safe_seh_handlers.rpartition(":")
        _, symbols = map_symbols(map_file)
        want = []
        for name in names.split(","):
            address = symbols.get(name)
            if address is None:
                failures.append("the map %s does not define %s" % (map_file, name))
            else:
                want.append(address - optional.ImageBase)
        if sorted(want) != (handlers or []):
            failures.append("the table of safe handlers is %s, expected %s (%s)" % (
                [hex(h) for h in handlers or []], [hex(h) for h in sorted(want)], names))
    if args.stack_guard:
        text, symbols = map_symbols(args.stack_guard)
        for name, what in (("__stack_chk_guard", "the stack protector's guard"),
                           ("orx::InitStackGuard()", "its initialiser orx::InitStackGuard")):
            if name not in symbols:
                failures.append("the map %s does not define %s" % (args.stack_guard, what))
        if "libssp" in text:
            failures.append("links GCC's libssp, whose failure raises an exception")
        print("  stack guard: %s; guarded functions: %s" % (
            "set by orx::InitStackGuard" if "orx::InitStackGuard()" in symbols else "not set",
            "yes" if "__stack_chk_fail" in symbols else "none"))
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
        if parse_resource(wanted) not in found:
            failures.append("resource %s missing" % wanted)
    if args.no_tls and hasattr(pe, "DIRECTORY_ENTRY_TLS"):
        failures.append("has a TLS directory (thread-local callbacks run before the entry point)")
    if args.manifest_level:
        text = found.get((RESOURCE_TYPES["MANIFEST"], MANIFEST_ID))
        if text is None:
            failures.append("no embedded manifest (id %d): one lying beside the image would be "
                            "read instead" % MANIFEST_ID)
        else:
            level, ui_access, systems, dependencies, dpi = manifest_facts(text)
            print("  manifest: level %s, %d systems, dependencies %s, DPI awareness %s"
                  % (level, len(systems), dependencies, dpi))
            if level != args.manifest_level:
                failures.append("manifest requests level %s, expected %s" % (level,
                                                                            args.manifest_level))
            if ui_access:
                failures.append("manifest asks for uiAccess")
            if systems != SUPPORTED_OS:
                failures.append("manifest declares systems %s, expected Windows 7 to 11"
                                % sorted(systems))
            if dependencies:
                failures.append("manifest depends on %s, which changes how the windows look"
                                % dependencies)
            # Per monitor v2 where the system has it, the system's DPI on
            # older ones: never unaware (stretched, blurred) nor per monitor
            # v1 (no layout by the system when the DPI changes).
            if dpi != ("true", ["permonitorv2", "system"]):
                failures.append("manifest declares DPI awareness %s, expected dpiAware true and "
                                "dpiAwareness PerMonitorV2, System" % (dpi,))
    for wanted in args.map_symbol:
        map_file, _, symbol = wanted.rpartition(":")
        try:
            text = open(map_file, encoding="latin-1").read()
        except OSError as error:
            failures.append("cannot read the map %s: %s" % (map_file, error))
            continue
        if symbol not in text:
            failures.append("the map %s does not name %s" % (map_file, symbol))

    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
