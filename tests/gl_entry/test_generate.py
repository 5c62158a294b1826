"""Tests of tools/gl_entry/generate.py: its failures, its header scan, its --check mode."""

import contextlib
import io
import os
import shutil
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "gl_entry"))

import generate  # noqa: E402


def run(args):
    out, err = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        status = generate.main(args)
    return status, out.getvalue() + err.getvalue()


class GeneratorTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.temp)

    def write(self, name, text):
        path = os.path.join(self.temp, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(textwrap.dedent(text))
        return path

    def generate_from(self, names_text):
        names = self.write("names.txt", names_text)
        return run(["--names", names, "--output-dir", self.temp])

    def test_unknown_name_fails_and_is_named(self):
        status, output = self.generate_from("[GL, EXT]\nglBlendColorEXT\nglFrobnicateEXT\n")
        self.assertEqual(status, 2)
        self.assertIn("not in the registry: glFrobnicateEXT", output)
        self.assertFalse(os.path.exists(os.path.join(self.temp, generate.ENTRY_FILE)))

    def test_malformed_lists_fail(self):
        for text, message in [
            ("glBlendColor\n", "before any [group]"),
            ("[OpenGL 1.2]\nglBlendColor\nglBlendColor\n", "listed twice"),
            ("[OpenGL 1.2]\nBlendColor\n", "not an entry-point name"),
            ("# nothing\n", "lists no entry points"),
        ]:
            status, output = self.generate_from(text)
            self.assertEqual(status, 2, text)
            self.assertIn(message, output)

    def test_entries_keep_list_order_group_and_prototype(self):
        status, output = self.generate_from("""\
            [WGL, OML]
            wglSwapBuffersMscOML
            [GL, WIN]
            glAddSwapHintRectWIN
            [OpenGL 1.5]
            glMapBuffer
            """)
        self.assertEqual(status, 0, output)
        with open(os.path.join(self.temp, generate.ENTRY_FILE)) as f:
            lines = [line for line in f.read().splitlines() if line.startswith("GL_ENTRY_POINT(")]
        self.assertEqual(lines, [
            'GL_ENTRY_POINT("WGL, OML", INT64, wglSwapBuffersMscOML, (HDC hdc, INT64 target_msc,'
            ' INT64 divisor, INT64 remainder), (hdc, target_msc, divisor, remainder))',
            'GL_ENTRY_POINT("GL, WIN", void, glAddSwapHintRectWIN, (GLint x, GLint y,'
            ' GLsizei width, GLsizei height), (x, y, width, height))',
            'GL_ENTRY_POINT("OpenGL 1.5", void *, glMapBuffer, (GLenum target, GLenum access),'
            ' (target, access))',
        ])

    def test_header_scan_follows_conditionals_and_includes(self):
        self.write("GL/gl.h", """\
            #define GL_VERSION_1_2 1
            #ifndef GL_VERSION_1_2
            typedef void (APIENTRYP PFNSKIPPEDPROC) (void);
            #else
            typedef void (APIENTRYP PFNELSEPROC) (void);
            #endif
            #if defined(_WIN32) && !defined(APIENTRY)
            typedef void (APIENTRYP PFNWINDOWSPROC) (void);
            #elif defined(__GNUC__) && __GNUC__ >= 4
            typedef void (APIENTRYP PFNELIFPROC) (void);
            #else
            typedef void (APIENTRYP PFNNOTTAKENPROC) (void);
            #endif
            #include <GL/glext.h>
            """)
        self.write("GL/glext.h", """\
            #ifndef GL_VERSION_1_2
            #define GL_VERSION_1_2 1
            typedef void (APIENTRYP PFNAGAINPROC) (void);
            #endif
            #ifndef GL_EXT_x
            #define GL_EXT_x 1
            #ifdef GL_GLEXT_PROTOTYPES
            #endif
            typedef void (APIENTRYP PFNEXTPROC) (GLint a,
                                                 GLint b);
            #endif
            """)
        scanner = generate.HeaderScanner(self.temp)
        scanner.scan("GL/gl.h")
        self.assertEqual(scanner.typedefs, {"PFNELSEPROC": "GL/gl.h", "PFNELIFPROC": "GL/gl.h",
                                            "PFNEXTPROC": "GL/glext.h"})

    def test_check_reports_a_stale_committed_file(self):
        committed = os.path.join(self.temp, "gl_entry")
        shutil.copytree(os.path.join(ROOT, "gl_entry"), committed)
        status, output = run(["--check", "--output-dir", committed])
        self.assertEqual(status, 0, output)

        path = os.path.join(committed, generate.ENTRY_FILE)
        with open(path) as f:
            text = f.read()
        with open(path, "w") as f:
            f.write(text.replace("glBlendColorEXT", "glBlendColourEXT"))
        status, output = run(["--check", "--output-dir", committed])
        self.assertEqual(status, 1)
        self.assertIn("+GL_ENTRY_POINT(\"GL, EXT\", void, glBlendColorEXT", output)


if __name__ == "__main__":
    unittest.main()
