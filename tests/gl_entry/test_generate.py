# SPDX-License-Identifier: MIT
"""Tests of tools/gl_entry/generate.py: its failures, its scan of the
preprocessed GL headers, its --check mode."""

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

    def test_scan_takes_the_typedefs_as_the_compiler_expanded_them(self):
        preprocessed = textwrap.dedent("""\
            # 1 "<stdin>"
            # 1 "/usr/share/mingw-w64/include/GL/gl.h" 1 3
            typedef void (__attribute__((__stdcall__)) *PFNGLSTDCALLPROC)(GLint i);
            void __attribute__((__stdcall__)) glNotATypedef(PFNGLSTDCALLPROC p);
            typedef struct { PFNGLSTDCALLPROC member; } NotAPointerTypedef;
            # 5 "/usr/include/GL/glext.h" 1 3 4
            typedef void ( * PFNGLSPLITPROC) (GLint a,
                                              GLint b);
            typedef void ( * PFNGLSTDCALLPROC) (GLint i);
            # 9 "/usr/share/mingw-w64/include/GL/gl.h" 2 3
            typedef GLint ( * PFNGLBACKINGLPROC) (void);
            """)
        self.assertEqual(generate.pfn_typedefs(preprocessed), {
            "PFNGLSTDCALLPROC": "GL/gl.h", "PFNGLSPLITPROC": "GL/glext.h",
            "PFNGLBACKINGLPROC": "GL/gl.h"})

    def copy_sources(self):
        """A copy of gl_entry/ and of the registry, to change one of them."""
        committed = os.path.join(self.temp, "gl_entry")
        registry = os.path.join(self.temp, "registry")
        shutil.copytree(os.path.join(ROOT, "gl_entry"), committed)
        shutil.copytree(generate.DEFAULT_REGISTRY, registry)
        return committed, registry

    def check(self, committed, registry):
        return run(["--check", "--output-dir", committed, "--registry", registry,
                    "--names", os.path.join(committed, "names.txt")])

    def edit(self, path, old, new):
        with open(path) as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w") as f:
            f.write(text.replace(old, new, 1))

    def test_check_fails_when_the_same_sources_give_a_different_file(self):
        committed, registry = self.copy_sources()
        status, output = self.check(committed, registry)
        self.assertEqual(status, 0, output)
        self.assertIn("up to date", output)

        self.edit(os.path.join(committed, generate.ENTRY_FILE), "glBlendColorEXT",
                  "glBlendColourEXT")
        status, output = self.check(committed, registry)
        self.assertEqual(status, 1)
        self.assertIn("+GL_ENTRY_POINT(\"GL, EXT\", void, glBlendColorEXT", output)

    def test_check_fails_when_the_name_list_changed(self):
        committed, registry = self.copy_sources()
        # A change that leaves the entries alone still needs a regeneration.
        with open(os.path.join(committed, "names.txt"), "a") as f:
            f.write("# a comment\n")
        status, output = self.check(committed, registry)
        self.assertEqual(status, 1)
        self.assertIn("names.txt changed", output)

    def test_another_registry_release_is_a_note(self):
        committed, registry = self.copy_sources()
        gl_xml = os.path.join(registry, "gl.xml")
        with open(gl_xml, "a") as f:
            f.write("<!-- a newer release -->\n")
        status, output = self.check(committed, registry)
        self.assertEqual(status, 0, output)
        self.assertIn("note: entry_points.inc was made from another release", output)
        self.assertIn("gives the same entries", output)

        # A prototype that changed in the newer registry is shown, and still passes.
        self.edit(gl_xml, "<name>glBlendColorEXT</name>", "<name>glBlendColorEXT</name>"
                  "</proto><param><ptype>GLint</ptype> <name>extra</name></param><proto>")
        status, output = self.check(committed, registry)
        self.assertEqual(status, 0, output)
        self.assertIn("would change these entries", output)
        self.assertIn("GLint extra", output)

    def test_generated_file_does_not_depend_on_the_system_headers(self):
        committed, registry = self.copy_sources()
        self.write("empty/GL/gl.h", "\n")
        status, output = run(["--output-dir", committed, "--registry", registry,
                              "--names", os.path.join(committed, "names.txt"),
                              "--include", os.path.join(self.temp, "empty")])
        self.assertEqual(status, 0, output)
        with open(os.path.join(ROOT, "gl_entry", generate.ENTRY_FILE)) as f:
            original = f.read()
        with open(os.path.join(committed, generate.ENTRY_FILE)) as f:
            self.assertEqual(f.read(), original)

    def test_pfn_types_list_what_the_headers_define(self):
        # The C compiler reads them: its conditionals, includes and macros.
        self.write("inc/GL/gl.h", """\
            #define APIENTRYP *
            #ifdef GL_NOT_DEFINED
            typedef void (APIENTRYP PFNGLBLENDEQUATIONPROC) (GLenum mode);
            #endif
            #include <GL/glext.h>
            """)
        self.write("inc/GL/glext.h", """\
            #ifndef GL_VERSION_1_2
            #define GL_VERSION_1_2 1
            typedef void (APIENTRYP PFNGLBLENDCOLORPROC) (GLfloat r, GLfloat g, GLfloat b, GLfloat a);
            #endif
            """)
        names = self.write("names.txt", "[OpenGL 1.2]\nglBlendColor\nglBlendEquation\n"
                                        "[WGL, EXT]\nwglSwapIntervalEXT\n")
        out = os.path.join(self.temp, "pfn.inc")
        status, output = run(["--names", names, "--include", os.path.join(self.temp, "inc"),
                              "--pfn-types", out])
        self.assertEqual(status, 0, output)
        with open(out) as f:
            lines = [line for line in f.read().splitlines() if line.startswith("GL_ENTRY_PFN")]
        self.assertEqual(lines,
                         ["GL_ENTRY_PFN_TYPE(glBlendColor, PFNGLBLENDCOLORPROC) // GL/glext.h"])

        # A header the compiler cannot read fails with its message.
        self.write("inc/GL/glext.h", "#include <GL/no_such_header.h>\n")
        status, output = run(["--names", names, "--include", os.path.join(self.temp, "inc"),
                              "--pfn-types", out])
        self.assertEqual(status, 2)
        self.assertIn("no_such_header.h", output)


if __name__ == "__main__":
    unittest.main()
