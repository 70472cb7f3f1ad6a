#!/usr/bin/env python3
"""Reads screenshots for the end-to-end tests (no imaging modules needed:
ImageMagick's convert turns the picture into a plain PPM).

  shot.py flame FILE X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]
                                   count flame-coloured pixels in each rectangle
                                   (one picture read for all; the counts on one line)
  shot.py boxes FILE X0 Y0 X1 Y1   centres of check-box squares in the rectangle,
                                   one "X Y" line each, top to bottom
  shot.py hottest FILE X0 Y0 X1 Y1 "X Y" of the brightest flame pixel in the rectangle
  shot.py clear WINDOW X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]
                                   "X Y" on the screen, the centre of a square of fully
                                   transparent pixels of a 32-bit window of $DISPLAY,
                                   inside the first rectangle of the screen and clear of
                                   the others (nothing when there is none)
"""
import os
import socket
import struct
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


class XConnection:
    """Just enough of the X protocol to read a window's pixels: set-up without
    authorisation (the tests' Xvfb asks for none), little-endian requests."""

    def __init__(self):
        number = os.environ.get("DISPLAY", "").split(":")[-1].split(".")[0]
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect("/tmp/.X11-unix/X" + number)
        self.sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = self.read(8)
        if head[0] != 1:
            raise OSError("the X server refused the connection")
        setup = self.read(struct.unpack("<H", head[6:8])[0] * 4)
        self.lsb_images = setup[22] == 0
        vendor, formats = struct.unpack("<H", setup[16:18])[0], setup[21]
        screen = 32 + (vendor + 3) // 4 * 4 + 8 * formats
        self.root = struct.unpack("<I", setup[screen:screen + 4])[0]

    def read(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def ask(self, request):
        """The reply to a request, or None for an error."""
        self.sock.sendall(request)
        reply = self.read(32)
        if reply[0] != 1:
            return None
        return reply + self.read(struct.unpack("<I", reply[4:8])[0] * 4)

    def alpha_on_screen(self, window, x0, y0, x1, y1):
        """(X, Y, W, H, alpha bytes) of the part of a 32-bit window inside the
        screen rectangle X0 Y0 X1 Y1, its rows from X Y on; None when the
        window has no 32-bit picture to give (unmapped, another depth). With a
        compositing manager GetImage gives the window's own pixels whatever
        lies over it; the part asked for must lie within the window and on the
        screen, and the window changes its size as the art does: asked again
        then."""
        for _ in range(5):
            geometry = self.ask(struct.pack("<BxHI", 14, 2, window))
            at = self.ask(struct.pack("<BxHIIhh", 40, 4, window, self.root, 0, 0))
            if geometry is None or at is None:
                return None
            w, h = struct.unpack("<HH", geometry[16:20])
            wx, wy = struct.unpack("<hh", at[12:16])
            rx0, ry0 = max(x0, wx), max(y0, wy)
            rx1, ry1 = min(x1, wx + w), min(y1, wy + h)
            if rx1 <= rx0 or ry1 <= ry0:
                return rx0, ry0, 0, 0, b""
            image = self.ask(struct.pack("<BBHIhhHHI", 73, 2, 5, window, rx0 - wx, ry0 - wy,
                                         rx1 - rx0, ry1 - ry0, 0xFFFFFFFF))  # ZPixmap
            if image is None:
                continue
            if image[1] != 32:
                return None
            # The ARGB visual keeps alpha in the top byte of each pixel.
            data = image[32:]
            n = (rx1 - rx0) * (ry1 - ry0)
            return rx0, ry0, rx1 - rx0, ry1 - ry0, bytes(data[3 if self.lsb_images else 0::4][:n])
        return None


def clear(window, x0, y0, x1, y1, avoid):
    """The fire, however faint and whatever its colour, has alpha above zero:
    a square of zero alpha is one the window takes no click on. The widest
    square wins: moving fire is least likely to reach its centre."""
    got = XConnection().alpha_on_screen(window, x0, y0, x1, y1)
    if got is None:
        return None
    x0, y0, w, h, alpha = got
    for side in (97, 65, 33):
        none = bytes(side)
        for y in range(y0, y0 + h - side + 1, 16):
            for x in range(x0, x0 + w - side + 1, 16):
                if any(x < ax1 and x + side > ax0 and y < ay1 and y + side > ay0
                       for ax0, ay0, ax1, ay1 in avoid):
                    continue
                if all(alpha[(y - y0 + r) * w + x - x0:(y - y0 + r) * w + x - x0 + side] == none
                       for r in range(side)):
                    return x + side // 2, y + side // 2
    return None


def main():
    many = sys.argv[1:2] == ["flame"] and len(sys.argv) > 7 and (len(sys.argv) - 3) % 4 == 0
    if sys.argv[1:2] == ["clear"] and len(sys.argv) >= 7 and (len(sys.argv) - 3) % 4 == 0:
        coords = [int(v) for v in sys.argv[3:]]
        at = clear(int(sys.argv[2], 0), *coords[:4], [coords[i:i + 4] for i in range(4, len(coords), 4)])
        if at:
            print(*at)
        return
    if (len(sys.argv) != 7 and not many) or sys.argv[1] not in ("flame", "boxes", "hottest"):
        sys.exit(__doc__)
    img = load(sys.argv[2])
    rect = [int(v) for v in sys.argv[3:7]]
    if sys.argv[1] == "flame":
        coords = [int(v) for v in sys.argv[3:]]
        print(*(flame(img, *coords[i:i + 4]) for i in range(0, len(coords), 4)))
    elif sys.argv[1] == "hottest":
        at = hottest(img, *rect)
        if at:
            print(*at)
    else:
        for x, y in boxes(img, *rect):
            print(x, y)


if __name__ == "__main__":
    main()
