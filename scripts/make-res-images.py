#!/usr/bin/env python3
"""Writes the plug-in's own simple images into res/: the header strip and the command icons, as
uncompressed RGBA TIFF files (straight alpha). Run from the repository root."""
import struct


def write_tiff(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    data = bytearray()
    for y in range(height):
        for x in range(width):
            data += bytes(pixel(x, y))
    entries = []  # (tag, type, count, value)
    header = 8
    ifd_offset = header + len(data)
    bits_offset = ifd_offset + 2 + 12 * 12 + 4
    entries = [
        (256, 3, 1, width), (257, 3, 1, height), (258, 3, 4, bits_offset), (259, 3, 1, 1),
        (262, 3, 1, 2), (273, 4, 1, header), (277, 3, 1, 4), (278, 3, 1, height),
        (279, 4, 1, len(data)), (284, 3, 1, 1), (338, 3, 1, 2), (339, 3, 4, bits_offset + 8),
    ]
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_offset))
    out += data
    out += struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if typ == 3 and count == 1:
            out += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, typ, count, value)
    out += struct.pack("<I", 0)
    out += struct.pack("<4H", 8, 8, 8, 8) + struct.pack("<4H", 1, 1, 1, 1)
    with open(path, "wb") as f:
        f.write(out)


def header(x, y):
    # The word mark: three white bars that fade out to the right, over transparency.
    if 12 <= x < 200 and y in range(8, 17) and (x // 6) % 3 != 2:
        return (255, 255, 255, 255 if x < 72 else max(0, 255 - 2 * (x - 72)))
    return (0, 0, 0, 0)


def icon(colour):
    def pixel(x, y):
        inside = 3 <= x < 29 and 3 <= y < 29
        return colour + (255,) if inside else (0, 0, 0, 0)
    return pixel


write_tiff("res/corvaneHeader.tif", 300, 25, header)
for name, colour in [("About.tif", (70, 130, 200)), ("ConvertMats.tif", (200, 120, 40)),
                     ("instance.tif", (90, 170, 90)), ("materialhelper.tif", (170, 80, 160))]:
    write_tiff("res/" + name, 32, 32, icon(colour))
