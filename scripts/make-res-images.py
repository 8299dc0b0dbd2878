#!/usr/bin/env python3
"""Writes the plug-in's own simple images into res/: the header strip, the command icons and the
tag icons, as uncompressed RGBA TIFF files (straight alpha), each whole or not at all. Takes no
arguments."""
import os
import struct
import sys

sys.dont_write_bytecode = True  # leaves no cache in the source tree
import replacefile  # noqa: E402  (beside this script)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


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
    replacefile.write_bytes(os.path.join(ROOT, path), bytes(out))


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


CLEAR = (0, 0, 0, 0)


def opaque(colour):
    return colour + (255,)


def disc(cx, cy, r, x, y):
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r


def light(x, y):
    # A sun: a yellow disc with eight short rays.
    if disc(16, 16, 7, x, y):
        return opaque((250, 200, 40))
    dx, dy = x + 0.5 - 16, y + 0.5 - 16
    on_ray = abs(dx) < 1.5 or abs(dy) < 1.5 or abs(abs(dx) - abs(dy)) < 1.5
    return opaque((250, 170, 30)) if on_ray and 10 <= max(abs(dx), abs(dy)) < 15 else CLEAR


def exit_portal(x, y):
    # A window: a blue frame with a cross of bars around pale light.
    if not (4 <= x < 28 and 4 <= y < 28):
        return CLEAR
    if x < 7 or x >= 25 or y < 7 or y >= 25 or 15 <= x < 17 or 15 <= y < 17:
        return opaque((50, 90, 170))
    return opaque((225, 235, 250))


def camera(x, y):
    # A grey body with a dark lens and a small viewfinder on top.
    if disc(16, 18, 5, x, y):
        return opaque((30, 30, 40)) if not disc(16, 18, 2.5, x, y) else opaque((90, 120, 170))
    if 4 <= x < 28 and 11 <= y < 26:
        return opaque((140, 140, 150))
    if 8 <= x < 14 and 7 <= y < 11:
        return opaque((110, 110, 120))
    return CLEAR


def subdivision(x, y):
    # A green patch cut into a 4 x 4 grid.
    if not (3 <= x < 29 and 3 <= y < 29):
        return CLEAR
    if (x - 3) % 6 in (0, 1) or (y - 3) % 6 in (0, 1):
        return opaque((30, 100, 40))
    return opaque((110, 190, 100))


def export(x, y):
    # An orange arrow leaving a page to the right.
    if 5 <= x < 17 and 5 <= y < 27 and (x in (5, 6) or y in (5, 6, 25, 26)):
        return opaque((120, 120, 120))
    if 9 <= x < 21 and 14 <= y < 18:
        return opaque((230, 120, 30))
    if 21 <= x < 29 and abs(y + 0.5 - 16) <= 29 - x - 0.5:
        return opaque((230, 120, 30))
    return CLEAR


def animation(x, y):
    # A film strip: a dark band with sprocket holes above and below two frames.
    if not (3 <= y < 29):
        return CLEAR
    if (5 <= y < 8 or 24 <= y < 27) and x % 6 in (2, 3):
        return CLEAR
    if 10 <= y < 22 and 4 <= x < 28 and x not in (15, 16):
        return opaque((200, 200, 220))
    return opaque((40, 40, 50))


def pause(x, y):
    # Two upright bars.
    return opaque((60, 60, 70)) if 7 <= y < 25 and (8 <= x < 14 or 18 <= x < 24) else CLEAR


def resume(x, y):
    # A triangle pointing to the right.
    cy = 16
    if 9 <= x < 26 and abs(y + 0.5 - cy) <= (26 - x - 0.5) * 9 / 17:
        return opaque((60, 150, 70))
    return CLEAR


def tonemapping(x, y):
    # A grey ramp from dark to light, crossed by a white response curve.
    if not (3 <= x < 29 and 3 <= y < 29):
        return CLEAR
    t = (x - 3) / 25
    curve = 28 - 25 * (t ** 0.5)
    if abs(y + 0.5 - curve) < 1.2:
        return opaque((255, 255, 255))
    level = int(30 + 190 * t)
    return opaque((level, level, level))


def main():
    write_tiff("res/corvaneHeader.tif", 300, 25, header)
    for name, colour in [("About.tif", (70, 130, 200)), ("ConvertMats.tif", (200, 120, 40)),
                         ("instance.tif", (90, 170, 90)), ("materialhelper.tif", (170, 80, 160))]:
        write_tiff("res/" + name, 32, 32, icon(colour))
    for name, draw in [("LightTag.tif", light), ("ExitPortal.tif", exit_portal), ("CameraTag.tif", camera),
                       ("subdivtag.tif", subdivision), ("Export.tif", export), ("animationtag.tif", animation),
                       ("pause.tif", pause), ("resume.tif", resume), ("tonemapping.tif", tonemapping)]:
        write_tiff("res/" + name, 32, 32, draw)
    return 0


if __name__ == "__main__":
    replacefile.run_without_arguments(main, "make-res-images.py")
