#!/usr/bin/env python3
"""Write the overlay's glyph table (demo/overlay_glyphs.inc) from the X11 misc-fixed 9x15 font.

Reads a PCF font file (gzip-compressed or not) and writes, for each of the characters 0..255
the font has, its glyph as glBitmap takes it: width and height of the bitmap, the origin
offsets (xorig = -left bearing, yorig = descent), the advance, and the rows bottom row
first, each row padded to a whole byte with the leftmost pixel in the most significant bit.

  tools/make_glyph_table.py [--font FILE] [--output FILE] [--check COMMITTED]

The font defaults to Debian's xfonts-base file for ISO 8859-1, whose character codes are the
overlay's; the output to demo/overlay_glyphs.inc. With --check, the table written is compared
with the committed one, and the run fails where they differ; where the font is not installed
it says so and checks nothing. It uses the standard library only.

What it does not do: read any table of the font but the table of contents, the properties,
the metrics, the bitmaps and the encodings; or any font with two-byte character codes.
"""

import argparse
import difflib
import gzip
import os
import struct
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
DEFAULT_FONT = "/usr/share/fonts/X11/misc/9x15-ISO8859-1.pcf.gz"
DEFAULT_OUTPUT = os.path.join(ROOT, "demo", "overlay_glyphs.inc")

FILE_MAGIC = b"\x01fcp"
PROPERTIES = 1 << 0
METRICS = 1 << 2
BITMAPS = 1 << 3
BDF_ENCODINGS = 1 << 5

# The low byte of a table's format word says how the table stores its data.
GLYPH_PAD_MASK = 3 << 0  # rows padded to 1 << (format & 3) bytes
BYTE_MASK = 1 << 2  # set: integers (and scan units) most significant byte first
BIT_MASK = 1 << 3  # set: the leftmost pixel in the most significant bit of a byte
SCAN_UNIT_MASK = 3 << 4  # bitmap bytes grouped in units of 1 << ((format >> 4) & 3)
COMPRESSED_METRICS = 0x100  # the high bytes: metrics of one byte each, offset by 0x80
FORMAT_MASK = 0xFFFFFF00

NO_GLYPH = 0xFFFF  # an encoding entry of a character the font does not have
CHARACTER_COUNT = 256
BYTES_A_LINE = 16  # of the bitmap bytes in the output, within its 100 columns


class FontError(Exception):
    pass


class Table:
    """One table of the file: its data and the byte order its format word gives."""

    def __init__(self, data, offset, size, toc_format):
        if offset + 4 > len(data):
            raise FontError("a table lies outside the file")
        self.data = data
        self.start = offset
        # The size recorded may run past the end of the file for the last table (the
        # accelerators of fonts made by bdftopcf): reads stop at the end of the file.
        self.end = min(offset + size, len(data))
        # Each table repeats its format word first, least significant byte first.
        (self.format,) = struct.unpack_from("<I", data, offset)
        if self.format != toc_format:
            raise FontError("a table's format word differs from its table of contents entry")
        self.order = ">" if self.format & BYTE_MASK else "<"

    def read(self, kind, at):
        position = self.start + at
        if position + struct.calcsize(kind) > self.end:
            raise FontError("a table ends early")
        return struct.unpack_from(self.order + kind, self.data, position)


def read_tables(data):
    if data[:4] != FILE_MAGIC:
        raise FontError("not a PCF font (no 1fcp at its start)")
    (count,) = struct.unpack_from("<I", data, 4)
    tables = {}
    for k in range(count):
        kind, toc_format, size, offset = struct.unpack_from("<4I", data, 8 + 16 * k)
        tables[kind] = Table(data, offset, size, toc_format)
    for kind, name in ((METRICS, "metrics"), (BITMAPS, "bitmaps"), (BDF_ENCODINGS, "encodings")):
        if kind not in tables:
            raise FontError("the font has no " + name + " table")
    return tables


def read_properties(table):
    """The font's properties, names to values (strings or integers)."""
    (count,) = table.read("i", 4)
    entries = [table.read("iBi", 8 + 9 * k) for k in range(count)]
    # The property entries are padded to a multiple of four bytes before the strings' size.
    strings_at = 8 + 9 * count + (4 - (count & 3)) % 4
    (strings_size,) = table.read("i", strings_at)
    strings = table.data[table.start + strings_at + 4 : table.start + strings_at + 4 + strings_size]

    def string(at):
        return strings[at : strings.index(b"\0", at)].decode("latin-1")

    return {
        string(name): string(value) if is_string else value for name, is_string, value in entries
    }


