#!/usr/bin/env python3
"""Prints the shipped programs' sizes and checks them against the size goals.

    size_report.py --arch ARCH --installer EXE --uninst EXE --fj EXE --payload ZIP
                   [--pictures FILE ...] [--icon FILE] [--check]

The installer's code is the executable minus the payload archive and the pictures it carries (the files
given with --pictures, stored in its data, and the program icon, a resource). Sizes
leave out an Authenticode signature (the certificate table at the end of a signed file), so a signed build
is measured like an unsigned one. With --check a missed goal or any debug section ends the report with
exit code 1; the goals are for the shipped i686 build, other architectures' sizes are only reported.
"""
import argparse
import os
import struct
import sys

KB = 1024
# i686: the installer's own code, and the whole uninstaller.
GOALS = {"installer code": 400 * KB, "uninst.exe": 250 * KB}
GOAL_ARCH = "i686"
SECURITY_DIRECTORY = 4
PAGE = 4096


class PeImage:
    """The parts of a PE file this report needs."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        self.path = path
        data = self.data
        if data[:2] != b"MZ":
            raise ValueError("%s is not a PE file" % path)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("%s is not a PE file" % path)
        _, count, self.timestamp, symbols, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        self.has_symbols = symbols != 0
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        _, self.certificate_size = struct.unpack_from("<II", data, directories + 8 * SECURITY_DIRECTORY)
        self.sections = []
        self.raw_offsets = []
        strings = symbols + 18 * struct.unpack_from("<I", data, pe + 16)[0] if symbols else 0
        for i in range(count):
            at = optional + optional_size + 40 * i
            raw_name = data[at:at + 8].rstrip(b"\0").decode("latin-1")
            if raw_name.startswith("/") and strings:
                # A long name lives in the string table after the symbols.
                offset = strings + int(raw_name[1:])
                raw_name = data[offset:data.index(b"\0", offset)].decode("latin-1")
            raw_size, raw_offset = struct.unpack_from("<II", data, at + 16)
            self.sections.append((raw_name, raw_size))
            self.raw_offsets.append((raw_offset, raw_size))

    @property
    def size(self):
        """The file without its signature."""
        return len(self.data) - self.certificate_size

    def section_offset_holding(self, offset):
        """The file offset where the section holding file offset `offset` starts; None outside all."""
        return next((start for start, size in self.raw_offsets if start <= offset < start + size), None)

    def debug_sections(self):
        # Stripped of the string table, a long (debug) section name is left as "/<number>".
        return [name for name, _ in self.sections if name.startswith((".debug", ".zdebug", "/"))]


def kb(n):
    return "%7.1f KB" % (n / KB)


def report(args):
    installer, uninst, fj = PeImage(args.installer), PeImage(args.uninst), PeImage(args.fj)
    payload = os.path.getsize(args.payload)
    pictures = sum(os.path.getsize(f) for f in args.pictures)
    icon = os.path.getsize(args.icon) if args.icon else 0
    code = installer.size - payload - pictures - icon
    rows = [
        ("FeijingSetup.exe", installer.size, None),
        ("  payload sj.zip", payload, None),
        ("  pictures", pictures, None),
        ("  program icon", icon, None),
        ("installer code", code, "the rest"),
        ("uninst.exe", uninst.size, None),
        ("fj.exe", fj.size, None),
    ]
    checked = args.arch == GOAL_ARCH
    faults = []
    print("size report (%s%s):" % (args.arch, "" if checked else "; the goals are for i686, reported only"))
    for name, size, note in rows:
        goal = GOALS.get(name)
        mark = ""
        if goal:
            met = size <= goal
            mark = "goal %s: %s" % (kb(goal).strip(), "met" if met else "MISSED")
            if checked and not met:
                faults.append("%s is %s, over its goal of %s" % (name, kb(size).strip(), kb(goal).strip()))
        print("  %-22s %s  %s%s" % (name, kb(size), mark, ("  (" + note + ")") if note else ""))
    for image in (installer, uninst, fj):
        debug = image.debug_sections()
        if debug or image.has_symbols:
            faults.append("%s carries %s" % (os.path.basename(image.path),
                                             "debug sections " + ", ".join(debug) if debug else "a symbol table"))
    # Wine maps a section from the file only when it starts on a page; the payload's must.
    with open(args.payload, "rb") as f:
        at = installer.data.find(f.read(PAGE))
    start = installer.section_offset_holding(at) if at >= 0 else None
    if start is None or start % PAGE:
        faults.append("the payload's section does not start on a page of FeijingSetup.exe (offset %s)" % start)
    if not faults:
        print("  no debug sections or symbols in any shipped program; the payload's section is page-aligned")
    for fault in faults:
        print("  size report: " + fault)
    if faults and args.check:
        print("  size report: the build stops here; configure without -DFEIJING_SIZE_GOALS=ON to build anyway")
        return 1
    return 0


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--arch", required=True)
    ap.add_argument("--installer", required=True)
    ap.add_argument("--uninst", required=True)
    ap.add_argument("--fj", required=True)
    ap.add_argument("--payload", required=True)
    ap.add_argument("--pictures", nargs="*", default=[])
    ap.add_argument("--icon")
    ap.add_argument("--check", action="store_true", help="exit code 1 on a missed goal or debug section")
    return report(ap.parse_args(argv))


if __name__ == "__main__":
    sys.exit(main())
