#!/usr/bin/env python3
"""Writes the hand-made part of the seed corpora: small PNGs that cover libpng's colour types,
bit depths, interlacing and ancillary chunks, and binary programs for the structured targets.
JPEG seeds come from cjpeg and jpegtran (libjpeg-turbo-progs), see scripts/fuzz.sh."""
import os
import struct
import sys
import zlib

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, depth, colour, rows, interlace=0, extra=b"", palette=None):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))
    if palette:
        out += chunk(b"PLTE", palette)
    out += extra
    out += chunk(b"IDAT", zlib.compress(rows))
    return out + chunk(b"IEND", b"")


def raw_rows(width, height, depth, channels, value):
    bytes_per_row = (width * depth * channels + 7) // 8
    return b"".join(b"\x00" + bytes((value(x, y) & 0xFF) for x in range(bytes_per_row)) for y in range(height))


def adam7(width, height, channels):
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    data = b""
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        ys = range(y0, height, dy)
        if not xs or not ys:
            continue
        for y in ys:
            data += b"\x00" + b"".join(bytes(((x * 17 + c * 40 + y * 3) & 0xFF) for c in range(channels)) for x in xs)
    return data


def write(target, name, data):
    with open(os.path.join(root, target, name), "wb") as f:
        f.write(data)


def main():
    v = lambda x, y: x * 29 + y * 7
    write("decode-png", "rgb8.png", png(7, 5, 8, 2, raw_rows(7, 5, 8, 3, v)))
    write("decode-png", "rgba8.png", png(6, 4, 8, 6, raw_rows(6, 4, 8, 4, v)))
    write("decode-png", "gray1.png", png(9, 3, 1, 0, raw_rows(9, 3, 1, 1, v)))
    write("decode-png", "gray16.png", png(3, 3, 16, 0, raw_rows(3, 3, 16, 1, v)))
    write("decode-png", "grayalpha8.png", png(4, 4, 8, 4, raw_rows(4, 4, 8, 2, v)))
    write("decode-png", "rgba16.png", png(2, 3, 16, 6, raw_rows(2, 3, 16, 4, v)))
    write("decode-png", "palette-trns.png",
          png(5, 5, 4, 3, raw_rows(5, 5, 4, 1, v), palette=bytes(range(48)), extra=chunk(b"tRNS", b"\x00\x80\xff")))
    write("decode-png", "interlaced.png", png(11, 9, 8, 2, adam7(11, 9, 3), interlace=1))
    text = chunk(b"tEXt", b"Comment\x00seed") + chunk(b"zTXt", b"Big\x00\x00" + zlib.compress(b"x" * 4096))
    text += chunk(b"iTXt", b"Title\x00\x00\x00en\x00Title\x00hello") + chunk(b"gAMA", struct.pack(">I", 45455))
    text += chunk(b"iCCP", b"icc\x00\x00" + zlib.compress(b"\x00" * 128)) + chunk(b"sRGB", b"\x00")
    text += chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1)) + chunk(b"sPLT", b"p\x00\x08" + b"\x00" * 12)
    write("decode-png", "ancillary.png", png(3, 2, 8, 2, raw_rows(3, 2, 8, 3, v), extra=text))
    # A header that claims 20000 x 20000: refused before anything of that size exists.
    write("decode-png", "huge-header.png", png(20000, 20000, 8, 2, b"\x00" * 64))

    # Lookup-table programs: mode byte, then the two sides as (kind, tiles, offset) triples.
    def side(tiles, offset):
        return bytes([0]) + struct.pack("<I", tiles) + struct.pack("<I", offset + 1)
    write("lookup-table", "row-of-33.bin", bytes([0]) + side(33, 0) + side(1, 0) + bytes(range(256)))
    write("lookup-table", "column-of-33.bin", bytes([4]) + side(1, 0) + side(33, 0) + bytes(range(0, 256, 3)))
    write("lookup-table", "eleven-by-three.bin", bytes([2]) + side(11, 0) + side(3, 0) + b"\x10\x80")
    write("lookup-table", "off-by-one.bin", bytes([0]) + side(33, 1) + side(1, 0) + b"\xff")
    write("lookup-table", "too-many-tiles.bin", bytes([0]) + side(6, 0) + side(6, 0) + b"\x01\x02")
    with open(os.path.join(os.path.dirname(root), "..", "Resources", "RUXImageEditor.bundle", "lut_aden_map.png"), "rb") as f:
        write("lookup-table", "aden.bin", bytes([1]) + f.read())

    # Overlay programs: mode, photo width and height, then the overlay's.
    def dims(w, h):
        return struct.pack("<II", w - 1, h - 1)
    write("overlay", "square.bin", bytes([0]) + dims(20, 15) + bytes([0]) + struct.pack("<I", 9) + bytes([0]) + struct.pack("<I", 9) + b"\x40\x80\xc0\xff")
    write("overlay", "strip.bin", bytes([0]) + dims(7, 30) + bytes([255]) + struct.pack("<I", 3000) + bytes([0]) + struct.pack("<I", 0) + b"\xff")
    write("overlay", "offset-photo.bin", bytes([2]) + dims(11, 13) + bytes([100]) + struct.pack("<I", 20) + struct.pack("<I", 33) + bytes([0]) + struct.pack("<I", 4) + bytes([0]) + struct.pack("<I", 4) + b"\x22\xff")
    write("overlay", "png.bin", bytes([1]) + dims(8, 8) + png(6, 4, 8, 6, raw_rows(6, 4, 8, 4, v)))

    # Editing sessions: a photo byte and its sides, then one opcode (and its operands) per step.
    photo = bytes([0x23]) + struct.pack("<I", 9) + struct.pack("<I", 6)
    write("edit-session", "brightness-undo-redo.bin",
          photo + bytes([0, 3, 1, 100, 0x10, 0x40, 8, 2, 10, 5, 6, 11]))
    write("edit-session", "rotate-crop-look.bin",
          photo + bytes([0, 0, 1, 0, 2, 0, 1, 1, 1, 100, 0, 8, 100, 0, 8, 100, 0, 6, 100, 0, 6, 1, 0, 0, 2, 3, 4, 9, 3, 9, 5, 12, 11]))
    write("edit-session", "blur-preview.bin",
          photo + bytes([0, 7, 1, 1, 100, 0, 0x40, 100, 0, 0x40, 7, 8, 2, 0, 6, 1, 100, 0, 0x20, 2, 10, 11, 5, 5, 6]))
    write("edit-session", "no-photo.bin", bytes([0, 0, 3, 2, 10, 11, 9, 3, 5, 6]))
    write("edit-session", "special-values.bin",
          photo + bytes([0, 4, 1, 0, 7, 0, 5, 1, 1, 1, 0, 2, 3, 4, 0, 1, 2, 8, 10, 4, 1, 5, 5, 6, 6]))


if __name__ == "__main__":
    sys.exit(main())
