#!/usr/bin/env python3
"""Whether two printed PDF files draw the same pages.

    bench/compare_pdf_pages.py BEFORE.pdf AFTER.pdf

Reads each page's content stream (inflated) and compares what it draws, not
how it is written:
- stroked paths: every segment is cut into lattice steps (a segment whose
  run and rise have greatest common divisor g into g equal pieces), mapped
  through the current matrix to page points and kept as an undirected set.
  Strokes of one colour and pen that follow each other form one group; the
  groups must come in the same order with the same pieces. With round caps
  and joins a stroke is the union of its pieces' strokes, so equal sets draw
  equal shapes however the segments were joined into polylines;
- everything else (text, fills, clips) line by line in order, each with the
  matrix, fill colour and state it is drawn in; saving and restoring the state and
  setting colours, pen and state are bookkeeping, compared only through what
  is drawn with them.
Prints one line a page and EQUIVALENT or DIFFERENT; exits 1 when different.
"""

import re
import sys
import zlib
from math import gcd


def page_streams(path):
    data = open(path, 'rb').read()
    out, end = [], 0
    for m in re.finditer(rb'>>\r?\nstream\r?\n', data):
        if m.start() < end:
            continue  # inside the stream just read
        d = zlib.decompressobj()
        try:
            text = d.decompress(data[m.end():])
        except zlib.error:
            continue  # not deflated: an image or the like
        end = len(data) - len(d.unused_data)
        text = text.decode('latin1')
        if text.startswith('/GSa gs'):  # the engine opens every page so
            out.append(text)
    return out


def multiply(m, n):
    a, b, c, d, e, f = n
    a2, b2, c2, d2, e2, f2 = m
    return (a2 * a + b2 * c, a2 * b + b2 * d, c2 * a + d2 * c, c2 * b + d2 * d,
            e2 * a + f2 * c + e, e2 * b + f2 * d + f)


def point(m, x, y):
    return (round((m[0] * x + m[2] * y + m[4]) * 100), round((m[1] * x + m[3] * y + m[5]) * 100))


def pieces_of(path, m):
    pieces, pos = set(), None
    for op, x, y in path:
        if op != 'm' and pos is not None and (x, y) != pos:
            dx, dy = x - pos[0], y - pos[1]
            whole = dx == int(dx) and dy == int(dy)
            g = gcd(int(abs(dx)), int(abs(dy))) if whole else 1
            for k in range(g):
                p = point(m, pos[0] + dx * k / g, pos[1] + dy * k / g)
                q = point(m, pos[0] + dx * (k + 1) / g, pos[1] + dy * (k + 1) / g)
                pieces.add((min(p, q), max(p, q)))
        pos = (x, y)
    return pieces


def analyse(text):
    other, groups, path = [], [], []
    m, stack, start = (1, 0, 0, 1, 0, 0), [], None
    colour = pen = None
    fill = {}  # fill colour and graphics state by operator
    stroked_last = False
    for line in text.split('\n'):
        t = line.split()
        if len(t) == 3 and t[2] in ('m', 'l'):
            x, y = float(t[0]), float(t[1])
            if t[2] == 'm':
                start = (x, y)
            path.append((t[2], x, y))
            continue
        if t == ['h'] and path:
            path.append(('h', start[0], start[1]))
            continue
        if t == ['S']:
            key = (colour, pen)
            pieces = pieces_of(path, m)
            if groups and groups[-1][0] == key and stroked_last:
                groups[-1][1].update(pieces)
            else:
                groups.append((key, pieces))
                other.append('<stroke>')
            stroked_last, path = True, []
            continue
        if path:  # a path that is not stroked: a clip or a fill
            for op, x, y in path:
                other.append((point(m, x, y), op, tuple(sorted(fill.items()))))
            path, stroked_last = [], False
        if t == ['q']:
            stack.append(m)
        elif t == ['Q']:
            m = stack.pop() if stack else m
        elif t and t[-1] == 'cm':
            m = multiply(tuple(map(float, t[:6])), m)
        elif t and t[-1] == 'SCN':
            colour = line
        elif t and t[-1] == 'd' and 'w' in t:
            pen = line
        elif t and t[-1] in ('scn', 'gs', 'cs', 'CS'):
            fill[t[-1]] = line
        elif line:
            other.append((line, point(m, 0, 0), point(m, 1, 1), tuple(sorted(fill.items()))))
            stroked_last = False
    return other, groups


def main():
    a, b = page_streams(sys.argv[1]), page_streams(sys.argv[2])
    same = len(a) == len(b)
    print('pages', len(a), len(b))
    for i, (sa, sb) in enumerate(zip(a, b)):
        oa, ga = analyse(sa)
        ob, gb = analyse(sb)
        other, strokes = oa == ob, ga == gb
        print('page', i + 1, 'stream bytes', len(sa), len(sb), 'other drawing equal', other,
              'stroke groups', len(ga), len(gb), 'pieces', sum(len(p) for _, p in ga),
              sum(len(p) for _, p in gb), 'strokes equal', strokes)
        same = same and other and strokes
    print('EQUIVALENT' if same else 'DIFFERENT')
    return 0 if same else 1


if __name__ == '__main__':
    sys.exit(main())
