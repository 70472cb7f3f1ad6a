#!/usr/bin/env python3
"""Reads screenshots for the end-to-end tests (no imaging modules needed:
ImageMagick's convert turns the picture into a plain PPM).

  shot.py flame FILE X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]
                                   count flame-coloured pixels in each rectangle
                                   (one picture read for all; the counts on one line)
  shot.py boxes FILE X0 Y0 X1 Y1   centres of check-box squares in the rectangle,
                                   one "X Y" line each, top to bottom
  shot.py hottest FILE X0 Y0 X1 Y1 "X Y" of the brightest flame pixel in the rectangle
  shot.py blank FILE X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]
                                   "X Y", the centre of a square of pure white pixels
                                   in the first rectangle and clear of the others
                                   (nothing when there is none)
"""
import subprocess
import sys


def load(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          capture_output=True).stdout
    # P6 header: magic, width, height, maxval, each separated by whitespace.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    if fields[0] != b"P6":
        sys.exit("not a PPM picture")
    return int(fields[1]), int(fields[2]), data[pos:]


def pixel(img, x, y):
    w, _, px = img
    i = (y * w + x) * 3
    return px[i], px[i + 1], px[i + 2]


def clip(img, x0, y0, x1, y1):
    w, h, _ = img
    return max(0, x0), max(0, y0), min(w, x1), min(h, y1)


def is_flame(r, g, b):
    # Fire is red to yellow to white: much more red than blue. The drawing
    # window's blue and the grey desktop never are.
    return r >= 150 and r >= b + 50


def flame(img, x0, y0, x1, y1):
    w, _, px = img
    x0, y0, x1, y1 = clip(img, x0, y0, x1, y1)
    n = 0
    for y in range(y0, y1):
        row = px[(y * w + x0) * 3:(y * w + x1) * 3]
        # is_flame on the red and blue bytes of the row, without a call a pixel.
        n += sum(1 for r, b in zip(row[0::3], row[2::3]) if r >= 150 and r >= b + 50)
    return n


def hottest(img, x0, y0, x1, y1):
    x0, y0, x1, y1 = clip(img, x0, y0, x1, y1)
    best, at = -1, None
    for y in range(y0, y1):
        for x in range(x0, x1):
            r, g, b = pixel(img, x, y)
            if is_flame(r, g, b) and r + g + b > best:
                best, at = r + g + b, (x, y)
    return at


def boxes(img, x0, y0, x1, y1, side=11):
    """Squares outlined by dark pixels: top and left edges at least `side` long."""
    x0, y0, x1, y1 = clip(img, x0, y0, x1, y1)

    def dark(x, y):
        return max(pixel(img, x, y)) < 215

    found = []
    for y in range(y0, y1 - side):
        for x in range(x0, x1 - side):
            if not dark(x, y) or any(abs(x - fx) < side and abs(y - fy) < side for fx, fy, _ in found):
                continue
            across = 0
            while x + across < x1 and dark(x + across, y):
                across += 1
            down = 0
            while y + down < y1 and dark(x, y + down):
                down += 1
            if side <= across <= 3 * side and abs(across - down) <= 2:
                found.append((x, y, across))
    return [(x + s // 2, y + s // 2) for x, y, s in found]


def blank(img, x0, y0, x1, y1, avoid):
    """A white window below a transparent pixel shows through unchanged; any
    fire over it, however faint, lowers at least one channel. The widest white
    square wins: moving fire is least likely to reach its centre."""
    w, _, px = img
    x0, y0, x1, y1 = clip(img, x0, y0, x1, y1)
    for side in (97, 65, 33):
        white = b"\xff" * (3 * side)
        for y in range(y0, y1 - side + 1, 16):
            for x in range(x0, x1 - side + 1, 16):
                if any(x < ax1 and x + side > ax0 and y < ay1 and y + side > ay0
                       for ax0, ay0, ax1, ay1 in avoid):
                    continue
                if all(px[((y + r) * w + x) * 3:((y + r) * w + x + side) * 3] == white
                       for r in range(side)):
                    return x + side // 2, y + side // 2
    return None


def main():
    many = sys.argv[1:2] == ["flame"] and len(sys.argv) > 7 and (len(sys.argv) - 3) % 4 == 0
    avoiding = sys.argv[1:2] == ["blank"] and len(sys.argv) >= 7 and (len(sys.argv) - 3) % 4 == 0
    if (len(sys.argv) != 7 and not (many or avoiding)) or \
            sys.argv[1] not in ("flame", "boxes", "hottest", "blank"):
        sys.exit(__doc__)
    img = load(sys.argv[2])
    rect = [int(v) for v in sys.argv[3:7]]
    if sys.argv[1] == "flame":
        coords = [int(v) for v in sys.argv[3:]]
        print(*(flame(img, *coords[i:i + 4]) for i in range(0, len(coords), 4)))
    elif sys.argv[1] == "blank":
        coords = [int(v) for v in sys.argv[7:]]
        at = blank(img, *rect, [coords[i:i + 4] for i in range(0, len(coords), 4)])
        if at:
            print(*at)
    elif sys.argv[1] == "hottest":
        at = hottest(img, *rect)
        if at:
            print(*at)
    else:
        for x, y in boxes(img, *rect):
            print(x, y)


if __name__ == "__main__":
    main()
