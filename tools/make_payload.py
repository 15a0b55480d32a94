#!/usr/bin/env python3
"""Builds the installer's payload archive and the uninstaller's list of what it installs.

Without --product-dir the two programs the installer itself refers to (fj.exe,
uninst.exe) are taken from the given files and the other six product files are
stand-ins generated from fixed seeds, with fixed sizes and a deflate ratio close
to the real ones. With --product-dir the archive holds that folder's files and
sub-folders, plus the given uninst.exe unless the folder has its own.
Same inputs give the same archive bytes: a fixed entry order, every date the
given --date-epoch, nothing from the file system's times or owners.

    make_payload.py [--product-dir DIR] [--fj FILE] [--uninst FILE] [--out ZIP]
                    [--list-out HEADER] [--date-epoch SECONDS] [--check]
"""
import argparse
import io
import os
import random
import stat
import sys
import time
import zipfile

# Archive order matters: the installer reports progress per entry.
# (name, size, seed, fraction of incompressible chunks); None marks a given file.
ENTRIES = [
    ("fjcore.dll", 814488, 0x46A1, 0.299),
    ("fjnet.dll", 1837712, 0x46A2, 0.279),
    ("fj.exe", None, None, None),
    ("fjsvc.exe", 4966184, 0x46A4, 0.185),
    ("fjlsp.dll", 160400, 0x46A5, 0.250),
    ("fjui.dll", 1127056, 0x46A6, 0.462),
    ("uninst.exe", None, None, None),
    ("fjupdate.exe", 1087632, 0x46A8, 0.286),
]

# Without --date-epoch (or SOURCE_DATE_EPOCH).
DEFAULT_DATE_TIME = (2016, 3, 18, 10, 24, 0)
ATTR_ARCHIVE = 0x20
ATTR_DIRECTORY = 0x10
PROGRAM = "fj.exe"
UNINSTALLER = "uninst.exe"
# Names the installer itself writes into the install folder.
RESERVED = ("sj.zip", "Uninstall.dat")
# The uninstaller works with ANSI paths of at most MAX_PATH (260) bytes: leave room for the install folder.
MAX_NAME_BYTES = 160
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {"%s%d" % (d, n) for d in ("COM", "LPT") for n in range(1, 10)}
CHUNK = 4096

DOS_STUB = (
    b"MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff\x00\x00"
    b"\xb8\x00\x00\x00\x00\x00\x00\x00\x40" + b"\x00" * 35 + b"\x00\x01\x00\x00"
    b"\x0e\x1f\xba\x0e\x00\xb4\x09\xcd\x21\xb8\x01\x4c\xcd\x21"
    b"This program cannot be run in DOS mode.\r\r\n$" + b"\x00" * 7
)

WORDS = [
    b"GetProcAddress", b"LoadLibraryA", b"CreateFileW", b"ReadFile", b"WriteFile",
    b"CloseHandle", b"WSAStartup", b"connect", b"sendto", b"recvfrom", b"select",
    b"RegOpenKeyExA", b"RegQueryValueExA", b"GetTickCount", b"Sleep",
    b"EnterCriticalSection", b"LeaveCriticalSection", b"HeapAlloc", b"HeapFree",
    b"kernel32.dll", b"ws2_32.dll", b"user32.dll", b"advapi32.dll",
    b"fjnet::Tunnel", b"fjcore::Route", b"latency", b"node", b"server_list",
    b"accelerate", b"proxy", b"session", b"packet", b"route_table", b"config",
]


def _random_bytes(rng, n):
    return rng.getrandbits(8 * n).to_bytes(n, "little") if n else b""


def _structured_chunk(rng, pool, n):
    # Code- and data-like filler: repeated phrases, names and zero padding.
    parts = []
    size = 0
    while size < n:
        pick = rng.random()
        if pick < 0.08:
            part = b"\x00" * rng.randrange(8, 256)
        elif pick < 0.25:
            part = rng.choice(WORDS) + b"\x00"
        elif pick < 0.30:
            part = rng.choice(WORDS).decode().encode("utf-16-le") + b"\x00\x00"
        else:
            part = pool[rng.randrange(len(pool))] + _random_bytes(rng, rng.randrange(0, 2))
        parts.append(part)
        size += len(part)
    return b"".join(parts)[:n]


