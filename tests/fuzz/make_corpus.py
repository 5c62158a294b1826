#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the fuzzers' seed corpora from the unit tests' files.

Every string literal of tests/unit/ppm_reader_test.cpp that holds a line break
becomes a PPM seed, and every literal of the README.txt cases in
tests/unit/startup_test.cpp a README seed (adjacent literals are joined, as
the compiler joins them). A few files the literals cannot spell (long lines,
images wide enough for the reader's block-wise sample scan, a 4x2 image from
the end-to-end tests) are added. Seeds are named by content hash, so running
the script again only adds files.

    tests/fuzz/make_corpus.py [corpus-dir]   (default: tests/fuzz/corpus)
"""
import hashlib
import pathlib
import random
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
UNIT = HERE.parent / "unit"

LITERALS = re.compile(r'(?:"(?:[^"\\\n]|\\.)*"\s*)+')
ONE = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "v": "\v", "f": "\f", "0": "\0",
           "\\": "\\", '"': '"', "'": "'"}


def decode(body):
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode()
            i += 1
        elif body[i + 1] == "x":
            m = re.match(r"[0-9a-fA-F]+", body[i + 2:])
            out.append(int(m.group(0), 16) & 0xFF)
            i += 2 + len(m.group(0))
        else:
            out += ESCAPES[body[i + 1]].encode()
            i += 2
    return bytes(out)


def literals(path):
    for group in LITERALS.finditer(path.read_text()):
        yield b"".join(decode(m.group(1)) for m in ONE.finditer(group.group(0)))


def ppm_seeds():
    for text in literals(UNIT / "ppm_reader_test.cpp"):
        if b"\n" in text:
            yield text
    comment = b"#" + b"c" * 254
    yield comment + b"\nP3\n" + comment + b"\n2 1\n" + comment + b"\n255\n255 0 0 0 0 255\n"
    yield b"P3\n2 1" + b" " * 300 + b"\n255\n255 0 0 0 0 255\n"
    rng = random.Random(5)
    for width, sep in ((67, b" "), (130, b"\n"), (33, b"  \t")):
        samples = sep.join(str(rng.randrange(256)).encode() for _ in range(width * 2 * 3))
        yield b"P3\n%d 2\n255\n" % width + samples + b"\n"
    yield b"P3\n# written by the end-to-end tests\n4 2\n255\n" + b"\n".join(
        b" ".join(b"%d %d 40" % (x, y) for x in range(4)) for y in range(2)) + b"\n"


def readme_seeds():
    for text in literals(UNIT / "startup_test.cpp"):
        if re.search(rb"\d", text) or text in (b"", b"width x height"):
            yield text
    yield b"1920 x 1080\r\n"


def write(directory, seeds):
    directory.mkdir(parents=True, exist_ok=True)
    count = 0
    for seed in seeds:
        name = hashlib.sha1(seed).hexdigest()[:16]
        (directory / name).write_bytes(seed)
        count += 1
    return count


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else HERE / "corpus"
    print("ppm:", write(root / "ppm", ppm_seeds()))
    print("readme:", write(root / "readme", readme_seeds()))


if __name__ == "__main__":
    main()
