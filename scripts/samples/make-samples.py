#!/usr/bin/env python3
"""Writes the demo's two sample pictures, 256 x 160 each, with the standard
library only (the committed PNGs were made with it; the demo does not run it):

  gradient-rgb8.png    8 bits per channel, RGB without alpha:
                       red = x, green = y * 255 // 159,
                       blue = 0xC0 on the light squares of a 32-pixel checker
                       (x // 32 + y // 32 even), else 0x40
  gradient-rgba16.png  16 bits per channel, RGBA:
                       red = x * 256 + y, green = y * 409,
                       blue = 0xC000 on the light squares, else 0x4000,
                       alpha = 0xFFFF - x
"""
import os
import struct
import zlib

WIDTH, HEIGHT = 256, 160


def light(x, y):
    return (x // 32 + y // 32) % 2 == 0


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, color_type, depth, channels, pixel):
    sample_bytes = depth // 8
    pixel_bytes = channels * sample_bytes
    raw = bytearray()
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            for value in pixel(x, y):
                row += value.to_bytes(sample_bytes, "big")
        # Filter 1 (Sub): each byte minus the byte one pixel to the left.
        raw.append(1)
        raw += bytes((row[i] - (row[i - pixel_bytes] if i >= pixel_bytes else 0)) & 0xFF
                     for i in range(len(row)))
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, depth, color_type, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        out.write(chunk(b"IEND", b""))


here = os.path.dirname(os.path.abspath(__file__))
write_png(os.path.join(here, "gradient-rgb8.png"), 2, 8, 3,
          lambda x, y: (x, y * 255 // 159, 0xC0 if light(x, y) else 0x40))
write_png(os.path.join(here, "gradient-rgba16.png"), 6, 16, 4,
          lambda x, y: (x * 256 + y, y * 409, 0xC000 if light(x, y) else 0x4000,
                        0xFFFF - x))
