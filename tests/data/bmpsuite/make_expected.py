#!/usr/bin/python3
"""Writes expected/<folder>/<name>.pbm for the good (g) and questionable (q)
pictures of the BMP suite: the lit map of each picture as another decoder sees
it, 1 (black in PBM terms) exactly where red = green = blue = 0.

Run once, by hand, from any folder:  /usr/bin/python3 make_expected.py
Needs Debian's python3-pil (Pillow). The tests only read the committed .pbm
files; they never run this script.

Pillow decodes most files. For the uncompressed layouts it does not read (V2
and V3 headers, the 16-byte OS/2 2.x header, 2-bit pixels, an oversize colour
table, bit-field masks other than its few fixed ones) a small decoder below,
written from the file format and sharing no code with the program, does the
work. A file neither reads gets no expected map: the program must refuse it.
"""
import os
import struct
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def pillow_lit(path):
    with Image.open(path) as im:
        im.load()
        rgb = im.convert("RGB")
        w, h = rgb.size
        data = rgb.tobytes()
    return w, h, [[data[3 * (y * w + x):3 * (y * w + x) + 3] == b"\0\0\0" for x in range(w)] for y in range(h)]


def plain_lit(path):
    """Uncompressed bitmaps only: indexed (1, 2, 4, 8 bits) and direct colour
    (16, 24, 32 bits, with or without bit fields)."""
    d = open(path, "rb").read()
    if d[:2] != b"BM":
        raise ValueError("not BM")
    off = struct.unpack_from("<I", d, 10)[0]
    hs = struct.unpack_from("<I", d, 14)[0]
    if hs == 12:
        w, h, planes, bits = struct.unpack_from("<HHHH", d, 18)
        comp, used, entry = 0, 0, 3
    else:
        w, h, planes, bits = struct.unpack_from("<iiHH", d, 18)
        fields = d[14:14 + hs] + bytes(64)
        comp, = struct.unpack_from("<I", fields, 16)
        used, = struct.unpack_from("<I", fields, 32)
        entry = 4
    if comp not in (0, 3, 6) or planes != 1 or bits not in (1, 2, 4, 8, 16, 24, 32):
        raise ValueError("compressed or unusual depth")
    if comp != 0 and (bits not in (16, 32) or hs not in (40, 52, 56, 108, 124)):
        raise ValueError("OS/2 compression or bit fields on a palette picture")
    top_down = h < 0
    h = abs(h)
    table = 14 + hs
    if bits > 8:
        if comp == 0:
            masks = [0x7C00, 0x3E0, 0x1F] if bits == 16 else [0xFF0000, 0xFF00, 0xFF]
        elif hs >= 52:
            masks = list(struct.unpack_from("<III", d, 14 + 40))
        else:
            masks = list(struct.unpack_from("<III", d, table))
        palette = None
    else:
        count = used or (1 << bits)
        if hs == 12:
            count = min(1 << bits, (off - table) // 3)
        palette = [d[table + entry * i:table + entry * i + 3] == b"\0\0\0" for i in range(count)]
    stride = (w * bits + 31) // 32 * 4
    rows = []
    for y in range(h):
        stored = y if top_down else h - 1 - y
        row = d[off + stride * stored:off + stride * (stored + 1)]
        if len(row) < stride:
            raise ValueError("cut short")
        lit = []
        for x in range(w):
            if bits <= 8:
                bit = x * bits
                index = (row[bit // 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
                lit.append(palette[index])  # IndexError past the table: no expected map
            else:
                n = bits // 8
                value = int.from_bytes(row[n * x:n * x + n], "little")
                lit.append(all(value & m == 0 for m in masks))
        rows.append(lit)
    return w, h, rows


def rle_lit(path):
    """RLE8 and RLE4 with a 40-byte header, bottom-up. Pixels the stream skips
    (delta, early end of line or of bitmap) are unlit. Pillow 9.4 shifts the
    rows that follow a delta, so run-length pictures are decoded here."""
    d = open(path, "rb").read()
    off, hs = struct.unpack_from("<I", d, 10)[0], struct.unpack_from("<I", d, 14)[0]
    w, h, _, bits, comp = struct.unpack_from("<iiHHI", d, 18)
    if hs != 40 or comp not in (1, 2) or h <= 0:
        raise ValueError("not run-length")
    used = struct.unpack_from("<I", d, 46)[0] or (1 << bits)
    palette = [d[54 + 4 * i:57 + 4 * i] == b"\0\0\0" for i in range(used)]
    lit = [[False] * w for _ in range(h)]
    x = y = 0
    p = off
    def put(index):
        nonlocal x
        lit[h - 1 - y][x] = palette[index]  # IndexError past the table or the row
        x += 1
    while True:
        if p + 2 > len(d):
            raise ValueError("no end of bitmap")
        n, v = d[p], d[p + 1]
        p += 2
        if n:
            for i in range(n):
                put(v if comp == 1 else (v >> 4 if i % 2 == 0 else v & 15))
        elif v == 0:
            x, y = 0, y + 1
        elif v == 1:
            break
        elif v == 2:
            x, y = x + d[p], y + d[p + 1]
            p += 2
        else:
            size = v if comp == 1 else (v + 1) // 2
            block = d[p:p + size]
            for i in range(v):
                put(block[i] if comp == 1 else (block[i // 2] >> 4 if i % 2 == 0 else block[i // 2] & 15))
            p += size + size % 2
    return w, h, lit


def write_pbm(target, w, h, rows):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "w") as out:
        out.write("P1\n%d %d\n" % (w, h))
        for row in rows:
            out.write("".join("1" if p else "0" for p in row) + "\n")


def main():
    for folder in ("g", "q"):
        for name in sorted(os.listdir(os.path.join(HERE, folder))):
            if not name.endswith(".bmp"):
                continue
            path = os.path.join(HERE, folder, name)
            target = os.path.join(HERE, "expected", folder, name[:-4] + ".pbm")
            result, how = None, None
            for decoder in (rle_lit, pillow_lit, plain_lit):
                try:
                    result, how = decoder(path), decoder.__name__
                    break
                except Exception as error:  # the next decoder, or no map at all
                    why = error
            if result is None:
                print("%s/%s: no expected map (%s)" % (folder, name, why))
                if os.path.exists(target):
                    os.remove(target)
                continue
            write_pbm(target, *result)
            print("%s/%s: %s" % (folder, name, how))


if __name__ == "__main__":
    sys.exit(main())