def generate(size, seed, random_fraction):
    """Deterministic stand-in file of exactly `size` bytes."""
    rng = random.Random(seed)
    pool = [_random_bytes(rng, rng.randrange(6, 48)) for _ in range(400)]
    chunks = [DOS_STUB]
    total = len(DOS_STUB)
    index = 0
    while total < size:
        # Spread the incompressible chunks evenly over the file.
        index += 1
        if int(index * random_fraction) > int((index - 1) * random_fraction):
            chunk = _random_bytes(rng, CHUNK)
        else:
            chunk = _structured_chunk(rng, pool, CHUNK)
        chunks.append(chunk)
        total += len(chunk)
    return b"".join(chunks)[:size]


class PayloadError(Exception):
    pass


class Entry:
    """One archive entry: a file's bytes from `source` (a path, or a stand-in's (size, seed, fraction)), or
    a folder when `source` is None. `name` is "/"-separated."""

    def __init__(self, name, source):
        self.name = name
        self.source = source

    @property
    def is_folder(self):
        return self.source is None

    def data(self):
        if isinstance(self.source, tuple):
            return generate(*self.source)
        with open(self.source, "rb") as f:
            return f.read()


def stand_in_entries(fj_path, uninst_path):
    # A program not given yet still names a file: the list can be made before the programs are built.
    given = {PROGRAM: fj_path or PROGRAM, UNINSTALLER: uninst_path or UNINSTALLER}
    return [Entry(name, given[name] if size is None else (size, seed, fraction))
            for name, size, seed, fraction in ENTRIES]


def check_component(component, relative):
    """A file or folder name that Windows keeps as it is and the uninstaller can name in GBK."""
    where = "FEIJING_PRODUCT_DIR: %r" % relative
    if any(c in '<>:"|?*\\' or ord(c) < 0x20 for c in component):
        raise PayloadError(where + " has a character Windows does not allow in a file name")
    if component.endswith((" ", ".")):
        raise PayloadError(where + " ends in a space or dot, which Windows drops from file names")
    if component.split(".")[0].rstrip(" ").upper() in DEVICE_NAMES:
        raise PayloadError(where + " is a device name on Windows")
    try:
        component.encode("gbk")
    except UnicodeEncodeError:
        raise PayloadError(where + " cannot be written in GBK, the code page the installed uninstaller uses")


def product_entries(folder, uninst_path=UNINSTALLER):
    """The folder's files and sub-folders sorted by path, component by component; a folder gets an entry of
    its own only when it is empty (the others come with their files). The given uninstaller is added at the
    end unless the folder has one at its top level."""
    if not os.path.isdir(folder):
        raise PayloadError("FEIJING_PRODUCT_DIR: %s is not a folder" % folder)
    found = []
    for parent, folders, files in os.walk(folder):
        relative_parent = os.path.relpath(parent, folder)
        parts = () if relative_parent == "." else tuple(relative_parent.split(os.sep))
        for name in folders + files:
            path = os.path.join(parent, name)
            relative = "/".join(parts + (name,))
            mode = os.lstat(path).st_mode
            if stat.S_ISLNK(mode):
                raise PayloadError("FEIJING_PRODUCT_DIR: %r is a symbolic link; put the file itself there" % relative)
            if not stat.S_ISDIR(mode) and not stat.S_ISREG(mode):
                raise PayloadError("FEIJING_PRODUCT_DIR: %r is neither a file nor a folder" % relative)
            check_component(name, relative)
            if len(relative.encode("gbk")) > MAX_NAME_BYTES:
                raise PayloadError("FEIJING_PRODUCT_DIR: %r is longer than %d bytes in GBK; the installed files "
                                   "must stay within Windows' path limit" % (relative, MAX_NAME_BYTES))
            if stat.S_ISREG(mode):
                found.append((parts + (name,), path))
            elif not os.listdir(path):
                found.append((parts + (name,), None))
    found.sort(key=lambda item: item[0])

    # Windows compares names without case: no two entries, and no file and folder, may share a name.
    seen = {}
    for parts, source in found:
        for depth in range(1, len(parts) + 1):
            name = "/".join(parts[:depth])
            kind = "file" if depth == len(parts) and source is not None else "folder"
            other = seen.setdefault(name.lower(), (name, kind))
            if other != (name, kind):
                raise PayloadError("FEIJING_PRODUCT_DIR: %r and %r are the same name on Windows" % (other[0], name))
    top = {parts[0].lower() for parts, source in found if len(parts) == 1 and source is not None}
    for reserved in RESERVED:
        if reserved.lower() in {parts[0].lower() for parts, _ in found}:
            raise PayloadError("FEIJING_PRODUCT_DIR: %s is a name the installer writes itself; rename or remove it"
                               % reserved)
    if PROGRAM not in top:
        raise PayloadError("FEIJING_PRODUCT_DIR: %s has no %s at its top level; the installer starts that program "
                           "and its shortcuts point to it" % (folder, PROGRAM))
    entries = [Entry("/".join(parts) + ("" if source else "/"), source) for parts, source in found]
    if UNINSTALLER not in top:
        entries.append(Entry(UNINSTALLER, uninst_path))
    return entries


