#!/usr/bin/env python3
"""Every PE file the packages ship, of both architectures, read as a fleet's
reviewer reads it: its version resource (the identity header's version and
names), the host's application manifest, and the protections Windows
expects (ASLR, high-entropy addresses on 64-bit, DEP, no section both
writable and executable, stack protection), no path of the build machine,
and only the system DLLs it is meant to import. A copy with one protection
taken away must fail the same check.

    tests/shipped_files_test.py [--stripped] [FILE ...]   (default: the built files)

--stripped checks files without symbols (as the packages ship them): their
stack protection is read from the build's own files instead.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHIPPED = {
    "npDravenilFileAccessPlugin.dll": {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll", "ntdll.dll",
                                       "SHELL32.dll"},
    "npDravenilFileAccessHost.exe": {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll", "ntdll.dll",
                                     "SHELL32.dll", "VERSION.dll"},
    "npDravenilFileAccessSetup.dll": {"ADVAPI32.dll", "KERNEL32.dll", "msi.dll", "msvcrt.dll"},
}
DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT = 0x40, 0x20, 0x100
WRITE, EXECUTE = 0x80000000, 0x20000000


def identity():
    text = open(os.path.join(ROOT, "shell", "identity.h"), encoding="utf-8").read()
    define = lambda name: re.search(rf"#define {name} (.*)", text).group(1).strip()
    return {
        "version": ".".join(n.strip() for n in define("PLUGIN_VERSION_NUMBERS").split(",")),
        "product": define("PLUGIN_PRODUCT_NAME").strip('"'),
        "company": define("PLUGIN_VENDOR").strip('"'),
    }


class Pe:
    def __init__(self, path):
        self.path = path
        self.data = open(path, "rb").read()
        at = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[at:at + 4] != b"PE\0\0":
            raise ValueError(f"{path} is no PE file")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", self.data, at + 4)
        self.optional = at + 24
        self.is64 = struct.unpack_from("<H", self.data, self.optional)[0] == 0x20B
        self.dll_characteristics_at = self.optional + 70
        self.sections = []
        self.resources = b""
        first = self.optional + optional_size
        for i in range(sections):
            header = first + 40 * i
            name = self.data[header:header + 8].rstrip(b"\0").decode("latin-1")
            size, offset = struct.unpack_from("<II", self.data, header + 16)
            self.sections.append((name, struct.unpack_from("<I", self.data, header + 36)[0]))
            if name == ".rsrc":
                self.resources = self.data[offset:offset + size]

    def dll_characteristics(self):
        return struct.unpack_from("<H", self.data, self.dll_characteristics_at)[0]

    def version(self):
        at = self.resources.find(struct.pack("<I", 0xFEEF04BD))
        if at < 0:
            return None
        ms, ls = struct.unpack_from("<II", self.resources, at + 8)
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    def version_string(self, key):
        # A String of the StringFileInfo block: its UTF-16 key, padded to a
        # 32-bit boundary, then its UTF-16 value.
        data = self.resources
        needle = key.encode("utf-16-le") + b"\0\0"
        at = data.find(needle)
        if at < 0:
            return None
        at += len(needle)
        at += (-at) % 4
        end = at
        while end < len(data) and data[end:end + 2] != b"\0\0":
            end += 2
        return data[at:end].decode("utf-16-le")

    def imports(self):
        tools = "x86_64-w64-mingw32" if self.is64 else "i686-w64-mingw32"
        listing = subprocess.run([f"{tools}-objdump", "-p", self.path], capture_output=True, text=True,
                                 check=True).stdout
        return set(re.findall(r"DLL Name: (\S+)", listing))

    def symbols(self):
        tools = "x86_64-w64-mingw32" if self.is64 else "i686-w64-mingw32"
        return subprocess.run([f"{tools}-nm", self.path], capture_output=True, text=True).stdout


def problems(path, expected, stripped=False):
    """What a reviewer would object to in one shipped file; [] when nothing."""
    pe = Pe(path)
    name = os.path.basename(path)
    found = []
    flags = pe.dll_characteristics()
    for bit, what in [(DYNAMIC_BASE, "ASLR (dynamic base)"), (NX_COMPAT, "DEP (NX compatible)")] + \
            ([(HIGH_ENTROPY_VA, "high-entropy addresses")] if pe.is64 else []):
        if not flags & bit:
            found.append(f"no {what}")
    for section, characteristics in pe.sections:
        if characteristics & WRITE and characteristics & EXECUTE:
            found.append(f"section {section} is both writable and executable")
    if not stripped and "__stack_chk_fail" not in pe.symbols():
        found.append("no stack protection in its code")
    for path_text in {ROOT, os.path.realpath(ROOT)}:
        if path_text.encode() in pe.data:
            found.append(f"holds the build machine's path {path_text}")
    extra = pe.imports() - SHIPPED[name]
    if extra:
        found.append(f"imports {sorted(extra)} besides the system DLLs it needs")
    if pe.version() != expected["version"]:
        found.append(f"version {pe.version()}, not {expected['version']}")
    for key, want in [("CompanyName", expected["company"]), ("ProductName", expected["product"])]:
        if pe.version_string(key) != want:
            found.append(f"{key} {pe.version_string(key)!r}, not {want!r}")
    if not pe.version_string("FileDescription"):
        found.append("no FileDescription")
    if name.endswith(".exe"):
        manifest = pe.resources[pe.resources.find(b"<assembly"):pe.resources.find(b"</assembly>")]
        if b'level="asInvoker"' not in manifest:
            found.append("no asInvoker manifest: UAC would virtualize its registry and files")
        if b"supportedOS" not in manifest:
            found.append("its manifest names no supported Windows version")
    return found


def main(argv):
    stripped = "--stripped" in argv
    argv = [a for a in argv if a != "--stripped"]
    files = argv or [os.path.join(ROOT, "build", preset, "bin", name)
                     for preset in ("windows", "windows64") for name in SHIPPED]
    present = [f for f in files if os.path.exists(f)]
    if not present:
        print("SKIPPED: nothing is built to check")
        return 77
    expected = identity()
    failed = False
    for path in present:
        for problem in problems(path, expected, stripped):
            print(f"FAILED: {path}: {problem}")
            failed = True
    # The check itself: a copy of the module with DEP taken away fails it.
    module = next(f for f in present if f.endswith(".dll"))
    pe = Pe(module)
    weakened = bytearray(pe.data)
    struct.pack_into("<H", weakened, pe.dll_characteristics_at, pe.dll_characteristics() & ~NX_COMPAT)
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(module))
        open(copy, "wb").write(weakened)
        if "no DEP (NX compatible)" not in problems(copy, expected, stripped):
            print("FAILED: a module without DEP passes the check")
            failed = True
    if not failed:
        print(f"shipped files: {len(present)} checked: versions, manifest, protections, paths, imports")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
