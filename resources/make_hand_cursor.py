#!/usr/bin/env python3
"""Writes HAND-M.CUR, the hand the windows show over their buttons: a 32 x 32 monochrome Windows cursor
with its hot spot at the tip of the pointing finger. Run it from anywhere; it writes beside itself."""
import os
import struct

# '.' transparent, 'X' black, 'o' white. The art is placed at column LEFT of the 32 x 32 cell.
ART = [
    "     XX          ",
    "    XooX         ",
    "    XooX         ",
    "    XooX         ",
    "    XooX         ",
    "    XooXXX       ",
    "    XooXooXXX    ",
    "    XooXooXooXX  ",
    " XX XooXooXooXoX ",
    "XooXXooooooooXoX ",
    "XoooXoooooooooooX",
    " XooXoooooooooooX",
    "  XoXoooooooooooX",
    "  XooooooooooooX ",
    "   XoooooooooooX ",
    "   XooooooooooX  ",
    "    XoooooooooX  ",
    "    XoooooooooX  ",
    "     XooooooooX  ",
    "     XXXXXXXXXX  ",
]
SIZE = 32
LEFT = 6
HOT_X, HOT_Y = LEFT + 5, 1


def rows():
    grid = [[" "] * SIZE for _ in range(SIZE)]
    for y, line in enumerate(ART):
        for x, ch in enumerate(line):
            grid[y][LEFT + x] = ch
    return grid


def pack(bits):
    out = bytearray()
    for i in range(0, SIZE, 8):
        byte = 0
        for b in bits[i:i + 8]:
            byte = (byte << 1) | b
        out.append(byte)
    return bytes(out)


def main():
    grid = rows()
    xor_rows, and_rows = [], []
    for line in grid:
        xor_rows.append(pack([1 if ch == "o" else 0 for ch in line]))
        and_rows.append(pack([0 if ch in "Xo" else 1 for ch in line]))
    # Bitmaps are stored bottom-up; the header's height counts both masks.
    xor_data = b"".join(reversed(xor_rows))
    and_data = b"".join(reversed(and_rows))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, len(xor_data) + len(and_data), 0, 0,
                         2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + xor_data + and_data
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, HOT_X, HOT_Y, len(image), 6 + 16)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "HAND-M.CUR")
    with open(path, "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main()
