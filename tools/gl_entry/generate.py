#!/usr/bin/env python3
"""Generate the entry-point table's prototype list from gl_entry/names.txt.

Reads the name list and the Khronos registry (gl.xml, wgl.xml) and writes

  gl_entry/entry_points.inc     one GL_ENTRY_POINT(group, result, name,
                                (parameters), (arguments)) line per entry,
                                in list order;
  gl_entry/glext_pfn_types.inc  one GL_ENTRY_PFN_TYPE(name, PFN...PROC) line
                                per GL entry whose PFN...PROC type the system's
                                <GL/gl.h> with <GL/glext.h> defines, so that a
                                test can check the slot types at compile time.

With --check it writes both into a temporary directory and fails when they
differ from the committed files. A name the registry lacks is an error, save
the one entry point whose prototype is given here.
"""

import argparse
import difflib
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
DEFAULT_NAMES = os.path.join(ROOT, "gl_entry", "names.txt")
DEFAULT_OUTPUT_DIR = os.path.join(ROOT, "gl_entry")
DEFAULT_REGISTRY = "/usr/share/khronos-api"
DEFAULT_GL_INCLUDE = "/usr/include"
ENTRY_FILE = "entry_points.inc"
PFN_FILE = "glext_pfn_types.inc"

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


class HeaderScanner:
    """Just enough of a C preprocessor to tell which PFN...PROC typedefs a
    translation unit that includes <GL/gl.h> sees on this system."""

    TYPEDEF = re.compile(r"typedef\b.*\(\s*APIENTRYP\s+(PFN\w+PROC)\s*\)")

    def __init__(self, include_dir):
        self.include_dir = include_dir
        self.macros = {"__linux__": "1", "__unix__": "1", "__GNUC__": "12", "__cplusplus": "202002L"}
        self.typedefs = {}  # PFN name -> header that defines it
        self.included = set()

    def evaluate(self, expression):
        expression = re.sub(r"/\*.*?\*/|//.*", "", expression)

        def defined(match):
            return " 1 " if (match.group(1) or match.group(2)) in self.macros else " 0 "

        expression = re.sub(r"\bdefined\s*\(\s*(\w+)\s*\)|\bdefined\s+(\w+)", defined,
                            expression)

        def identifier(match):
            value = self.macros.get(match.group(0), "0").rstrip("L")
            return value if re.fullmatch(r"\d+", value) else "0"

        expression = re.sub(r"\b[A-Za-z_]\w*\b", identifier, expression)
        expression = re.sub(r"\b(\d+)[LlUu]+\b", r"\1", expression)
        expression = expression.replace("&&", " and ").replace("||", " or ")
        expression = re.sub(r"!(?!=)", " not ", expression)
        try:
            return bool(eval(expression, {"__builtins__": {}}))  # digits and operators only
        except Exception as error:
            raise GenerateError("cannot evaluate #if %r: %s" % (expression, error))

    def scan(self, relative):
        path = os.path.join(self.include_dir, relative)
        if relative in self.included or not os.path.exists(path):
            return
        self.included.add(relative)
        stack = []  # (this branch active, some branch taken, parent active)
        active = True
        with open(path, encoding="latin-1") as f:
            text = f.read().replace("\\\n", " ")
        for line in text.splitlines():
            directive = re.match(r"\s*#\s*(\w+)\s*(.*)", line)
            if directive:
                keyword, rest = directive.groups()
                if keyword in ("if", "ifdef", "ifndef"):
                    if keyword == "ifdef":
                        condition = rest.split()[0] in self.macros
                    elif keyword == "ifndef":
                        condition = rest.split()[0] not in self.macros
                    else:
                        condition = active and self.evaluate(rest)
                    stack.append((active and condition, active and condition, active))
                    active = active and condition
                elif keyword == "elif":
                    _, taken, parent = stack.pop()
                    condition = parent and not taken and self.evaluate(rest)
                    stack.append((condition, taken or condition, parent))
                    active = condition
                elif keyword == "else":
                    _, taken, parent = stack.pop()
                    stack.append((parent and not taken, True, parent))
                    active = parent and not taken
                elif keyword == "endif":
                    _, _, active = stack.pop()
                elif not active:
                    continue
                elif keyword == "define":
                    match = re.match(r"(\w+)(\([^)]*\))?\s*(.*)", rest)
                    self.macros[match.group(1)] = match.group(3).strip()
                elif keyword == "undef":
                    self.macros.pop(rest.split()[0], None)
                elif keyword == "include":
                    match = re.match(r"[<\"](GL/[\w.]+)[>\"]", rest)
                    if match:
                        self.scan(match.group(1))
                continue
            if active:
                match = self.TYPEDEF.search(line)
                if match:
                    self.typedefs.setdefault(match.group(1), relative)
        if stack:
            raise GenerateError("%s: unbalanced #if" % path)


