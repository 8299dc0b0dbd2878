#!/usr/bin/env python3
"""Writes the demo document's bitmap texture, app/demo/checker.png: a 64 x 64 checker of 8 x 8
tiles in two warm colours, as an 8-bit RGB PNG (whole or not at all). Takes no arguments."""
import os
import struct
import sys
import zlib

sys.dont_write_bytecode = True  # leaves no cache in the source tree
import replacefile  # noqa: E402  (beside this script)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

WIDTH = HEIGHT = 64
TILE = 8
LIGHT = (236, 214, 170)
DARK = (170, 74, 38)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    rows = bytearray()
    for y in range(HEIGHT):
        rows.append(0)  # no filter
        for x in range(WIDTH):
            rows += bytes(LIGHT if (x // TILE + y // TILE) % 2 == 0 else DARK)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    replacefile.write_bytes(os.path.join(ROOT, "app/demo/checker.png"), png)
    return 0


if __name__ == "__main__":
    replacefile.run_without_arguments(main, "make-demo-texture.py")
