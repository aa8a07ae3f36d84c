#!/usr/bin/env python3
"""Generates the demo's binary files, so the repository holds only text.

    make_demo_files.py game DIR   a Land Warrior folder: DIR/Dflw.pff, a PFF3 archive with
                                  36-byte records, a few thousand entries and some dead space
    make_demo_files.py mod DIR    the demo mod's models, pictures, sound and mission file,
                                  written beside its Control.ini (JPEG through cjpeg)

Everything is deterministic: the same bytes on every run.
"""
import math
import os
import struct
import subprocess
import sys

# --- the game folder -----------------------------------------------------------------

ENTRY_COUNT = 3000
RECORD_SIZE = 36
TIMESTAMP = 1_000_000_000  # the archive's own files are from 2001
KINDS = [("adob", ".pcx"), ("tree", ".3di"), ("rock", ".3di"), ("grnd", ".pcx"),
         ("snd_", ".wav"), ("hud_", ".tga"), ("mis_", ".bms"), ("veh_", ".3di")]


def entry_data(index):
    size = 64 + (index * 37) % 700
    seed = (index * 2654435761) & 0xFFFFFFFF
    return bytes((seed >> (8 * (i % 4)) ^ i) & 0xFF for i in range(size))


def name16(name):
    raw = name.encode("ascii")[:16]
    return raw + b"\0" * (16 - len(raw))


def make_game(folder):
    """Dflw.pff: header, the entries' data, then the directory. Every 500th record is dead
    space that an added file may reuse; one live entry (DC_TENT1.PCX) is one the demo mod
    replaces."""
    os.makedirs(folder, exist_ok=True)
    data = bytearray()
    records = []
    offset = 20
    for i in range(ENTRY_COUNT):
        prefix, ext = KINDS[i % len(KINDS)]
        name = "%s%04d%s" % (prefix, i, ext)
        dead = 0
        if i == 1234:
            name = "DC_TENT1.PCX"
        elif i % 500 == 499:
            name, dead = "<DEAD SPACE>", 1
        body = entry_data(i)
        records.append(struct.pack("<iiii", dead, offset, len(body), TIMESTAMP + i) +
                       name16(name) + struct.pack("<I", sum(body) & 0xFFFFFFFF))
        data += body
        offset += len(body)
    header = struct.pack("<i4siii", 20, b"PFF3", len(records), RECORD_SIZE, offset)
    with open(os.path.join(folder, "Dflw.pff"), "wb") as f:
        f.write(header + bytes(data) + b"".join(records))


# --- the mod's files -------------------------------------------------------------------

def pcx(width, height, pixel):
    """An 8-bit run-length encoded PCX with a palette of 256 colours."""
    header = struct.pack("<BBBBhhhhhh", 10, 5, 1, 8, 0, 0, width - 1, height - 1, 72, 72)
    header += b"\0" * 48 + struct.pack("<BBhh", 0, 1, width, 1) + b"\0" * 58
    body = bytearray()
    for y in range(height):
        row = [pixel(x, y) for x in range(width)]
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 63 and row[x + run] == row[x]:
                run += 1
            if run > 1 or row[x] >= 0xC0:
                body += bytes([0xC0 | run, row[x]])
            else:
                body.append(row[x])
            x += run
    palette = b"".join(bytes([i, int(i * 0.8), int(i * 0.5)]) for i in range(256))
    return header + bytes(body) + b"\x0c" + palette


def model(name, vertices):
    """A small model file: a tag, a vertex count and the vertices of a ring."""
    out = bytearray(b"3DI\x1a" + name16(name) + struct.pack("<i", vertices))
    for i in range(vertices):
        a = 2 * math.pi * i / vertices
        out += struct.pack("<fff", math.cos(a), math.sin(a), (i % 3) * 0.5)
    return bytes(out)


def wav(seconds=0.5, rate=11025):
    """A mono 8-bit PCM radio crackle: a tone with a pulse."""
    n = int(seconds * rate)
    samples = bytes(int(128 + 60 * math.sin(2 * math.pi * 440 * i / rate) *
                        (1 if (i // 800) % 2 else 0.3)) for i in range(n))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    return (b"RIFF" + struct.pack("<I", 36 + n) + b"WAVE" + b"fmt " + struct.pack("<I", 16) +
            fmt + b"data" + struct.pack("<I", n) + samples)


def dib(width, height, pixel, bits, rows_factor=1):
    """A bottom-up DIB: BITMAPINFOHEADER and pixel rows (24 or 32 bits)."""
    row_bytes = (width * bits // 8 + 3) & ~3
    info = struct.pack("<IiiHHIIiiII", 40, width, height * rows_factor, 1, bits, 0,
                       row_bytes * height, 2835, 2835, 0, 0)
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes([b, g, r] + ([255] if bits == 32 else []))
        rows += row + b"\0" * (row_bytes - len(row))
    return info + bytes(rows)


def skin_colour(x, y):
    return (150 + (x * 60) // 480 + (y % 16), 120 + (y * 40) // 120, 80 + (x % 24))


def icon_colour(x, y):
    inside = (x - 15.5) ** 2 + (y - 15.5) ** 2 < 15 ** 2
    return (200, 150, 60) if inside and (x + y) % 8 < 6 else (40, 90, 40)


def bmp(width, height, pixel):
    pixels = dib(width, height, pixel, 24)
    return b"BM" + struct.pack("<IHHI", 14 + len(pixels), 0, 0, 54) + pixels


def ico(size, pixel):
    """An icon file with one 32-bit image and an all-zero (opaque) mask."""
    image = dib(size, size, pixel, 32, rows_factor=2) + b"\0" * (((size + 31) // 32) * 4 * size)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def texture_ppm(width=256, height=256):
    """Dry sand with a creek bed: what cjpeg turns into the terrain texture."""
    out = bytearray(b"P6\n%d %d\n255\n" % (width, height))
    for y in range(height):
        creek = 128 + 40 * math.sin(y / 23.0)
        for x in range(width):
            grain = ((x * 7 + y * 13) % 17) * 2
            if abs(x - creek) < 14:
                out += bytes([90 + grain, 110 + grain, 120 + grain])
            else:
                out += bytes([190 + grain // 2, 160 + grain, 110 + grain])
    return bytes(out)


def write(folder, name, data):
    path = os.path.join(folder, *name.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_mod(folder):
    write(folder, "dc_tent1.3di", model("dc_tent1", 24))
    write(folder, "dc_crate2.3di", model("dc_crate2", 8))
    write(folder, "dc_tent1.pcx", pcx(64, 64, lambda x, y: 0xC4 if (x // 8 + y // 8) % 2 else 40))
    write(folder, "dc_crate2.pcx", pcx(32, 32, lambda x, y: (x * 8) & 0xFF))
    write(folder, "dc_radio.wav", wav())
    write(folder, "DryCreek.bms", b"BMS\x01" + name16("Dry Creek") + bytes(range(256)) * 4)
    write(folder, "Graphics/DryCreek.ico", ico(32, icon_colour))
    write(folder, "Skin.bmp", bmp(480, 120, skin_colour))
    jpeg = subprocess.run(["cjpeg", "-quality", "85"], input=texture_ppm(),
                          stdout=subprocess.PIPE, check=True).stdout
    write(folder, "drycreek_c.jpg", jpeg)


def main(argv):
    if len(argv) != 3 or argv[1] not in ("game", "mod"):
        sys.exit("usage: make_demo_files.py (game|mod) DIR")
    (make_game if argv[1] == "game" else make_mod)(argv[2])


if __name__ == "__main__":
    main(sys.argv)