def pfn_lines(entries, include_dir):
    scanner = HeaderScanner(include_dir)
    scanner.scan("GL/gl.h")
    if "GL/glext.h" not in scanner.included:
        scanner.scan("GL/glext.h")
    lines = []
    for _, name in entries:
        if name.startswith("wgl"):
            continue
        pfn = "PFN%sPROC" % name.upper()
        if pfn in scanner.typedefs:
            lines.append("GL_ENTRY_PFN_TYPE(%s, %s) // %s" % (name, pfn, scanner.typedefs[pfn]))
    return lines


def render(entries, commands, include_dir):
    banner = ("// Generated by tools/gl_entry/generate.py from gl_entry/names.txt and the Khronos\n"
              "// registry (gl.xml, wgl.xml). Do not edit: change names.txt and regenerate.\n"
              "// clang-format off\n")
    entry_text = (banner + "// GL_ENTRY_POINT(group, result, name, (parameters), (arguments))\n"
                  + "\n".join(entry_lines(entries, commands)) + "\n")
    pfn_text = (banner + "// GL_ENTRY_PFN_TYPE(name, PFN type of <GL/gl.h> and <GL/glext.h>)"
                " // defining header\n" + "\n".join(pfn_lines(entries, include_dir)) + "\n")
    return {ENTRY_FILE: entry_text, PFN_FILE: pfn_text}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--names", default=DEFAULT_NAMES)
    parser.add_argument("--registry", default=DEFAULT_REGISTRY,
                        help="directory holding gl.xml and wgl.xml")
    parser.add_argument("--include", default=DEFAULT_GL_INCLUDE,
                        help="directory holding GL/gl.h and GL/glext.h")
    parser.add_argument("--output-dir", default=DEFAULT_OUTPUT_DIR)
    parser.add_argument("--check", action="store_true",
                        help="regenerate into a temporary directory and compare")
    args = parser.parse_args(argv)
    try:
        entries = read_names(args.names)
        commands = read_registry([os.path.join(args.registry, f) for f in ("gl.xml", "wgl.xml")])
        files = render(entries, commands, args.include)
    except (GenerateError, OSError, ET.ParseError) as error:
        print("generate.py: error: %s" % error, file=sys.stderr)
        return 2

    if not args.check:
        for name, text in files.items():
            with open(os.path.join(args.output_dir, name), "w", encoding="ascii", newline="\n") as f:
                f.write(text)
        print("generate.py: wrote %d entries to %s" % (len(entries), args.output_dir))
        return 0

    differ = False
    with tempfile.TemporaryDirectory() as temp:
        for name, text in files.items():
            fresh = os.path.join(temp, name)
            with open(fresh, "w", encoding="ascii", newline="\n") as f:
                f.write(text)
            committed = os.path.join(args.output_dir, name)
            try:
                with open(committed, encoding="ascii") as f:
                    old = f.read()
            except OSError as error:
                print("generate.py: %s" % error, file=sys.stderr)
                differ = True
                continue
            with open(fresh, encoding="ascii") as f:
                new = f.read()
            if old != new:
                differ = True
                sys.stdout.writelines(difflib.unified_diff(
                    old.splitlines(True), new.splitlines(True), committed, "regenerated " + name))
    if differ:
        print("generate.py: committed files are out of date; run tools/gl_entry/generate.py")
        return 1
    print("generate.py: %s and %s are up to date" % (ENTRY_FILE, PFN_FILE))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
