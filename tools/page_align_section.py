#!/usr/bin/env python3
"""Moves one section of a linked PE file to a page-aligned file offset, in place.

    page_align_section.py EXE SECTION

Wine maps a section straight from the file only when its data starts at a multiple of the page size, and
reads any other section into private memory. The installer's read-only data is almost all payload, so only
that section needs the alignment; linking every section at page-aligned offsets would pad the file by some
30 KB. The section's data is moved by inserting zero bytes before it, and every later section's file offset
follows; nothing else in a stripped, unsigned image refers to file offsets. Run it before signing.
"""
import struct
import sys

PAGE = 4096
SECURITY_DIRECTORY = 4
DEBUG_DIRECTORY = 6


def align(path, name):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s is not a PE file" % path)
    count, = struct.unpack_from("<H", data, pe + 6)
    symbols, = struct.unpack_from("<I", data, pe + 12)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    for index, what in ((SECURITY_DIRECTORY, "a signature"), (DEBUG_DIRECTORY, "a debug directory")):
        if any(struct.unpack_from("<II", data, directories + 8 * index)):
            raise ValueError("%s has %s, whose file offsets this does not move" % (path, what))
    if symbols:
        raise ValueError("%s has a symbol table (link with -s)" % path)

    headers = [optional + optional_size + 40 * i for i in range(count)]
    target = next((h for h in headers if data[h:h + 8].rstrip(b"\0").decode("latin-1") == name), None)
    if target is None:
        raise ValueError("%s has no section %s" % (path, name))
    start, = struct.unpack_from("<I", data, target + 20)
    pad = -start % PAGE
    if pad == 0:
        return 0
    for header in headers:
        offset, = struct.unpack_from("<I", data, header + 20)
        if offset >= start:
            struct.pack_into("<I", data, header + 20, offset + pad)
    data[start:start] = bytes(pad)
    with open(path, "wb") as f:
        f.write(data)
    return pad


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    try:
        align(argv[1], argv[2])
    except (OSError, ValueError) as error:
        print("page_align_section: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
