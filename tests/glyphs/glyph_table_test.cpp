// SPDX-License-Identifier: MIT
// The committed glyph table (demo/overlay_glyphs.inc) is what moiravel-make-glyph-table makes
// of GLUT's 9x15 glyphs now: the generator run on a private Xvfb into a scratch directory,
// and its output compared with the committed file byte for byte.
//
// What it does not do: draw the table's glyphs (glyphs_glut_test.cpp compares them with
// GLUT's), or write the committed file.
#include "child_process.h"
#include "temp_dir.h"
#include "x_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace std::chrono_literals;
using moiravel::xtest::ChildProcess;
using moiravel::xtest::readTextFile;
using moiravel::xtest::SpawnOptions;
using moiravel::xtest::TempDir;
using moiravel::xtest::XServer;
using moiravel::xtest::XServerKind;

// Line `number` (from 1) of text, or "(none)" past its end.
std::string lineOf(const std::string &text, std::size_t number) {
    std::istringstream lines(text);
    std::string line;
    for (std::size_t k = 0; k < number; ++k) {
        if (!std::getline(lines, line)) {
            return "(none)";
        }
    }
    return line;
}

// The number (from 1) of the first line where a and b differ; 0 when they are equal.
std::size_t firstDifferingLine(const std::string &a, const std::string &b) {
    if (a == b) {
        return 0;
    }
    std::size_t line = 1;
    for (std::size_t k = 0; k < a.size() && k < b.size() && a[k] == b[k]; ++k) {
        line += a[k] == '\n' ? 1 : 0;
    }
    return line;
}

TEST(GlyphTable, IsWhatTheGeneratorMakesOfGlutsGlyphs) {
    std::string unavailable = XServer::unavailableReason(XServerKind::Xvfb);
    std::unique_ptr<XServer> server;
    if (unavailable.empty()) {
        try {
            server = std::make_unique<XServer>(XServerKind::Xvfb, 640, 480);
        } catch (const std::exception &error) {
            unavailable = error.what();
        }
    }
    if (!unavailable.empty()) {
        GTEST_SKIP() << "cannot start Xvfb here: " << unavailable;
    }
    TempDir work("moiravel-glyph-table");
    const std::string generated = (work / "overlay_glyphs.inc").string();
    SpawnOptions options;
    options.argv = {MOIRAVEL_GLYPH_TABLE_BINARY, generated};
    options.setEnv = {{"DISPLAY", server->displayName()}, {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    options.stdoutFile = work / "generator.out";
    options.stderrFile = work / "generator.err";
    ChildProcess generator(options);
    const auto status = generator.waitFor(60s);
    ASSERT_TRUE(status.has_value()) << "moiravel-make-glyph-table did not finish";
    ASSERT_TRUE(status->exited && status->code == 0) << status->describe() << "\n"
                                                     << readTextFile(work / "generator.err");
    std::cout << readTextFile(work / "generator.out");

    const std::string committed = readTextFile(MOIRAVEL_COMMITTED_GLYPH_TABLE);
    const std::string made = readTextFile(generated);
    const std::size_t line = firstDifferingLine(committed, made);
    EXPECT_EQ(line, 0u) << MOIRAVEL_COMMITTED_GLYPH_TABLE << " is not what GLUT's glyphs give; "
                        << "regenerate it as its header says. First difference, line " << line
                        << ":\n  committed: " << lineOf(committed, line)
                        << "\n  generated: " << lineOf(made, line);
}

} // namespace
