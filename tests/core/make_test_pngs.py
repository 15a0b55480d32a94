import zlib, struct, io, random
from PIL import Image
random.seed(7)
def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
def filt(rows, bpp, types):
    out = b''; prev = bytes(len(rows[0]))
    for row, f in zip(rows, types):
        r = bytearray(row)
        enc = bytearray(len(r))
        for i in range(len(r)):
            a = r[i-bpp] if i >= bpp else 0; b = prev[i]; c = prev[i-bpp] if i >= bpp else 0
            if f == 0: p = 0
            elif f == 1: p = a
            elif f == 2: p = b
            elif f == 3: p = (a + b) >> 1
            else:
                pp = a + b - c; pa, pb, pc = abs(pp-a), abs(pp-b), abs(pp-c)
                p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            enc[i] = (r[i] - p) & 255
        out += bytes([f]) + bytes(enc); prev = bytes(r)
    return out
def png(w, h, ctype, bpp, types, extra=b'', interlace=0):
    rows = [bytes(random.randrange(256) for _ in range(w*bpp)) for _ in range(h)]
    ihdr = struct.pack('>IIBBBBB', w, h, 8, ctype, 0, 0, interlace)
    data = zlib.compress(filt(rows, bpp, types))
    # split IDAT in two to exercise several chunks
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + extra + chunk(b'IDAT', data[:len(data)//2]) + chunk(b'IDAT', data[len(data)//2:]) + chunk(b'IEND', b'')
def pil(img):
    b = io.BytesIO(); img.save(b, 'PNG'); return b.getvalue()
arrays = {
 'rgbaAllFilters': png(7, 10, 6, 4, [0,1,2,3,4,4,3,2,1,0]),
 'rgbAllFilters': png(6, 5, 2, 3, [4,3,2,1,0]),
 'greyAlphaAllFilters': png(5, 5, 4, 2, [1,2,3,4,0]),
 'greyAllFilters': png(9, 5, 0, 1, [2,4,0,3,1]),
 'withGamma': png(4, 4, 6, 4, [0,1,2,3], extra=chunk(b'gAMA', struct.pack('>I', 45455))),
 'interlaced': png(4, 4, 6, 4, [0,0,0,0], interlace=1),
 'palette': pil(Image.new('P', (5, 4), 3)),
 'grey16': pil(Image.new('I;16', (5, 4), 1000)),
}
good = png(6, 6, 6, 4, [0,1,2,3,4,0])
arrays['truncated'] = good[:len(good) - 30]
bad = bytearray(good); i = bad.index(b'IDAT')
arrays['badFilter'] = None
# a row whose filter byte is 5: rebuild with a broken filter byte
rows = bytes([5]) + bytes(24)
arrays['badFilter'] = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 6, 1, 8, 6, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b'')
out = ['#pragma once', '// Small PNG files for the decoder tests, written by tests/core/make_test_pngs.py.', '#include <cstdint>', '']
for name, data in arrays.items():
    out.append(f'inline const std::uint8_t {name}Png[] = {{')
    hexes = [f'0x{b:02X}' for b in data]
    for k in range(0, len(hexes), 16): out.append('    ' + ', '.join(hexes[k:k+16]) + ',')
    out.append('};')
open(__import__('os').path.join(__import__('os').path.dirname(__file__), 'TestPngs.h'), 'w').write('\n'.join(out) + '\n')
