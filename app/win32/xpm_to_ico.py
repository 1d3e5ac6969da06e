#!/usr/bin/python3
"""Writes the program's icon (a 32 x 32 image in the 16 VGA colours) as a Windows .ico file.

Usage: xpm_to_ico.py ICON.xpm OUT.ico

The XPM is the design the Linux window uses; "None" pixels become transparent through the
icon's mask, every other colour must be one of the 16 VGA colours.
"""

import re
import struct
import sys

VGA = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
       0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]


def read_xpm(path):
    strings = re.findall(r'"([^"]*)"', open(path, encoding="ascii").read())
    width, height, colours, per_pixel = map(int, strings[0].split()[:4])
    palette = {}
    for line in strings[1:1 + colours]:
        key, value = line[:per_pixel], line[per_pixel:].split()[-1]
        palette[key] = None if value.lower() == "none" else VGA.index(int(value.lstrip("#"), 16))
    rows = strings[1 + colours:1 + colours + height]
    return width, height, [[palette[row[x * per_pixel:(x + 1) * per_pixel]] for x in range(width)]
                           for row in rows]


def icon_bytes(width, height, pixels):
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):  # bitmaps run bottom-up
        nibbles = [0 if p is None else p for p in row]
        colour_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, width, 2)))
        bits = "".join("1" if p is None else "0" for p in row).ljust(32 * ((width + 31) // 32), "0")
        mask_rows.append(bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8)))
    colours = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in VGA)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0,
                         len(b"".join(colour_rows)) + len(b"".join(mask_rows)), 0, 0, 16, 0)
    image = header + colours + b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4,
                                                            len(image), 6 + 16)
    return directory + image


def main():
    width, height, pixels = read_xpm(sys.argv[1])
    if (width, height) != (32, 32):
        sys.exit("xpm_to_ico.py: the icon must be 32 x 32")
    with open(sys.argv[2], "wb") as out:
        out.write(icon_bytes(width, height, pixels))


if __name__ == "__main__":
    main()
