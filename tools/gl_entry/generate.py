#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Generate the entry-point table's prototype list from gl_entry/names.txt.

Reads the name list and the Khronos registry (gl.xml, wgl.xml) and writes

  gl_entry/entry_points.inc     one GL_ENTRY_POINT(group, result, name,
                                (parameters), (arguments)) line per entry,
                                in list order, after a header recording the
                                SHA-256 of names.txt, of this generator and of
                                the registry files it was made from.

Nothing in it depends on the system's GL headers. With --pfn-types FILE it
writes instead one GL_ENTRY_PFN_TYPE(name, PFN...PROC) line per GL entry
whose PFN...PROC type <GL/gl.h> and <GL/glext.h> declare, so that a test can
check the slot types at compile time (the build makes it; it is not
committed). The headers are read as the C compiler of the build (--cc, with
--include first on its include path) preprocesses them, so the list is that
of the platform built for.

With --check it compares the committed file with its recorded sources. It
fails when names.txt or the generator changed since, or when the same
registry now gives a different file; a different registry (another
khronos-api release) only earns a note. A name the registry lacks is an
error, save the one entry point whose prototype is given here.
"""

import argparse
import bisect
import difflib
import hashlib
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DEFAULT_NAMES = os.path.join(ROOT, "gl_entry", "names.txt")
DEFAULT_OUTPUT_DIR = os.path.join(ROOT, "gl_entry")
DEFAULT_REGISTRY = "/usr/share/khronos-api"
DEFAULT_GL_INCLUDE = "/usr/include"
ENTRY_FILE = "entry_points.inc"
REGISTRY_FILES = ("gl.xml", "wgl.xml")
# The registry's licence (its files' opening comment names it); the table made from it keeps it.
REGISTRY_LICENSE = "Apache-2.0"
GENERATOR = os.path.abspath(__file__)
# The header lines that record the sources: "// source <label> sha256 <hex>".
SOURCE_LINE = re.compile(r"^// source (\S+) sha256 ([0-9a-f]{64})$", re.M)

# Entry points that the registry does not publish: name -> (result, [(type, name)]).
EXTRA_PROTOTYPES = {
    "glAddSwapHintRectWIN": (
        "void",
        [("GLint", "x"), ("GLint", "y"), ("GLsizei", "width"), ("GLsizei", "height")],
    ),
}


class GenerateError(Exception):
    pass


def read_names(path):
    """Returns [(group, name)] in list order."""
    entries = []
    seen = {}
    group = None
    with open(path, encoding="ascii") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            where = "%s:%d" % (path, number)
            if line.startswith("["):
                if not line.endswith("]") or len(line) < 3:
                    raise GenerateError("%s: malformed group line %r" % (where, line))
                group = line[1:-1]
                continue
            if not re.fullmatch(r"w?gl[A-Za-z0-9_]+", line):
                raise GenerateError("%s: %r is not an entry-point name" % (where, line))
            if group is None:
                raise GenerateError("%s: %s stands before any [group] line" % (where, line))
            if line in seen:
                raise GenerateError("%s: %s is listed twice (first at line %d)"
                                    % (where, line, seen[line]))
            seen[line] = number
            entries.append((group, line))
    if not entries:
        raise GenerateError("%s lists no entry points" % path)
    return entries


def squeeze(text):
    text = " ".join(text.split())
    text = re.sub(r"\s*\*\s*", " *", text)  # "void*" and "void *" alike
    return text.replace("* ", "*").strip()


def element_text(element, skip_name):
    parts = [element.text or ""]
    for child in element:
        if not (skip_name and child.tag == "name"):
            parts.append("".join(child.itertext()))
        parts.append(child.tail or "")
    return squeeze("".join(parts))


def read_registry(paths):
    """Returns {name: (result, [(type, name)])} for every command of the files."""
    commands = {}
    for path in paths:
        root = ET.parse(path).getroot()
        if "SPDX-License-Identifier: %s" % REGISTRY_LICENSE not in (root.findtext("comment") or ""):
            raise GenerateError("%s does not say it is under %s, the licence the table's header"
                                " names" % (path, REGISTRY_LICENSE))
        for block in root.findall("commands"):
            for command in block.findall("command"):
                proto = command.find("proto")
                name = proto.find("name").text
                result = element_text(proto, skip_name=True)
                params = []
                for param in command.findall("param"):
                    params.append((element_text(param, skip_name=True), param.find("name").text))
                commands.setdefault(name, (result, params))
    return commands


def declaration(ctype, name):
    return "%s%s%s" % (ctype, "" if ctype.endswith("*") else " ", name)


def entry_lines(entries, commands):
    lines = []
    missing = []
    for group, name in entries:
        proto = EXTRA_PROTOTYPES.get(name) or commands.get(name)
        if proto is None:
            missing.append(name)
            continue
        result, params = proto
        parameters = ", ".join(declaration(t, n) for t, n in params)
        arguments = ", ".join(n for _, n in params)
        lines.append('GL_ENTRY_POINT("%s", %s, %s, (%s), (%s))'
                     % (group, result, name, parameters, arguments))
    if missing:
        raise GenerateError("not in the registry: " + ", ".join(missing))
    return lines


# What a program that uses the table includes, in its order (gl_entry/entry_points.h).
PFN_PROBE = """\
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>
"""
# A line marker of the preprocessed output: '# 42 "/usr/include/GL/glext.h" 2'.
LINE_MARKER = re.compile(r'^#(?:line)?\s+\d+\s+"((?:[^"\\]|\\.)*)"')
# An APIENTRYP typedef as the compiler expanded it: "typedef void ( * PFNGLBLENDCOLORPROC) (",
# with "__attribute__((__stdcall__)) *" or the like where the platform's APIENTRY is not empty.
PFN_TYPEDEF = re.compile(r"\btypedef\b[^;{}]*\*\s*(PFN\w+PROC)\s*\)\s*\(")


def preprocess(compiler, include_dir):
    """Returns the probe above as the C compiler preprocesses it with include_dir first."""
    command = [compiler, "-E", "-I", include_dir, "-x", "c", "-"]
    try:
        done = subprocess.run(command, input=PFN_PROBE, capture_output=True, text=True,
                              errors="replace")
    except OSError as error:
        raise GenerateError("cannot run the C compiler %s: %s" % (compiler, error))
    if done.returncode != 0:
        raise GenerateError("%s failed (status %d) on a file that includes <GL/gl.h> and"
                            " <GL/glext.h>:\n%s" % (" ".join(command), done.returncode,
                                                    done.stderr.rstrip()))
    return done.stdout


def pfn_typedefs(preprocessed):
    """Returns {PFN name: "GL/glext.h"}: the PFN...PROC function-pointer typedefs of the
    preprocessed text, each with the last two parts of the header that declares it first."""
    text = []  # the lines of code, line markers left out
    starts = []  # (offset in the joined text, header) where each header's lines begin
    offset = 0
    for line in preprocessed.splitlines():
        marker = LINE_MARKER.match(line)
        if marker:
            header = "/".join(marker.group(1).split("/")[-2:])
            starts.append((offset, header))
            continue
        text.append(line)
        offset += len(line) + 1
    joined = "\n".join(text)
    offsets = [start for start, _ in starts]
    typedefs = {}
    for match in PFN_TYPEDEF.finditer(joined):
        where = bisect.bisect_right(offsets, match.start(1)) - 1
        typedefs.setdefault(match.group(1), starts[where][1] if where >= 0 else "?")
    return typedefs


def pfn_lines(entries, include_dir, compiler):
    typedefs = pfn_typedefs(preprocess(compiler, include_dir))
    if not typedefs:
        raise GenerateError("the GL headers %s finds with %s declare no PFN...PROC type"
                            % (compiler, include_dir))
    lines = []
    for _, name in entries:
        if name.startswith("wgl"):
            continue
        pfn = "PFN%sPROC" % name.upper()
        if pfn in typedefs:
            lines.append("GL_ENTRY_PFN_TYPE(%s, %s) // %s" % (name, pfn, typedefs[pfn]))
    return lines


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def sources(names_path, registry_dir):
    """Returns [(label, checksum)]: names.txt, the generator, the registry files."""
    found = [("names.txt", sha256(names_path)), ("generate.py", sha256(GENERATOR))]
    found += [(name, sha256(os.path.join(registry_dir, name))) for name in REGISTRY_FILES]
    return found


def render_entries(entries, commands, recorded):
    header = ("// SPDX-License-Identifier: %s\n" % REGISTRY_LICENSE
              + "// Generated by tools/gl_entry/generate.py from gl_entry/names.txt and the Khronos\n"
              "// registry (gl.xml, wgl.xml of Debian's khronos-api; Copyright The Khronos Group\n"
              "// Inc., under the %s licence, as is this table made from it).\n" % REGISTRY_LICENSE
              + "// Do not edit: change names.txt and regenerate.\n"
              + "".join("// source %s sha256 %s\n" % item for item in recorded)
              + "// clang-format off\n")
    return (header + "// GL_ENTRY_POINT(group, result, name, (parameters), (arguments))\n"
            + "\n".join(entry_lines(entries, commands)) + "\n")


def render_pfn_types(entries, include_dir, compiler):
    return ("// Generated by tools/gl_entry/generate.py --pfn-types from gl_entry/names.txt and\n"
            "// the GL headers as the C compiler preprocesses them.\n"
            "// GL_ENTRY_PFN_TYPE(name, PFN type of <GL/gl.h> and <GL/glext.h>) // defining header\n"
            + "\n".join(pfn_lines(entries, include_dir, compiler)) + "\n")


def write(path, text):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(text)


def check(committed_path, names_path, registry_dir):
    """Returns the exit status of --check; prints what it found."""
    try:
        with open(committed_path, encoding="ascii") as f:
            committed = f.read()
    except OSError as error:
        print("generate.py: %s" % error, file=sys.stderr)
        return 1
    recorded = dict(SOURCE_LINE.findall(committed))
    own = {"names.txt": sha256(names_path), "generate.py": sha256(GENERATOR)}
    changed = [label for label, value in own.items() if recorded.get(label) != value]
    if changed:
        print("generate.py: %s changed since %s was generated; run tools/gl_entry/generate.py"
              % (" and ".join(changed), ENTRY_FILE))
        return 1
    try:
        current = dict(sources(names_path, registry_dir))
    except OSError as error:
        print("generate.py: note: no registry to regenerate from (%s); names.txt and the"
              " generator match %s" % (error, ENTRY_FILE))
        return 0
    same_registry = all(recorded.get(name) == current[name] for name in REGISTRY_FILES)
    entries = read_names(names_path)
    commands = read_registry([os.path.join(registry_dir, name) for name in REGISTRY_FILES])
    fresh = render_entries(entries, commands, list(current.items()))
    # The registry's checksums are the one part of the header that may differ.
    old_body, new_body = (SOURCE_LINE.sub("", text) for text in (committed, fresh))
    diff = list(difflib.unified_diff(old_body.splitlines(True), new_body.splitlines(True),
                                     committed_path, "regenerated " + ENTRY_FILE))
    if same_registry:
        if diff:
            sys.stdout.writelines(diff)
            print("generate.py: the registry %s was made from now gives a different file;"
                  " run tools/gl_entry/generate.py" % ENTRY_FILE)
            return 1
        print("generate.py: %s is up to date" % ENTRY_FILE)
        return 0
    print("generate.py: note: %s was made from another release of the registry in %s"
          % (ENTRY_FILE, registry_dir))
    if diff:
        print("generate.py: note: this registry would change these entries:")
        sys.stdout.writelines(diff)
    else:
        print("generate.py: note: this registry gives the same entries")
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--names", default=DEFAULT_NAMES)
    parser.add_argument("--registry", default=DEFAULT_REGISTRY,
                        help="directory holding gl.xml and wgl.xml")
    parser.add_argument("--include", default=DEFAULT_GL_INCLUDE,
                        help="directory holding GL/gl.h and GL/glext.h (for --pfn-types)")
    parser.add_argument("--cc", default="cc",
                        help="C compiler whose preprocessor reads the headers (for --pfn-types)")
    parser.add_argument("--output-dir", default=DEFAULT_OUTPUT_DIR)
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--check", action="store_true",
                      help="check the committed file against its recorded sources")
    mode.add_argument("--pfn-types", metavar="FILE",
                      help="write the PFN...PROC list of the system's headers to FILE")
    args = parser.parse_args(argv)
    committed = os.path.join(args.output_dir, ENTRY_FILE)
    try:
        if args.check:
            return check(committed, args.names, args.registry)
        entries = read_names(args.names)
        if args.pfn_types:
            write(args.pfn_types, render_pfn_types(entries, args.include, args.cc))
            return 0
        commands = read_registry([os.path.join(args.registry, f) for f in REGISTRY_FILES])
        text = render_entries(entries, commands, sources(args.names, args.registry))
    except (GenerateError, OSError, ET.ParseError) as error:
        print("generate.py: error: %s" % error, file=sys.stderr)
        return 2
    write(committed, text)
    print("generate.py: wrote %d entries to %s" % (len(entries), committed))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
