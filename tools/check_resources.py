#!/usr/bin/env python3
"""Checks the generated files in installer/resources (or the given folder)."""
import itertools
import os
import struct
import sys

SIGNATURE = b"\x89PNG\r\n\x1a\n"
SIZES = {
    "close.png": (30, 30), "close-hover.png": (30, 30), "banner.png": (829, 230),
    "button.png": (220, 60), "button-hover.png": (220, 60), "button-disabled.png": (220, 60),
    "browse.png": (152, 39), "browse-hover.png": (152, 39),
    "ticked.png": (15, 15), "ticked-hover.png": (15, 15),
    "unticked.png": (15, 15), "unticked-hover.png": (15, 15),
    "checkmark.png": (20, 20), "strip.bin": (729, 20),
}
CHECK_BOXES = ["ticked.png", "ticked-hover.png", "unticked.png", "unticked-hover.png"]
# Pictures drawn at their natural size, each with a partner drawn at twice the size.
DOUBLED = CHECK_BOXES + ["close.png", "close-hover.png", "checkmark.png", "strip.bin"]


def double_name(name):
    stem, dot, ext = name.rpartition(".")
    return f"{stem}@2x{dot}{ext}"


def png_header(data):
    """(width, height, bit depth, colour type) from the IHDR chunk."""
    assert data[:8] == SIGNATURE and data[12:16] == b"IHDR", "not a PNG"
    return struct.unpack(">IIBB", data[16:26])


def check(folder):
    read = lambda name: open(os.path.join(folder, name), "rb").read()
    sizes = dict(SIZES)
    sizes.update({double_name(name): (2 * SIZES[name][0], 2 * SIZES[name][1]) for name in DOUBLED})
    for name, size in sizes.items():
        data = read(name)
        if name.endswith(".bin"):
            assert not data.startswith(SIGNATURE[:4]), f"{name} keeps its signature"
            data = SIGNATURE + data
        w, h, depth, colour = png_header(data)
        assert (w, h) == size, f"{name}: {w}x{h}, expected {size[0]}x{size[1]}"
        assert (depth, colour) == (8, 6), f"{name}: not 8-bit RGBA"

    for names in (CHECK_BOXES, [double_name(name) for name in CHECK_BOXES]):
        boxes = {name: read(name) for name in names}
        for a, b in itertools.combinations(names, 2):
            assert boxes[a] != boxes[b], f"{a} and {b} are identical"

    ico = read("app.ico")
    reserved, kind, count = struct.unpack("<HHH", ico[:6])
    assert (reserved, kind) == (0, 1), "app.ico is not an icon"
    dims = sorted(ico[6 + 16 * i] or 256 for i in range(count))
    assert dims == [16, 32, 48, 256], f"app.ico sizes {dims}"

    text = read("agreement.txt")
    assert b"\0" not in text and not text.endswith(b"\r\n"), "agreement ends badly"
    lines = text.decode("gbk").split("\r\n")
    assert len(lines) == 44, f"agreement has {len(lines)} lines"
    assert not any("\r" in line or "\n" in line for line in lines), "bare CR or LF in agreement"
    assert "飞鲸网游加速器" in lines[0], "agreement title"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "installer", "resources")
    try:
        check(folder)
    except (AssertionError, OSError, UnicodeDecodeError) as e:
        print(f"check_resources: {e}", file=sys.stderr)
        return 1
    print("resources ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
