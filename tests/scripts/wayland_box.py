#!/usr/bin/env python3
"""Reads a binary PPM screenshot with the desktop in #336699.

wayland_box.py FILE [SCALE [ROW]]   left top right bottom of the other pixels, in logical
                                    pixels, from pixel row ROW down (a bar above is left out)
wayland_box.py --colour FILE X Y    the pixel's colour as six hex digits
wayland_box.py --sharp FILE SCALE   exit 0 when the window holds detail finer than SCALE
                                    pixels, that is it was not drawn small and enlarged
wayland_box.py --changed FILE OLD   left top right bottom of the pixels that differ from OLD
                                    (a desktop of any colour); "none" if none do
"""
import sys

DESKTOP = bytes((0x33, 0x66, 0x99))


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6":
        sys.exit("not a binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


def pixel(pixels, width, x, y):
    i = (y * width + x) * 3
    return pixels[i:i + 3]


def box(width, height, pixels, first_row=0):
    # Whole rows of desktop are skipped at once: a poll takes many of these.
    blank = DESKTOP * width
    left, right, top, bottom = width, -1, None, None
    for y in range(first_row, height):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        if row == blank:
            continue
        top = y if top is None else top
        bottom = y
        x = 0
        while x < left and row[x * 3:x * 3 + 3] == DESKTOP:
            x += 1
        left = min(left, x)
        x = width - 1
        while x > right and row[x * 3:x * 3 + 3] == DESKTOP:
            x -= 1
        right = max(right, x)
    return (left, top, right, bottom) if top is not None else None


def changed(width, height, pixels, old):
    left, right, top, bottom = width, -1, None, None
    stride = width * 3
    for y in range(height):
        row, was = pixels[y * stride:(y + 1) * stride], old[y * stride:(y + 1) * stride]
        if row == was:
            continue
        top = y if top is None else top
        bottom = y
        x = 0
        while x < left and row[x * 3:x * 3 + 3] == was[x * 3:x * 3 + 3]:
            x += 1
        left = min(left, x)
        x = width - 1
        while x > right and row[x * 3:x * 3 + 3] == was[x * 3:x * 3 + 3]:
            x -= 1
        right = max(right, x)
    return (left, top, right, bottom) if top is not None else None


def sharp(width, height, pixels, scale):
    found = box(width, height, pixels)
    if not found:
        return False
    left, top, right, bottom = found
    mixed = blocks = 0
    for y in range(top, bottom - scale + 1, scale):
        for x in range(left, right - scale + 1, scale):
            colours = {pixel(pixels, width, x + dx, y + dy)
                       for dx in range(scale) for dy in range(scale)}
            blocks += 1
            mixed += len(colours) > 1
    print(f"{mixed} of {blocks} blocks hold detail")
    return blocks > 0 and mixed * 50 > blocks


def main(args):
    if args[0] == "--colour":
        width, _, pixels = read_ppm(args[1])
        print(pixel(pixels, width, int(args[2]), int(args[3])).hex())
        return 0
    if args[0] == "--sharp":
        width, height, pixels = read_ppm(args[1])
        return 0 if sharp(width, height, pixels, int(args[2])) else 1
    if args[0] == "--changed":
        width, height, pixels = read_ppm(args[1])
        old = read_ppm(args[2])
        if old[:2] != (width, height):
            sys.exit("the screenshots differ in size")
        found = changed(width, height, pixels, old[2])
        print(" ".join(map(str, found)) if found else "none")
        return 0
    width, height, pixels = read_ppm(args[0])
    scale = int(args[1]) if len(args) > 1 else 1
    found = box(width, height, pixels, int(args[2]) if len(args) > 2 else 0)
    print(" ".join(str(v // scale) for v in found) if found else "none")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
