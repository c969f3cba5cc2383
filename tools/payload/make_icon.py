#!/usr/bin/python3
"""Packs rasterised RGBA pictures into a Windows icon file (.ico).

Usage: make_icon.py OUTPUT.ico SIZE=RAW_RGBA_FILE [SIZE=RAW_RGBA_FILE ...]

Each input is SIZE x SIZE pixels of 8-bit, non-premultiplied R, G, B, A
(ImageMagick's "rgba:" output), rows top to bottom. Pictures of 256 pixels are
stored as PNG, smaller ones as 32-bit BGRA bitmaps with an AND mask, which is
what every Windows version since Vista reads. The output depends only on the
pixels: no dates, no names, no metadata.
"""

import struct
import sys
import zlib


def png_chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def filter_rows(rgba, size):
    """Picks per row the PNG filter (None, Sub or Up) with the smallest sum of
    absolute residues, the usual heuristic; deterministic for given pixels."""
    stride = size * 4
    out = bytearray()
    prior = bytes(stride)
    for y in range(size):
        row = rgba[y * stride:(y + 1) * stride]
        candidates = [
            (0, row),
            (1, bytes((row[i] - (row[i - 4] if i >= 4 else 0)) & 255 for i in range(stride))),
            (2, bytes((row[i] - prior[i]) & 255 for i in range(stride))),
        ]

        def cost(candidate):
            return sum(b if b < 128 else 256 - b for b in candidate[1])

        kind, data = min(candidates, key=cost)
        out.append(kind)
        out += data
        prior = row
    return bytes(out)


def encode_png(rgba, size):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, no interlace
    return (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(filter_rows(rgba, size), 9))
            + png_chunk(b"IEND", b""))


def encode_bitmap(rgba, size):
    stride = size * 4
    pixels = bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = rgba[y * stride:(y + 1) * stride]
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))

    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            if rgba[y * stride + x * 4 + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: make_icon.py OUTPUT.ico SIZE=RAW_RGBA_FILE ...")

    images = []
    for arg in argv[2:]:
        size_text, _, path = arg.partition("=")
        size = int(size_text)
        if not 1 <= size <= 256:
            sys.exit(f"make_icon: size {size} is outside 1..256")
        with open(path, "rb") as f:
            rgba = f.read()
        if len(rgba) != size * size * 4:
            sys.exit(f"make_icon: {path} holds {len(rgba)} bytes, expected {size * size * 4}")
        data = encode_png(rgba, size) if size == 256 else encode_bitmap(rgba, size)
        images.append((size, data))

    images.sort(key=lambda item: item[0])
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    blobs = b""
    for size, data in images:
        side = 0 if size == 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)

    with open(argv[1], "wb") as f:
        f.write(directory + blobs)


if __name__ == "__main__":
    main(sys.argv)
