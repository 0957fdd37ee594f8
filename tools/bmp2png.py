#!/usr/bin/env python3
"""Converts uncompressed 8-, 24- or 32-bit .bmp files to one PNG, the pictures side by side with a
gap between them. Usage: tools/bmp2png.py OUT.png IN.bmp [IN.bmp ...] [--scale N]"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a .bmp file")
    offset = struct.unpack_from("<I", data, 10)[0]
    size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    used = struct.unpack_from("<I", data, 46)[0]
    if compression != 0 or bits not in (8, 24, 32):
        sys.exit(f"{path}: unsupported .bmp ({bits} bits, compression {compression})")
    palette = []
    if bits == 8:
        for i in range(used or 256):
            b, g, r, _ = data[14 + size + 4 * i: 18 + size + 4 * i]
            palette.append((r, g, b))
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else abs(height) - 1 - y
        row = data[offset + src * stride: offset + src * stride + stride]
        if bits == 8:
            rows.append([palette[i] for i in row[:width]])
        else:
            n = bits // 8
            rows.append([(row[x * n + 2], row[x * n + 1], row[x * n]) for x in range(width)])
    return rows


def main(argv):
    scale = 1
    if "--scale" in argv:
        i = argv.index("--scale")
        scale = int(argv[i + 1])
        del argv[i:i + 2]
    if len(argv) < 3:
        sys.exit(__doc__)
    out, pictures = argv[1], [read_bmp(p) for p in argv[2:]]
    gap = 8
    height = max(len(p) for p in pictures)
    width = sum(len(p[0]) for p in pictures) + gap * (len(pictures) - 1)
    raw = bytearray()
    white = (255, 255, 255)
    for y in range(height):
        line = []
        for n, p in enumerate(pictures):
            line += p[y] if y < len(p) else [white] * len(p[0])
            if n + 1 < len(pictures):
                line += [white] * gap
        scaled = b"".join(bytes(c) * scale for c in line)
        for _ in range(scale):
            raw += b"\0" + scaled
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width * scale, height * scale, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    open(out, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv)
