#!/usr/bin/env python3
"""Expected rectangle edges of a render, computed apart from the effect's code.

Python's float is a 64-bit IEEE real with correctly rounded + - * /, so each
formula below, evaluated operation by operation in the order written, gives
the edge to the last bit. Prints one C++ table row per case, each edge as a
hexadecimal float literal followed by the columns and rows inside (mode 1
keeps both edges, mode 2 keeps left and top only), and checks that every
regrouping of the formulas listed in FAULTS changes at least one edge of the
table (so the table tells the right order from each of them), among them
the centre multiplied by the factor's reciprocal instead of divided by the
factor.

  tests/protocol/render_edges.py   # prints rows of kWorked in render_test.cpp
"""

import math

FIXED_ONE = 65536.0

# (what, W, H, (num x, den x), (num y, den y), mode, Left, Right, Top,
#  Bottom, Width, Height, centre x, centre y as 16.16 integers). Odd and even
# layer sizes, fractional sliders, factors that round differently on x and
# y, and box centres within the downsampled image, so that pixels of every
# row are inside and outside. The last two rows divide a centre by 5/3,
# whose reciprocal 0.6 is inexact, where the difference reaches an edge.
CASES = [
    ("margins, 1/3 by 2/3", 641, 479, (1, 3), (2, 3), 1,
     32.7, 15.8, 64.8, 8.1, 0, 0, 0, 0),
    ("box, 1/3 by 2/3", 641, 479, (1, 3), (2, 3), 2,
     0, 0, 0, 0, 61.2, 192.7, 8937472, 5152768),
    ("margins, 1/7 by 5/3", 640, 480, (1, 7), (5, 3), 1,
     87.3, 38.5, 17.4, 38.4, 0, 0, 0, 0),
    ("box, 1/7 by 5/3", 640, 480, (1, 7), (5, 3), 2,
     0, 0, 0, 0, 50.7, 214.8, 2363392, 26165248),
    ("margins, 2/3 by 1/7", 639, 481, (2, 3), (1, 7), 1,
     71.2, 91.7, 10.7, 56.4, 0, 0, 0, 0),
    ("box, 2/3 by 1/7", 639, 481, (2, 3), (1, 7), 2,
     0, 0, 0, 0, 27.8, 237.8, 6062080, 3514368),
    ("margins, 5/3 by 1/3", 333, 200, (5, 3), (1, 3), 1,
     58.1, 57.4, 54.4, 58.7, 0, 0, 0, 0),
    ("box, 5/3 by 1/3", 333, 200, (5, 3), (1, 3), 2,
     0, 0, 0, 0, 174.0, 232.4, 9338880, 3481600),
    ("box, 1/7 by 5/3, centre y 187", 640, 480, (1, 7), (5, 3), 2,
     0, 0, 0, 0, 50.7, 214.8, 2363392, 12255232),
    ("box, 5/3 by 1/7, centre x 187", 480, 640, (5, 3), (1, 7), 2,
     0, 0, 0, 0, 214.8, 50.7, 12255232, 2363392),
]


def factor(num, den):
    return float(num) / float(den)


def edges(case, fault=None):
    (_, W, H, fx, fy, mode, left_m, right_m, top_m, bottom_m, width, height,
     cxv, cyv) = case
    sx, sy = factor(*fx), factor(*fy)
    w, h = float(W), float(H)
    if mode == 1:
        left = left_m * sx
        right = (w - right_m) * sx
        top = top_m * sy
        bottom = (h - bottom_m) * sy
        if fault == "distribute right":
            right = w * sx - right_m * sx
        if fault == "distribute bottom":
            bottom = h * sy - bottom_m * sy
        return left, right, top, bottom
    if fault == "reciprocal x":
        cx = (float(cxv) / FIXED_ONE) * (1.0 / sx)
    else:
        cx = (float(cxv) / FIXED_ONE) / sx
    if fault == "reciprocal y":
        cy = (float(cyv) / FIXED_ONE) * (1.0 / sy)
    else:
        cy = (float(cyv) / FIXED_ONE) / sy
    # Integer halves, truncated toward zero (the sizes here are positive).
    hw, hh = float(W // 2), float(H // 2)
    if fault == "group left":
        left = ((w - width) / 2.0 + (cx - hw)) * sx
    else:
        left = ((w - width) / 2.0) * sx + (cx - hw) * sx
    if fault == "reassociate right":
        right = w * sx - (left - ((cx - hw) * 2.0) * sx)
    elif fault == "sum right first":
        right = (w * sx + ((cx - hw) * 2.0) * sx) - left
    else:
        right = (w * sx - left) + ((cx - hw) * 2.0) * sx
    if fault == "group top":
        top = ((h - height) / 2.0 + (cy - hh)) * sy
    else:
        top = ((h - height) / 2.0) * sy + (cy - hh) * sy
    if fault == "reassociate bottom":
        bottom = h * sy - (top - ((cy - hh) * 2.0) * sy)
    elif fault == "sum bottom first":
        bottom = (h * sy + ((cy - hh) * 2.0) * sy) - top
    else:
        bottom = (h * sy - top) + ((cy - hh) * 2.0) * sy
    return left, right, top, bottom


def inside(mode, left, right, top, bottom):
    """First and last column, first and last row inside the rectangle."""
    last = math.floor if mode == 1 else lambda edge: math.ceil(edge) - 1
    return math.ceil(left), last(right), math.ceil(top), last(bottom)


FAULTS = ["distribute right", "distribute bottom", "group left",
          "reassociate right", "sum right first", "group top",
          "reassociate bottom", "sum bottom first", "reciprocal x",
          "reciprocal y"]


def main():
    for fault in FAULTS:
        differs = [c[0] for c in CASES if edges(c, fault) != edges(c)]
        assert differs, "no row tells '%s' from the right order" % fault
    for case in CASES:
        l, r, t, b = edges(case)
        print('    {"%s", {%d, %d}, {%d, %d}, {%d, %d},' %
              (case[0], case[1], case[2], *case[3], *case[4]))
        mode, *sliders, cxv, cyv = case[5:14]
        print('     {%d, %s, %r, %r},' % (mode, ", ".join(repr(float(v)) for v in sliders), cxv / FIXED_ONE, cyv / FIXED_ONE))
        print('     {%s, %s, %s, %s},' % (l.hex(), r.hex(), t.hex(), b.hex()))
        print('     {%d, %d, %d, %d}},' % inside(case[5], l, r, t, b))


if __name__ == "__main__":
    main()
