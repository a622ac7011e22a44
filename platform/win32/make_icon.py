#!/usr/bin/env python3
"""Draws the program's icon, a small terminal with green text, as a 32x32 16-colour .ico.

The icon is committed as mirelox.ico; run this again only to change the picture:
    python3 make_icon.py mirelox.ico
"""
import struct
import sys

# The 16 colours of the standard Windows palette, (red, green, blue), in palette order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Picture characters and their palette index; "." is transparent.
COLOURS = {"#": 0, "s": 0, "G": 10, "g": 8, "w": 15, "l": 7}

# One character per pixel, top row first.
PICTURE = """
................................
................................
..############################..
..#wwwwwwwwwwwwwwwwwwwwwwwwwl#..
..#wsssssssssssssssssssssssgl#..
..#wsGGGGGGGGGGGsssssssssssgl#..
..#wsssssssssssssssssssssssgl#..
..#wsGGGGGGGsGGGGGGGGssssssgl#..
..#wsssssssssssssssssssssssgl#..
..#wsGGGGGGGGGGGGGGGsssssssgl#..
..#wsssssssssssssssssssssssgl#..
..#wsGGGGsGGGGGGGGsssssssssgl#..
..#wsssssssssssssssssssssssgl#..
..#wsGGssssssssssssssssssssgl#..
..#wssGGsssssssssssssssssssgl#..
..#wsssGGsGGGGGGsssssssssssgl#..
..#wssGGsssssssssssssssssssgl#..
..#wsGGssssssssssssssssssssgl#..
..#wsssssssssssssssssssssssgl#..
..#wsssssssssssssssssssssssgl#..
..#wggggggggggggggggggggggggl#..
..#llllllllllllllllllllllllll#..
..############################..
.............#llll#.............
.............#llll#.............
.........##############.........
........#wwwwwwwwwwwwww#........
........#gggggggggggggg#........
.........##############.........
................................
................................
................................
"""


def picture_rows():
    lines = [line for line in PICTURE.split("\n") if line]
    assert len(lines) == 32 and all(len(line) == 32 for line in lines), "the picture must be 32x32"
    return lines


def icon_bytes():
    colour_rows, mask_rows = [], []
    for line in reversed(picture_rows()):  # bitmaps are stored bottom-up
        pixels = [COLOURS.get(c, 0) for c in line]
        colour_rows.append(bytes((pixels[i] << 4) | pixels[i + 1] for i in range(0, 32, 2)))
        mask = 0
        for c in line:
            mask = (mask << 1) | (c == ".")
        mask_rows.append(struct.pack(">I", mask))
    # BITMAPINFOHEADER: the height counts the colour image and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 32 * 16 + 32 * 4, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "mirelox.ico", "wb") as out:
        out.write(icon_bytes())