def read_metrics(table):
    """Per glyph: (left bearing, right bearing, advance, ascent, descent)."""
    if table.format & FORMAT_MASK == COMPRESSED_METRICS:
        (count,) = table.read("h", 4)
        return [tuple(b - 0x80 for b in table.read("5B", 6 + 5 * k)) for k in range(count)]
    (count,) = table.read("i", 4)
    return [table.read("5h", 8 + 12 * k) for k in range(count)]


def read_bitmaps(table, metrics):
    """Per glyph: its rows top row first, each (width + 7) // 8 bytes, leftmost pixel in the
    most significant bit."""
    (count,) = table.read("i", 4)
    if count != len(metrics):
        raise FontError("the bitmaps and metrics tables count different glyphs")
    offsets = [table.read("i", 8 + 4 * k)[0] for k in range(count)]
    pad = 1 << (table.format & GLYPH_PAD_MASK)
    unit = 1 << ((table.format & SCAN_UNIT_MASK) >> 4)
    sizes_at = 8 + 4 * count
    (bits_size,) = table.read("i", sizes_at + 4 * (table.format & GLYPH_PAD_MASK))
    bits_at = table.start + sizes_at + 16
    if bits_at + bits_size > table.end:
        raise FontError("the bitmaps table ends early")
    bits = table.data[bits_at : bits_at + bits_size]
    # Bytes within a scan unit follow the byte order; when it is not the bit order, the bytes
    # of each unit are reversed to put the leftmost pixels first.
    msb_byte = bool(table.format & BYTE_MASK)
    msb_bit = bool(table.format & BIT_MASK)
    glyphs = []
    for (left, right, _advance, ascent, descent), offset in zip(metrics, offsets):
        width = right - left
        height = ascent + descent
        stored = (width + 8 * pad - 1) // (8 * pad) * pad
        wanted = (width + 7) // 8
        rows = []
        for row in range(height):
            start = offset + row * stored
            if start + stored > len(bits):
                raise FontError("a glyph's bitmap lies outside the bitmaps table")
            data = bytearray(bits[start : start + stored])
            if msb_byte != msb_bit and unit > 1:
                for at in range(0, stored, unit):
                    data[at : at + unit] = data[at : at + unit][::-1]
            if not msb_bit:
                data = bytearray(int(f"{b:08b}"[::-1], 2) for b in data)
            data = data[:wanted]
            # Bits right of the glyph's width are not the glyph's.
            if width % 8:
                data[-1] &= 0xFF << (8 - width % 8) & 0xFF
            rows.append(bytes(data))
        glyphs.append(rows)
    return glyphs


def read_encodings(table):
    """Character code (0..255) to glyph index, for the codes the font has."""
    min_code, max_code, min_byte1, max_byte1, _default = table.read("5h", 4)
    if min_byte1 != 0 or max_byte1 != 0:
        raise FontError("the font has two-byte character codes")
    found = {}
    for code in range(max(min_code, 0), min(max_code, CHARACTER_COUNT - 1) + 1):
        (index,) = table.read("H", 14 + 2 * (code - min_code))
        if index != NO_GLYPH:
            found[code] = index
    return found


def read_font(data):
    tables = read_tables(data)
    properties = read_properties(tables[PROPERTIES]) if PROPERTIES in tables else {}
    metrics = read_metrics(tables[METRICS])
    bitmaps = read_bitmaps(tables[BITMAPS], metrics)
    glyphs = []
    for code, index in sorted(read_encodings(tables[BDF_ENCODINGS]).items()):
        if index >= len(metrics):
            raise FontError(f"character {code} names a glyph the font does not have")
        left, right, advance, ascent, descent = metrics[index]
        glyphs.append(
            {
                "code": code,
                "width": right - left,
                "height": ascent + descent,
                "xorig": -left,
                "yorig": descent,
                "advance": advance,
                "rows": bitmaps[index][::-1],  # bottom row first, as glBitmap reads them
            }
        )
    return properties, glyphs


