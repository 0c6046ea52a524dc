#!/usr/bin/env python3
"""Draws the program's icon and the tray menu's pictures into main/res/.

The pictures are drawn on a 16-unit grid, so that at 16 x 16 pixels their
straight edges fall on pixel edges and stay sharp; larger sizes are the same
drawing scaled. Needs ImageMagick's convert. The .ico files it writes are
kept in the repository: building the program does not run this.
"""
import os
import subprocess
import sys
import tempfile

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "main", "res")
SAMPLES = 8  # per pixel and axis


def rgb(h):
    return tuple(int(h[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


DARK = rgb("172944")
BLUE = rgb("5885C7")
DEEP = rgb("30568F")
CREAM = rgb("FFFFFB")
ORANGE = rgb("F99E68")
GREY = rgb("8A94A6")
RED = rgb("C62828")
GLASS = rgb("DCEBFA")


def polygon(points):
    def inside(x, y):
        c = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                c = not c
            j = i
        return c
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def segment(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def shield(inset):
    i = inset
    return polygon([(2 + i, 1 + i), (14 - i, 1 + i), (14 - i, 8.5 - i * 0.4), (8, 15 - i * 1.3),
                    (2 + i, 8.5 - i * 0.4)])


def gradient(top, bottom, y0, y1):
    def colour(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return colour


APP = [
    (shield(0), DARK),
    (shield(1), gradient(BLUE, DEEP, 2, 14)),
    (polygon([(4, 3.5), (6.6, 3.5), (8, 8.6), (9.4, 3.5), (12, 3.5), (9.1, 12), (6.9, 12)]), CREAM),
    (rect(2, 1, 14, 2), ORANGE),
]

SHOW = [
    (rect(1, 2, 15, 14), DARK),
    (rect(2, 3, 14, 13), CREAM),
    (rect(2, 3, 14, 6), BLUE),
    (rect(11, 4, 13, 5), CREAM),
]

SCAN = [
    (segment(10, 10, 14, 14, 3), DARK),
    (disc(6.5, 6.5, 5.2), DARK),
    (disc(6.5, 6.5, 3.8), GLASS),
    (segment(4.6, 5.2, 6, 3.9, 1.1), CREAM),
]

PROGRAMS = [
    (rect(1, 1, 15, 15), DARK),
    (rect(2, 2, 14, 14), CREAM),
] + [item for row in range(3) for item in (
    (rect(4, 4 + row * 3, 6, 6 + row * 3), BLUE),
    (rect(7, 4 + row * 3, 12, 5 + row * 3), GREY),
)]

EXIT = [
    (disc(8, 8, 7), DARK),
    (disc(8, 8, 6), RED),
    (segment(5.3, 5.3, 10.7, 10.7, 2), CREAM),
    (segment(10.7, 5.3, 5.3, 10.7, 2), CREAM),
]


def render(shapes, size):
    scale = 16.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * scale
                    y = (py + (sy + 0.5) / SAMPLES) * scale
                    r = g = b = a = 0.0
                    for inside, colour in shapes:
                        if inside(x, y):
                            c = colour(x, y) if callable(colour) else colour
                            r, g, b, a = c[0], c[1], c[2], 1.0
                    acc = [acc[0] + r * a, acc[1] + g * a, acc[2] + b * a, acc[3] + a]
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0:
                colour = [acc[i] / acc[3] for i in range(3)]
            else:
                colour = [0, 0, 0]
            row.append(tuple(int(round(v * 255)) for v in colour) + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def write_pam(path, rows):
    size = len(rows)
    with open(path, "wb") as f:
        f.write(("P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (size, size)).encode())
        for row in rows:
            f.write(bytes(v for pixel in row for v in pixel))


def make_icon(name, shapes, sizes):
    with tempfile.TemporaryDirectory() as tmp:
        pngs = []
        for size in sizes:
            pam = os.path.join(tmp, "%d.pam" % size)
            write_pam(pam, render(shapes, size))
            png = os.path.join(tmp, "%d.png" % size)
            subprocess.check_call(["convert", pam, png])
            pngs.append(png)
        subprocess.check_call(["convert"] + pngs + [os.path.join(OUT, name)])


def main():
    os.makedirs(OUT, exist_ok=True)
    make_icon("veltrane.ico", APP, [16, 20, 24, 32, 40, 48, 64, 256])
    for name, shapes in [("tray_menu.ico", APP), ("tray_show.ico", SHOW), ("tray_scan.ico", SCAN),
                         ("tray_programs.ico", PROGRAMS), ("tray_exit.ico", EXIT)]:
        make_icon(name, shapes, [16])
    return 0


if __name__ == "__main__":
    sys.exit(main())