def date_time(epoch):
    """A ZIP date (no time zone: UTC), 1980 at the earliest, even seconds."""
    if epoch is None:
        return DEFAULT_DATE_TIME
    return tuple(max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0)))


def build(entries, epoch=None):
    """The archive: deflate throughout, files with the archive attribute, no comment."""
    stamp = date_time(epoch)
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zf:
        for entry in entries:
            info = zipfile.ZipInfo(entry.name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = ATTR_DIRECTORY if entry.is_folder else ATTR_ARCHIVE
            zf.writestr(info, b"" if entry.is_folder else entry.data(), compresslevel=9)
    return buf.getvalue()


def c_string(text):
    """`text` in GBK as a C string literal; octal escapes cannot run into the next character."""
    out = []
    for byte in text.encode("gbk"):
        if byte == 0x5C:
            out.append("\\\\")
        else:
            out.append(chr(byte) if 0x20 <= byte < 0x7F and chr(byte) not in '"?' else "\\%03o" % byte)
    return '"%s"' % "".join(out)


def installed_list(entries):
    """The C++ header that tells the uninstaller what the payload installs."""
    files = [e.name.replace("/", "\\") for e in entries if not e.is_folder]
    folders = set()
    for entry in entries:
        parts = entry.name.rstrip("/").split("/")
        for depth in range(1, len(parts) if not entry.is_folder else len(parts) + 1):
            folders.add(tuple(parts[:depth]))
    ordered = sorted(folders, key=lambda parts: (-len(parts), parts))

    def array(name, items):
        body = "".join("\n    %s," % c_string(item) for item in items)
        return "inline constexpr std::array<const char*, %d> %s = {%s\n};\n" % (len(items), name, body)

    return ("#pragma once\n"
            "// Generated by tools/make_payload.py from the payload's entries: what the installer unpacks into the\n"
            "// install folder, as GBK paths below it. The uninstaller removes exactly these, so files the user\n"
            "// keeps there survive it.\n"
            "#include <array>\n\n"
            "namespace product {\n\n"
            "// Files, in archive order.\n" + array("installedFiles", files) +
            "// Folders, deepest first; removed when nothing else is left in them.\n" +
            array("installedFolders", ["\\".join(parts) for parts in ordered]) +
            "\n}  // namespace product\n")


def write_if_changed(path, data):
    """Writes through a temporary file; an unchanged file keeps its time, so nothing rebuilds for it."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--product-dir", help="a packager's product folder to pack instead of the stand-ins")
    ap.add_argument("--fj", help="program stored as fj.exe (without --product-dir)")
    ap.add_argument("--uninst", help="program stored as uninst.exe, unless the product folder has one")
    ap.add_argument("--out", help="archive to write")
    ap.add_argument("--list-out", help="C++ header to write with the installed files and folders")
    ap.add_argument("--date-epoch", type=int, default=None,
                    help="every entry's date, in seconds since 1970 (default: SOURCE_DATE_EPOCH, else a fixed date)")
    ap.add_argument("--check", action="store_true", help="only check the product folder")
    args = ap.parse_args(argv)
    if args.date_epoch is None and os.environ.get("SOURCE_DATE_EPOCH", "").isdigit():
        args.date_epoch = int(os.environ["SOURCE_DATE_EPOCH"])

    try:
        if args.product_dir:
            entries = product_entries(args.product_dir, args.uninst or UNINSTALLER)
        else:
            entries = stand_in_entries(args.fj, args.uninst)
        if args.check:
            return 0
        if args.list_out:
            write_if_changed(args.list_out, installed_list(entries).encode("ascii"))
        if args.out:
            if any(isinstance(e.source, str) and not os.path.isfile(e.source) for e in entries):
                raise PayloadError("--fj and --uninst must name the built programs to pack")
            write_if_changed(args.out, build(entries, args.date_epoch))
    except PayloadError as error:
        print("make_payload: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