def comment_lines(text):
    return ["// " + line if line else "//" for line in text.splitlines()]


def character_name(code):
    if 0x20 < code < 0x7F and chr(code) != "\\":
        return f"'{chr(code)}'"
    return f"{code:#04x}"


def write_table(font_path, properties, glyphs):
    notice = []
    for name in ("FONT", "COPYRIGHT", "NOTICE"):
        if name in properties:
            notice.append(f"  {name}: {properties[name]}")
    if not notice:
        notice.append("  (the font file states no copyright or notice)")
    lines = [
        "// The overlay's 9x15 glyphs, one entry a character of ISO 8859-1 that the font has:",
        "// glBitmap's width, height, x and y origin and advance, and the rows bottom row first,",
        "// each padded to a whole byte with the leftmost pixel in the most significant bit.",
        "//",
        "// Generated by tools/make_glyph_table.py from " + font_path,
        "// (Debian's xfonts-base; the X11 misc-fixed font). Do not edit; regenerate with",
        "//   python3 tools/make_glyph_table.py",
        "//",
        "// The font file's own properties say:",
    ]
    lines += comment_lines("\n".join(notice))
    lines += [
        "//",
        "// Included by demo/bitmap_font.cpp alone, after the declaration of Glyph.",
        "",
        "// clang-format off",
        "constexpr unsigned char overlayGlyphBits[] = {",
    ]
    offset = 0
    entries = []
    for glyph in glyphs:
        bits = b"".join(glyph["rows"])
        name = character_name(glyph["code"])
        if bits:
            lines.append(f"    // {name} at {offset}")
            for at in range(0, len(bits), BYTES_A_LINE):
                lines.append("    " + " ".join(f"0x{b:02x}," for b in bits[at : at + BYTES_A_LINE]))
        entries.append(
            f"    {{{glyph['code']}, {glyph['width']}, {glyph['height']}, {glyph['xorig']}, "
            f"{glyph['yorig']}, {glyph['advance']}, overlayGlyphBits + {offset}}}, // {name}"
        )
        offset += len(bits)
    if offset == 0:
        raise FontError("the font has no ink in characters 0..255")
    lines += [
        "};",
        "",
        "// Sorted by character code.",
        "constexpr Glyph overlayGlyphs[] = {",
    ]
    lines += entries
    lines += ["};", "// clang-format on", ""]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--font", default=DEFAULT_FONT, help="the PCF font file (.pcf or .pcf.gz)")
    parser.add_argument("--output", default=DEFAULT_OUTPUT, help="the C++ table to write")
    parser.add_argument("--check", metavar="COMMITTED", help="the table to compare the output with")
    args = parser.parse_args()
    prog = os.path.basename(sys.argv[0])
    if args.check and not os.path.exists(args.font):
        print(f"{prog}: {args.font} is not installed (xfonts-base): the table is not checked")
        return
    try:
        with open(args.font, "rb") as f:
            data = f.read()
    except OSError as error:
        sys.exit(f"{prog}: cannot read {args.font}: {error.strerror}")
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    try:
        properties, glyphs = read_font(data)
        text = write_table(args.font, properties, glyphs)
    except (FontError, struct.error, ValueError, IndexError) as error:
        sys.exit(f"{prog}: {args.font}: {error}")
    # Written whole or not at all: a temporary file beside the output, then renamed.
    temporary = args.output + ".tmp"
    with open(temporary, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temporary, args.output)
    print(f"{prog}: {len(glyphs)} glyphs from {args.font} into {args.output}")
    if args.check:
        check(prog, args.check, args.output, text)


def check(prog, committed_path, output_path, text):
    try:
        with open(committed_path, encoding="utf-8") as f:
            committed = f.read()
    except OSError as error:
        sys.exit(f"{prog}: cannot read {committed_path}: {error.strerror}")
    if committed != text:
        diff = difflib.unified_diff(
            committed.splitlines(), text.splitlines(), committed_path, output_path, lineterm=""
        )
        print("\n".join(list(diff)[:40]))
        sys.exit(f"{prog}: {committed_path} is not what the font gives; regenerate it")
    print(f"{prog}: {committed_path} is what the font gives")


if __name__ == "__main__":
    main()
