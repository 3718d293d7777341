#!/usr/bin/env python3
"""Draws the 16 skin images of the editor's toolkit and writes them as TGA files.

Usage: tools/make_skin.py [OUTPUT_DIR] [--preview PNG]
OUTPUT_DIR defaults to skin/ beside this folder. --preview also writes a magnified sheet of every
glyph and skin image, for looking at the result. The output is the same on every run.

Every file is 24-bit uncompressed true-colour TGA stored bottom row first; the purple 128, 0, 128
is the transparent colour. The font is 1024 x 8: 110 cells of 8 x 8, cell g holding character
g + 32, cells 96..101 holding A-ring, A-umlaut, O-umlaut, a-ring, a-umlaut, o-umlaut. Ink is any
pixel whose green is not 0; the glyph's width is measured from its inked columns.
"""
import os
import struct
import sys
import zlib

PURPLE = (128, 0, 128)

# Glyphs drawn top row first, eight rows: row 0 holds the marks over capitals, capitals and
# digits stand on rows 1..6, lowercase letters on rows 3..6, descenders reach row 7. '#' is ink.
# Glyphs sit at column 0 of their cell; blank leading columns in a drawing are kept.
GLYPHS = {
    ' ': [],
    '!': ['', '#', '#', '#', '#', '', '#'],
    '"': ['', '#.#', '#.#'],
    '#': ['', '.#.#.', '#####', '.#.#.', '#####', '.#.#.'],
    '$': ['..#..', '.####', '#.#..', '.###.', '..#.#', '####.', '..#..'],
    '%': ['', '##..#', '##.#.', '..#..', '.#.##', '#..##'],
    '&': ['', '.#...', '#.#..', '.#...', '#.#.#', '#..#.', '.##.#'],
    "'": ['', '#', '#'],
    '(': ['', '.#', '#.', '#.', '#.', '#.', '.#'],
    ')': ['', '#.', '.#', '.#', '.#', '.#', '#.'],
    '*': ['', '..#..', '#.#.#', '.###.', '#.#.#', '..#..'],
    '+': ['', '', '..#..', '..#..', '#####', '..#..', '..#..'],
    ',': ['', '', '', '', '', '', '.#', '#.'],
    '-': ['', '', '', '', '###'],
    '.': ['', '', '', '', '', '', '#'],
    '/': ['', '..#', '..#', '.#.', '.#.', '#..', '#..'],
    '0': ['', '.##.', '#..#', '#..#', '#..#', '#..#', '.##.'],
    '1': ['', '..#.', '.##.', '..#.', '..#.', '..#.', '.###'],
    '2': ['', '.##.', '#..#', '...#', '..#.', '.#..', '####'],
    '3': ['', '###.', '...#', '.##.', '...#', '...#', '###.'],
    '4': ['', '..##', '.#.#', '#..#', '####', '...#', '...#'],
    '5': ['', '####', '#...', '###.', '...#', '...#', '###.'],
    '6': ['', '.##.', '#...', '###.', '#..#', '#..#', '.##.'],
    '7': ['', '####', '...#', '..#.', '..#.', '.#..', '.#..'],
    '8': ['', '.##.', '#..#', '.##.', '#..#', '#..#', '.##.'],
    '9': ['', '.##.', '#..#', '#..#', '.###', '...#', '.##.'],
    ':': ['', '', '', '#', '', '', '#'],
    ';': ['', '', '', '.#', '', '', '.#', '#.'],
    '<': ['', '', '..#', '.#.', '#..', '.#.', '..#'],
    '=': ['', '', '', '####', '', '####'],
    '>': ['', '', '#..', '.#.', '..#', '.#.', '#..'],
    '?': ['', '.##.', '#..#', '..#.', '.#..', '', '.#..'],
    '@': ['', '.###.', '#...#', '#.###', '#.#.#', '#.###', '#....', '.###.'],
    'A': ['', '.##.', '#..#', '#..#', '####', '#..#', '#..#'],
    'B': ['', '###.', '#..#', '###.', '#..#', '#..#', '###.'],
    'C': ['', '.###', '#...', '#...', '#...', '#...', '.###'],
    'D': ['', '###.', '#..#', '#..#', '#..#', '#..#', '###.'],
    'E': ['', '####', '#...', '###.', '#...', '#...', '####'],
    'F': ['', '####', '#...', '###.', '#...', '#...', '#...'],
    'G': ['', '.###', '#...', '#...', '#.##', '#..#', '.###'],
    'H': ['', '#..#', '#..#', '####', '#..#', '#..#', '#..#'],
    'I': ['', '###', '.#.', '.#.', '.#.', '.#.', '###'],
    'J': ['', '...#', '...#', '...#', '...#', '#..#', '.##.'],
    'K': ['', '#..#', '#.#.', '##..', '#.#.', '#..#', '#..#'],
    'L': ['', '#...', '#...', '#...', '#...', '#...', '####'],
    'M': ['', '#...#', '##.##', '#.#.#', '#...#', '#...#', '#...#'],
    'N': ['', '#...#', '##..#', '#.#.#', '#..##', '#...#', '#...#'],
    'O': ['', '.###.', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'P': ['', '###.', '#..#', '#..#', '###.', '#...', '#...'],
    'Q': ['', '.###.', '#...#', '#...#', '#...#', '#..#.', '.##.#'],
    'R': ['', '###.', '#..#', '#..#', '###.', '#.#.', '#..#'],
    'S': ['', '.###', '#...', '.##.', '...#', '...#', '###.'],
    'T': ['', '#####', '..#..', '..#..', '..#..', '..#..', '..#..'],
    'U': ['', '#..#', '#..#', '#..#', '#..#', '#..#', '.##.'],
    'V': ['', '#...#', '#...#', '#...#', '.#.#.', '.#.#.', '..#..'],
    'W': ['', '#...#', '#...#', '#...#', '#.#.#', '##.##', '#...#'],
    'X': ['', '#..#', '#..#', '.##.', '.##.', '#..#', '#..#'],
    'Y': ['', '#...#', '#...#', '.#.#.', '..#..', '..#..', '..#..'],
    'Z': ['', '####', '...#', '..#.', '.#..', '#...', '####'],
    '[': ['', '##', '#.', '#.', '#.', '#.', '##'],
    '\\': ['', '#..', '#..', '.#.', '.#.', '..#', '..#'],
    ']': ['', '##', '.#', '.#', '.#', '.#', '##'],
    '^': ['', '.#.', '#.#'],
    '_': ['', '', '', '', '', '', '', '####'],
    '`': ['', '#.', '.#'],
    'a': ['', '', '', '.###', '#..#', '#..#', '.###'],
    'b': ['', '#...', '#...', '###.', '#..#', '#..#', '###.'],
    'c': ['', '', '', '.##', '#..', '#..', '.##'],
    'd': ['', '...#', '...#', '.###', '#..#', '#..#', '.###'],
    'e': ['', '', '', '.##.', '####', '#...', '.##.'],
    'f': ['', '.##', '#..', '###', '#..', '#..', '#..'],
    'g': ['', '', '', '.###', '#..#', '.###', '...#', '###.'],
    'h': ['', '#...', '#...', '###.', '#..#', '#..#', '#..#'],
    'i': ['', '#', '', '#', '#', '#', '#'],
    'j': ['', '.#', '', '.#', '.#', '.#', '.#', '#.'],
    'k': ['', '#..', '#..', '#.#', '##.', '#.#', '#.#'],
    'l': ['', '#.', '#.', '#.', '#.', '#.', '.#'],
    'm': ['', '', '', '##.#.', '#.#.#', '#.#.#', '#.#.#'],
    'n': ['', '', '', '###.', '#..#', '#..#', '#..#'],
    'o': ['', '', '', '.##.', '#..#', '#..#', '.##.'],
    'p': ['', '', '', '###.', '#..#', '###.', '#...', '#...'],
    'q': ['', '', '', '.###', '#..#', '.###', '...#', '...#'],
    'r': ['', '', '', '#.##', '##..', '#...', '#...'],
    's': ['', '', '', '.###', '##..', '..##', '###.'],
    't': ['', '.#.', '.#.', '###', '.#.', '.#.', '..#'],
    'u': ['', '', '', '#..#', '#..#', '#..#', '.###'],
    'v': ['', '', '', '#.#', '#.#', '#.#', '.#.'],
    'w': ['', '', '', '#...#', '#.#.#', '#.#.#', '.#.#.'],
    'x': ['', '', '', '#..#', '.##.', '.##.', '#..#'],
    'y': ['', '', '', '#..#', '#..#', '.###', '...#', '###.'],
    'z': ['', '', '', '####', '..#.', '.#..', '####'],
    '{': ['', '.##', '.#.', '#..', '.#.', '.#.', '.##'],
    '|': ['', '#', '#', '#', '#', '#', '#', '#'],
    '}': ['', '##.', '.#.', '..#', '.#.', '.#.', '##.'],
    '~': ['', '', '', '.#.#', '#.#.'],
    # Cells 96..101.
    'Å': ['..#..', '.#.#.', '..#..', '.#.#.', '#...#', '#####', '#...#'],
    'Ä': ['#..#', '', '.##.', '#..#', '####', '#..#', '#..#'],
    'Ö': ['.#.#.', '', '.###.', '#...#', '#...#', '#...#', '.###.'],
    'å': ['..#.', '.#.#', '..#.', '.###', '#..#', '#..#', '.###'],
    'ä': ['', '#..#', '', '.###', '#..#', '#..#', '.###'],
    'ö': ['', '#..#', '', '.##.', '#..#', '#..#', '.##.'],
}

CELL_COUNT = 110
EXTRA_LETTERS = 'ÅÄÖåäö'  # cells 96..101


def cell_character(cell):
    if cell < 95:
        return chr(cell + 32)
    if 96 <= cell <= 101:
        return EXTRA_LETTERS[cell - 96]
    return None  # cell 95 (code 127) and cells 102..109 stay empty


class Image:
    """Pixels top row first; None is the transparent purple."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[None] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rgb(self, x, y):
        colour = self.pixels[y][x]
        return PURPLE if colour is None else colour


def write_tga(path, image):
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0,
                         image.width, image.height, 24, 0)
    body = bytearray()
    for y in range(image.height - 1, -1, -1):  # bottom row first
        for x in range(image.width):
            r, g, b = image.rgb(x, y)
            body += bytes((b, g, r))
    with open(path, 'wb') as f:
        f.write(header + bytes(body))


def draw_font():
    ink = (255, 255, 255)
    image = Image(1024, 8)
    for cell in range(CELL_COUNT):
        ch = cell_character(cell)
        if ch is None:
            continue
        rows = GLYPHS[ch]
        assert len(rows) <= 8, ch
        for y, row in enumerate(rows):
            assert len(row) <= 8, ch
            for x, mark in enumerate(row):
                if mark == '#':
                    image.set(cell * 8 + x, y, ink)
    return image


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def draw_title_bar(top, bottom, highlight):
    image = Image(512, 12)
    for y in range(12):
        colour = lerp(top, bottom, y / 11.0)
        for x in range(512):
            image.set(x, y, colour)
    for x in range(512):
        image.set(x, 0, highlight)
    return image


def draw_from_art(art, palette):
    image = Image(len(art[0]), len(art))
    for y, row in enumerate(art):
        for x, mark in enumerate(row):
            if mark != '.':
                image.set(x, y, palette[mark])
    return image


def transpose(art):
    return [''.join(row[x] for row in art) for x in range(len(art[0]))]


BAR = {'k': (0, 0, 0), 'g': (128, 128, 128)}
THUMB = {'k': (20, 20, 20), 'h': (250, 248, 240), 'f': (214, 206, 192),
         's': (150, 142, 130), 'd': (110, 102, 92)}

BAR_START = [  # left end of a horizontal bar: a rounded cap of the groove
    '..kkkkkk',
    '.kgggggg',
    'kggggggg',
    'kggggggg',
    'kggggggg',
    'kggggggg',
    '.kgggggg',
    '..kkkkkk',
]
THUMB_H = [
    '.kkkkkkkkkkkkkk.',
    'khhhhhhhhhhhhhhk',
    'khffffffffffffsk',
    'khfffffdhdhffffk',
    'khfffffdhdhffffk',
    'khffffffffffffsk',
    'kssssssssssssssk',
    '.kkkkkkkkkkkkkk.',
]


def mirror(art):
    return [row[::-1] for row in art]


def draw_corner():
    art = [
        'kkkkkkkk',
        'kggggggk',
        'kggggggk',
        'kggkkggk',
        'kggkkggk',
        'kggggggk',
        'kggggggk',
        'kkkkkkkk',
    ]
    return draw_from_art(art, BAR)


def draw_button(pressed):
    light, dark = ((250, 248, 240), (120, 112, 100))
    face = (214, 206, 192) if not pressed else (190, 182, 168)
    if pressed:
        light, dark = dark, light
    image = Image(16, 16)
    for y in range(16):
        for x in range(16):
            if x in (0, 15) or y in (0, 15):
                colour = (0, 0, 0)
            elif x == 1 or y == 1:
                colour = light
            elif x == 14 or y == 14:
                colour = dark
            else:
                colour = face
            image.set(x, y, colour)
    for corner in ((0, 0), (15, 0), (0, 15), (15, 15)):
        image.set(corner[0], corner[1], None)
    return image


# Key markers: 16 x 16, drawn with their top-left corner 4 pixels left of a frame cell and just
# below it, so column 7 lies under the cell's middle column.
def draw_key(kind):
    fills = {'auto': (90, 140, 235), 'corner': (240, 150, 40), 'stationary': (70, 185, 90)}
    image = Image(16, 16)
    cx, cy = 7, 7
    for y in range(16):
        for x in range(16):
            dx, dy = x - cx, y - cy
            if kind == 'auto':
                d = abs(dx) + abs(dy)
                inside, edge = d <= 3, d == 4
            elif kind == 'corner':
                d = max(abs(dx), abs(dy))
                inside, edge = d <= 2, d == 3
            elif kind == 'stationary':
                r2 = dx * dx + dy * dy
                inside, edge = r2 <= 6, 6 < r2 <= 13
            else:  # selected: a ring that surrounds every other marker
                r2 = dx * dx + dy * dy
                inside, edge = False, False
                if 25 <= r2 <= 38:
                    image.set(x, y, (255, 255, 255))
                elif 38 < r2 <= 50:
                    image.set(x, y, (0, 0, 0))
                continue
            if inside:
                image.set(x, y, fills[kind])
            elif edge:
                image.set(x, y, (0, 0, 0))
    if kind != 'selected':
        image.set(cx - 1, cy - 1, (255, 255, 255))  # a glint, so the marker reads as raised
    return image


def skin_images():
    bar_start = draw_from_art(BAR_START, BAR)
    bar_end = draw_from_art(mirror(BAR_START), BAR)
    bar_top = draw_from_art(transpose(BAR_START), BAR)
    bar_bottom = draw_from_art(transpose(mirror(BAR_START)), BAR)
    return [
        ('font0.tga', draw_font()),
        ('titlebar.tga', draw_title_bar((78, 108, 170), (34, 52, 104), (140, 168, 220))),
        ('titlebar_inactive.tga', draw_title_bar((196, 192, 186), (150, 146, 140), (226, 224, 220))),
        ('button1_up.tga', draw_button(False)),
        ('button1_down.tga', draw_button(True)),
        ('slidebar_h1.tga', bar_start),
        ('slidebar_h2.tga', bar_end),
        ('slider1_h.tga', draw_from_art(THUMB_H, THUMB)),
        ('slidebar_v1.tga', bar_top),
        ('slidebar_v2.tga', bar_bottom),
        ('slider1_v.tga', draw_from_art(transpose(THUMB_H), THUMB)),
        ('icon_resize.tga', draw_corner()),
        ('key.tga', draw_key('auto')),
        ('key-c.tga', draw_key('corner')),
        ('key-s.tga', draw_key('stationary')),
        ('key-w.tga', draw_key('selected')),
    ]


def write_png(path, width, height, rows):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    raw = b''.join(b'\x00' + bytes(row) for row in rows)
    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(png)


def glyph_metrics(font, cell):
    """First inked column and ink width of a cell; an empty cell is 2 wide (the space)."""
    inked = [x for x in range(8) if any(font.pixels[y][cell * 8 + x] for y in range(8))]
    if not inked:
        return 0, 2
    return inked[0], inked[-1] - inked[0] + 1


def text_cells(text):
    cells = []
    for ch in text:
        cells.append(96 + EXTRA_LETTERS.index(ch) if ch in EXTRA_LETTERS else ord(ch) - 32)
    return cells


SAMPLE_TEXTS = [
    'The quick brown fox jumps over the lazy dog.',
    'THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG!',
    '0123456789 10 fps 24 fps (film) 1999 %s_frame%.4i',
    '!"#$%&\'()*+,-./:;<=>?@[\\]^_`{|}~',
    'Gamla Stan: Åsa, Älmhult, Örebro; får, väg, söt',
    'new object [INSERT]  attach to...  hide/show  export with motion blur',
    'gjpqy Illegible? l1I| 0O 5S 8B rn m vv w',
]


def write_preview(path, images):
    """Every glyph cell at 5x, sample lines set with the font's own spacing at 3x, then every
    skin image at 4x, on a light background."""
    font = images[0][1]
    scale, per_row = 5, 14
    cells = [c for c in range(CELL_COUNT) if cell_character(c) is not None]
    glyph_rows = (len(cells) + per_row - 1) // per_row
    cell_px = 10 * scale
    width = per_row * cell_px + 20
    text_top = glyph_rows * cell_px + 20
    skin_top = text_top + len(SAMPLE_TEXTS) * 11 * 3 + 20
    height = skin_top + 4 * (16 * 4 + 12) + 20
    canvas = [[(236, 232, 224)] * width for _ in range(height)]

    def plot(x, y, colour, size):
        for yy in range(y, y + size):
            for xx in range(x, x + size):
                if 0 <= xx < width and 0 <= yy < height:
                    canvas[yy][xx] = colour

    for i, cell in enumerate(cells):
        ox = 10 + (i % per_row) * cell_px
        oy = 10 + (i // per_row) * cell_px
        for y in range(8):
            for x in range(8):
                if font.pixels[y][cell * 8 + x]:
                    colour = (30, 30, 30)
                elif y == 7:
                    colour = (250, 222, 222)  # descender row
                else:
                    colour = (252, 252, 252)
                plot(ox + x * scale, oy + y * scale, colour, scale)

    for line, text in enumerate(SAMPLE_TEXTS):
        x, y = 10, text_top + line * 11 * 3
        for cell in text_cells(text):
            offset, ink_width = glyph_metrics(font, cell)
            for yy in range(8):
                for xx in range(ink_width):
                    if font.pixels[yy][cell * 8 + offset + xx]:
                        plot(x + xx * 3, y + yy * 3, (20, 20, 60), 3)
            x += (ink_width + 1) * 3

    x, y = 10, skin_top
    for name, image in images[1:]:
        w = min(image.width, 160)
        if x + w * 4 > width:
            x, y = 10, y + 16 * 4 + 12
        for yy in range(image.height):
            for xx in range(w):
                colour = image.pixels[yy][xx]
                plot(x + xx * 4, y + yy * 4, colour if colour is not None else (255, 0, 255), 4)
        x += w * 4 + 16
    rows = []
    for row in canvas:
        rows.append([c for pixel in row for c in pixel])
    write_png(path, width, height, rows)


def main(argv):
    out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'skin')
    preview = None
    args = list(argv)
    while args:
        arg = args.pop(0)
        if arg == '--preview':
            preview = args.pop(0)
        else:
            out_dir = arg
    os.makedirs(out_dir, exist_ok=True)
    images = skin_images()
    for name, image in images:
        write_tga(os.path.join(out_dir, name), image)
    if preview:
        write_preview(preview, images)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
