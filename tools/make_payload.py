#!/usr/bin/env python3
"""Builds the installer's payload archive.

The two programs the installer itself refers to (fj.exe, uninst.exe) are taken
from the given files; the other six product files are stand-ins generated from
fixed seeds, with fixed sizes and a deflate ratio close to the real ones.
Same inputs give the same archive bytes.
"""
import argparse
import io
import os
import random
import sys
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

DATE_TIME = (2016, 3, 18, 10, 24, 0)
ATTR_ARCHIVE = 0x20
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


def build(fj_path, uninst_path):
    given = {"fj.exe": fj_path, "uninst.exe": uninst_path}
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zf:
        for name, size, seed, fraction in ENTRIES:
            if size is None:
                with open(given[name], "rb") as f:
                    data = f.read()
            else:
                data = generate(size, seed, fraction)
            info = zipfile.ZipInfo(name, DATE_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = ATTR_ARCHIVE
            zf.writestr(info, data, compresslevel=9)
    return buf.getvalue()


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--fj", required=True, help="program stored as fj.exe")
    ap.add_argument("--uninst", required=True, help="program stored as uninst.exe")
    ap.add_argument("--out", required=True, help="archive to write")
    args = ap.parse_args(argv)

    data = build(args.fj, args.uninst)
    tmp = args.out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
