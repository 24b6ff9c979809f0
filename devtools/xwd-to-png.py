#!/usr/bin/env python3
"""Converts the XWD screen file that Xvfb keeps with -fbdir (24-bit colour in 32-bit
pixels) to a PNG, cut to the part of the screen that is not the black background.

    xwd-to-png.py SCREEN.xwd OUTPUT.png
"""
import os
import struct
import sys
import zlib


def read_screen(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    depth, width, height = fields[3], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if version != 7 or depth != 24 or bits_per_pixel != 32:
        sys.exit("expected a 24-bit XWD screen in 32-bit pixels")
    start = header_size + 12 * ncolors
    if len(data) < start + bytes_per_line * height:
        sys.exit("the screen file is cut short")
    rows = []
    for y in range(height):
        row = data[start + y * bytes_per_line:start + y * bytes_per_line + 4 * width]
        rgb = bytearray(3 * width)
        # LSBFirst: B, G, R, unused; MSBFirst: unused, R, G, B.
        if byte_order == 0:
            rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
        else:
            rgb[0::3], rgb[1::3], rgb[2::3] = row[1::4], row[2::4], row[3::4]
        rows.append(bytes(rgb))
    return width, rows


def crop_to_content(width, rows):
    lit = [y for y, row in enumerate(rows) if row.strip(b"\0")]
    if not lit:
        sys.exit("the screen is empty")
    top, bottom = lit[0], lit[-1] + 1
    left, right = width, 0
    for row in rows[top:bottom]:
        stripped = row.lstrip(b"\0")
        left = min(left, (len(row) - len(stripped)) // 3)
        right = max(right, (len(row.rstrip(b"\0")) + 2) // 3)
    return [row[3 * left:3 * right] for row in rows[top:bottom]], right - left


def write_png(path, width, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path + ".tmp", "wb") as f:
        f.write(png)
    os.replace(path + ".tmp", path)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    width, rows = read_screen(sys.argv[1])
    rows, width = crop_to_content(width, rows)
    write_png(sys.argv[2], width, rows)


if __name__ == "__main__":
    main()
