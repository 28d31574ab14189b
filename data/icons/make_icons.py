#!/usr/bin/env python3
"""Writes the program's own command and folder icons as SVG files beside
this script: a rounded square in the command's colour, filled for commands
that protect or create and outlined for their reverses, with a letter or a
symbol. They stand in where the desktop's icon theme has no icon.

  data/icons/make_icons.py
"""

import math
import os

S = 48.0  # the drawing's size; SVG scales it to any other
CIPHER, ARCHIVE, FILE, DANGER, HELP = "#1b6e3a", "#a05a10", "#2f558c", "#b02020", "#2070b0"

# name: (colour, filled, symbol, letter)
ICONS = {
    "encrypt-trap": (CIPHER, True, "letter", "T"),
    "decrypt-trap": (CIPHER, False, "letter", "T"),
    "encrypt-orm": (CIPHER, True, "letter", "O"),
    "decrypt-orm": (CIPHER, False, "letter", "O"),
    "encrypt-blowfish": (CIPHER, True, "letter", "B"),
    "decrypt-blowfish": (CIPHER, False, "letter", "B"),
    "encrypt-rijndael": (CIPHER, True, "letter", "R"),
    "decrypt-rijndael": (CIPHER, False, "letter", "R"),
    "encrypt-random": (CIPHER, True, "letter", "?"),
    "decrypt-random": (CIPHER, False, "letter", "?"),
    "create-cab": (ARCHIVE, True, "down", "C"),
    "extract-cab": (ARCHIVE, False, "up", "C"),
    "create-lha": (ARCHIVE, True, "down", "L"),
    "extract-lha": (ARCHIVE, False, "up", "L"),
    "create-zip": (ARCHIVE, True, "down", "Z"),
    "extract-zip": (ARCHIVE, False, "up", "Z"),
    "create-bh": (ARCHIVE, True, "down", "B"),
    "extract-bh": (ARCHIVE, False, "up", "B"),
    "destroy": (DANGER, True, "cross", ""),
    "erase": (DANGER, False, "minus", ""),
    "trash": (FILE, False, "bin", ""),
    "copy": (FILE, False, "copy", ""),
    "rename": (FILE, False, "letter", "A"),
    "new-folder": (FILE, True, "plus", ""),
    "properties": (FILE, True, "letter", "i"),
    "open": (FILE, True, "up", ""),
    "help": (HELP, True, "letter", "?"),
    "about": (HELP, False, "letter", "i"),
    "web-site": (HELP, False, "letter", "@"),
    "quit": (DANGER, False, "power", ""),
}

ARROW = [(0.40, 0.18), (0.60, 0.18), (0.60, 0.50), (0.76, 0.50), (0.50, 0.80), (0.24, 0.50),
         (0.40, 0.50)]


def f(v):
    return f"{v * S:.2f}"


def letter(text, x, y, w, h, size, ink):
    text = {"&": "&amp;", "<": "&lt;"}.get(text, text)
    return (f'<text x="{f(x + w / 2)}" y="{f(y + h / 2 + size * 0.36)}" font-family="DejaVu Sans" '
            f'font-weight="bold" font-size="{f(size)}" text-anchor="middle" fill="{ink}">{text}</text>')


def arrow(down, narrow, ink, stroke):
    points = []
    for x, y in ARROW:
        if not down:
            y = 1 - y
        if narrow:
            x = 0.66 * x - 0.06
        points.append(f"{f(x)},{f(y)}")
    return f'<polygon points="{" ".join(points)}" fill="{ink}" {stroke}/>'


def icon(colour, filled, symbol, mark):
    pen = S / 12
    inset = (pen / 2 + S * 0.04) / S
    side = (S * 0.92 - pen) / S
    ink = "#ffffff" if filled else colour
    stroke = f'stroke="{ink}" stroke-width="{max(1.5, S / 9):.2f}" stroke-linecap="round" ' \
             f'stroke-linejoin="round"'
    parts = [f'<rect x="{f(inset)}" y="{f(inset)}" width="{f(side)}" height="{f(side)}" '
             f'rx="{f(0.18)}" fill="{colour if filled else "#ffffff"}" stroke="{colour}" '
             f'stroke-width="{pen:.2f}"/>']
    if symbol == "letter":
        parts.append(letter(mark, inset, inset, side, side, 0.62, ink))
    elif symbol in ("down", "up"):
        parts.append(arrow(symbol == "down", bool(mark), ink, stroke))
        if mark:
            parts.append(letter(mark, 0.46, 0.1, 0.42, 0.8, 0.5, ink))
    elif symbol == "cross":
        parts.append(f'<path d="M{f(.3)} {f(.3)}L{f(.7)} {f(.7)}M{f(.7)} {f(.3)}L{f(.3)} {f(.7)}" '
                     f'fill="none" {stroke}/>')
    elif symbol == "minus":
        parts.append(f'<path d="M{f(.28)} {f(.5)}H{f(.72)}" fill="none" {stroke}/>')
    elif symbol == "plus":
        parts.append(f'<path d="M{f(.28)} {f(.5)}H{f(.72)}M{f(.5)} {f(.28)}V{f(.72)}" '
                     f'fill="none" {stroke}/>')
    elif symbol == "bin":
        parts.append(f'<path d="M{f(.26)} {f(.3)}H{f(.74)}M{f(.42)} {f(.22)}H{f(.58)}'
                     f'M{f(.32)} {f(.36)}L{f(.36)} {f(.76)}H{f(.64)}L{f(.68)} {f(.36)}" '
                     f'fill="none" {stroke}/>')
    elif symbol == "copy":
        for x, y in ((0.24, 0.22), (0.42, 0.38)):
            parts.append(f'<rect x="{f(x)}" y="{f(y)}" width="{f(.34)}" height="{f(.4)}" '
                         f'fill="#ffffff" {stroke}/>')
    elif symbol == "power":
        cx, cy, r = 0.5, 0.53, 0.23
        start = (cx + r * math.cos(math.radians(120)), cy - r * math.sin(math.radians(120)))
        end = (cx + r * math.cos(math.radians(60)), cy - r * math.sin(math.radians(60)))
        parts.append(f'<path d="M{f(start[0])} {f(start[1])}A{f(r)} {f(r)} 0 1 0 '
                     f'{f(end[0])} {f(end[1])}M{f(.5)} {f(.2)}V{f(.5)}" fill="none" {stroke}/>')
    return parts


def folder(opened):
    edge = "#9a7a1c"
    parts = [f'<path d="M{f(.08)} {f(.25)}H{f(.38)}L{f(.46)} {f(.33)}H{f(.92)}V{f(.82)}H{f(.08)}Z" '
             f'fill="#f2c94c" stroke="{edge}" stroke-width="1"/>']
    if opened:
        parts.append(f'<polygon points="{f(.2)},{f(.45)} {f(.98)},{f(.45)} {f(.86)},{f(.82)} '
                     f'{f(.08)},{f(.82)}" fill="#fbe38e" stroke="{edge}" stroke-width="1"/>')
    return parts


def write(name, parts):
    body = "\n  ".join(parts)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), name + ".svg"), "w") as out:
        out.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" '
                  f'viewBox="0 0 48 48">\n  {body}\n</svg>\n')


def main():
    for name, (colour, filled, symbol, mark) in ICONS.items():
        write(name, icon(colour, filled, symbol, mark))
    write("folder", folder(False))
    write("folder-open", folder(True))


if __name__ == "__main__":
    main()
