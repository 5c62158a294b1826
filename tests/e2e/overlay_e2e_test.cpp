// SPDX-License-Identifier: MIT
// The text overlay: six lines of yellow 9x15 bitmap text from 45 % of the screen width,
// whose marks follow the switches.
#include "viewer_fixture.h"

#include <utility>
#include <vector>

namespace moiravel::e2e {
namespace {

constexpr Rgb yellow{255, 255, 0};
constexpr Rgb black{0, 0, 0};
constexpr int glyphWidth = 9;
// Lines start at x = -0.1 in normalised device coordinates: 45 % of the width.
constexpr int textLeft = screenWidth * 45 / 100;
constexpr double lineY[6] = {0.95, 0.85, 0.78, 0.68, 0.61, 0.51};

// Screen rows (from the top) that the glyphs of a line can cover: the 9x15 font reaches a few
// pixels below its baseline and about a dozen above.
struct Band {
    int top;
    int bottom; // inclusive
};
Band band(int line) {
    const int baseline = static_cast<int>((lineY[line - 1] + 1.0) / 2.0 * screenHeight);
    return {screenHeight - 1 - (baseline + 13), screenHeight - 1 - (baseline - 5)};
}

struct Ink {
    bool any = false;
    int left = 0;
    int right = 0;
    // Number of character cells up to the last one with ink.
    int cells() const { return any ? (right - textLeft) / glyphWidth + 1 : 0; }
};

Ink inkOf(const Screenshot &shot, int line) {
    Ink ink;
    const Band b = band(line);
    for (int row = b.top; row <= b.bottom; ++row) {
        for (int column = 0; column < shot.width; ++column) {
            if (shot.at(column, row) == yellow) {
                ink.left = ink.any ? std::min(ink.left, column) : column;
                ink.right = ink.any ? std::max(ink.right, column) : column;
                ink.any = true;
            }
        }
    }
    return ink;
}

// Whether character cell `cell` (0-based) of a line holds ink: tells a letter from a blank.
bool cellHasInk(const Screenshot &shot, int line, int cell) {
    const Band b = band(line);
    for (int row = b.top; row <= b.bottom; ++row) {
        for (int column = textLeft + cell * glyphWidth;
             column < textLeft + (cell + 1) * glyphWidth && column < shot.width; ++column) {
            if (shot.at(column, row) == yellow) {
                return true;
            }
        }
    }
    return false;
}

bool sameLine(const Screenshot &a, const Screenshot &b, int line) {
    const Band r = band(line);
    return a.sameRegion(b, 0, r.top, a.width, r.bottom - r.top + 1);
}

// The character cell (0-based) in which two pictures of a line differ; -1 when they differ
// in no cell or in more than one.
int changedCell(const Screenshot &a, const Screenshot &b, int line) {
    const Band r = band(line);
    int first = -1;
    int last = -1;
    for (int row = r.top; row <= r.bottom; ++row) {
        for (int column = 0; column < a.width; ++column) {
            if (!(a.at(column, row) == b.at(column, row))) {
                first = first < 0 ? column : std::min(first, column);
                last = std::max(last, column);
            }
        }
    }
    if (first < textLeft) {
        return -1;
    }
    const int cell = (first - textLeft) / glyphWidth;
    return (last - textLeft) / glyphWidth == cell ? cell : -1;
}

::testing::AssertionResult onlyYellowTextOnBlack(const Screenshot &shot) {
    // Above the middle and right of the image area nothing but text and background; yellow
    // nowhere left of the text start, and nowhere outside the six lines.
    for (int row = 0; row < shot.height; ++row) {
        bool inBand = false;
        for (int line = 1; line <= 6; ++line) {
            inBand = inBand || (row >= band(line).top && row <= band(line).bottom);
        }
        for (int column = 0; column < shot.width; ++column) {
            const Rgb c = shot.at(column, row);
            if (c == yellow && (column < textLeft || !inBand)) {
                return ::testing::AssertionFailure() << "yellow at column " << column << ", row "
                                                     << row << ", outside the overlay's lines";
            }
            if (row < shot.height / 2 && column >= 300 && !(c == yellow) && !(c == black)) {
                return ::testing::AssertionFailure()
                       << "overlay area pixel " << xtest::toString(c) << " at column " << column
                       << ", row " << row << " is neither yellow text nor black";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class OverlayE2eTest : public ViewerTest {
  protected:
    // The screen as the reference program draws `lines` (raster y as text, and the text).
    Screenshot referenceText(const std::vector<std::pair<std::string, std::string>> &lines) {
        xtest::SpawnOptions options;
        options.argv = {MOIRAVEL_TEXT_REFERENCE_BINARY, std::to_string(screenWidth),
                        std::to_string(screenHeight)};
        for (const auto &[y, text] : lines) {
            options.argv.push_back(y);
            options.argv.push_back(text);
        }
        options.setEnv = {{"DISPLAY", server().displayName()}, {"LIBGL_ALWAYS_SOFTWARE", "1"}};
        xtest::ChildProcess reference(options);
        auto [shot, ok] = client().waitUntilSteady(
            [](const Screenshot &s) {
                for (int row = 0; row < s.height / 2; ++row) {
                    for (int column = textLeft; column < s.width; ++column) {
                        if (s.at(column, row) == yellow) {
                            return true;
                        }
                    }
                }
                return false;
            },
            startTimeout);
        EXPECT_TRUE(ok) << "the text reference program showed nothing";
        return shot;
    }

    void SetUp() override {
        ViewerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        writeReadme("800 x 600\n");
        writeImages(200, 150);
        start();
        waitForFirstFrame();
    }

    // Waits until line `line` differs from how `reference` shows it and then shows the same
    // in a few pictures in a row (the rest of the screen may still change).
    Screenshot waitForLineChange(const Screenshot &reference, int line) {
        Screenshot previous = reference;
        int run = 0;
        auto [shot, ok] = client().waitUntil(
            [&](const Screenshot &s) {
                if (sameLine(s, reference, line)) {
                    run = 0;
                } else {
                    run = run > 0 && sameLine(s, previous, line) ? run + 1 : 1;
                }
                previous = s;
                return run >= 3;
            },
            settleTimeout);
        EXPECT_TRUE(ok) << "line " << line << " did not change to a new steady form";
        return shot;
    }

    static void expectCells(const Screenshot &shot, const int (&cells)[6]) {
        // Lines 3 and 5 begin with blanks: their first ink is in cell 1 and cell 6.
        constexpr int leadingBlanks[6] = {0, 0, 1, 0, 6, 0};
        for (int line = 1; line <= 6; ++line) {
            const Ink ink = inkOf(shot, line);
            ASSERT_TRUE(ink.any) << "line " << line << " shows no yellow text";
            const int firstInk = textLeft + leadingBlanks[line - 1] * glyphWidth;
            EXPECT_GE(ink.left, firstInk) << "line " << line;
            EXPECT_LE(ink.left, firstInk + 2) << "line " << line << " does not start at 45 %";
            EXPECT_EQ(ink.cells(), cells[line - 1]) << "length of line " << line;
        }
    }
};

// Visible lengths in 9-pixel cells, trailing blanks not counted:
//   "Moiravel Demo (800x600)"                      23
//   "Mode (+/-): "                                 11
//   " Our algorithm"                               14
//   "Keys: SPACE (Restart), "                      22
//   "      M (Movement), F (Flicker Subimages)"    41
//   "current subimage:0" / "...1"                  18, and 37 with "  S (Step Subimage)"
TEST_F(OverlayE2eTest, SixYellowLinesFromFortyFivePercentOfTheWidth) {
    const Screenshot shot = client().screenshot();
    EXPECT_TRUE(onlyYellowTextOnBlack(shot));
    expectCells(shot, {23, 11, 14, 22, 41, 18});
    escapeAndExpectCleanExit();
}

TEST_F(OverlayE2eTest, LineFiveMarksMovementAndFlickerSwitchedOff) {
    // "      M (Movement), F (Flicker Subimages)": cells 6 and 20 hold the key letters, the
    // cells after them a blank while the switch is on and an X while it is off.
    const Screenshot start = client().screenshot();
    EXPECT_TRUE(cellHasInk(start, 5, 6) && cellHasInk(start, 5, 20));
    EXPECT_FALSE(cellHasInk(start, 5, 7)) << "movement is on at the start: \"M \"";
    EXPECT_FALSE(cellHasInk(start, 5, 21)) << "flicker runs at the start: \"F \"";
    press("m");
    const Screenshot movementOff = waitForLineChange(start, 5);
    EXPECT_EQ(changedCell(start, movementOff, 5), 7) << "\"M \" should become \"MX\"";
    EXPECT_TRUE(cellHasInk(movementOff, 5, 7));
    press("f");
    const Screenshot bothOff = waitForLineChange(movementOff, 5);
    EXPECT_EQ(changedCell(movementOff, bothOff, 5), 21) << "\"F \" should become \"FX\"";
    EXPECT_TRUE(cellHasInk(bothOff, 5, 21));
    EXPECT_EQ(inkOf(bothOff, 5).cells(), 41);
    press("m");
    const Screenshot flickerOff = waitForLineChange(bothOff, 5);
    EXPECT_EQ(changedCell(bothOff, flickerOff, 5), 7);
    press("f");
    const Screenshot again = waitForLineChange(flickerOff, 5);
    EXPECT_TRUE(sameLine(again, start, 5)) << "line 5 did not return to its first form";
    escapeAndExpectCleanExit();
}

TEST_F(OverlayE2eTest, LineSixListsTheStepKeyOnlyWhileFrozen) {
    settleFrozenAtOrigin();
    const Screenshot frozen = client().screenshot();
    EXPECT_TRUE(onlyYellowTextOnBlack(frozen));
    EXPECT_EQ(inkOf(frozen, 6).cells(), 37) << "\"current subimage:N  S (Step Subimage)\"";
    // The digit follows the colon directly; two blanks, then S.
    EXPECT_TRUE(cellHasInk(frozen, 6, 16) && cellHasInk(frozen, 6, 17));
    EXPECT_FALSE(cellHasInk(frozen, 6, 18) || cellHasInk(frozen, 6, 19));
    EXPECT_TRUE(cellHasInk(frozen, 6, 20));

    // Stepping changes only the digit after the colon.
    press("s");
    const Screenshot stepped = waitForLineChange(frozen, 6);
    EXPECT_EQ(changedCell(frozen, stepped, 6), 17) << "only the subimage digit should change";
    EXPECT_EQ(inkOf(stepped, 6).cells(), 37);

    press("f");
    for (int i = 0; i < 10; ++i) {
        auto [shot, ok] = client().waitUntil(
            [](const Screenshot &s) { return inkOf(s, 6).cells() == 18; }, settleTimeout);
        ASSERT_TRUE(ok) << "line 6 still lists the step key after unfreezing";
    }
    press("f");
    auto [refrozen, ok] = client().waitUntil(
        [](const Screenshot &s) { return inkOf(s, 6).cells() == 37; }, settleTimeout);
    EXPECT_TRUE(ok) << "line 6 does not list the step key after freezing again";
    escapeAndExpectCleanExit();
}

// Pixel for pixel the text that the same font draws from the same raster positions: every
// literal byte for byte, the numbers in decimal.
TEST_F(OverlayE2eTest, LinesAreExactlyTheTextsInTheNineByFifteenFont) {
    const int s = settleFrozenAtOrigin(); // movement off and frozen: "MX", "FX" and "S"
    ASSERT_TRUE(s == 0 || s == 1);
    const Screenshot mode0 = client().screenshot();
    press("+");
    const Screenshot mode1 = waitForLineChange(mode0, 3);
    press("+");
    const Screenshot mode2 = waitForLineChange(mode1, 3);
    escapeAndExpectCleanExit();

    const Screenshot want = referenceText({
        {"0.95", "Moiravel Demo (800x600)"},
        {"0.85", "Mode (+/-): "},
        {"0.78", " Our algorithm"},
        {"0.68", "Keys: SPACE (Restart), "},
        {"0.61", "      MX(Movement), FX(Flicker Subimages)"},
        {"0.51", "current subimage:" + std::to_string(s) + "  S (Step Subimage)"},
    });
    for (int line = 1; line <= 6; ++line) {
        EXPECT_TRUE(sameLine(mode0, want, line)) << "line " << line << " differs";
    }
    const Screenshot want1 = referenceText(
        {{"0.78", " Lanczos - postfiltering (filter subpixels inside display pixel)"}});
    EXPECT_TRUE(sameLine(mode1, want1, 3)) << "mode 1's name differs";
    const Screenshot want2 = referenceText({{"0.78", " Lanczos - prefiltering"}});
    EXPECT_TRUE(sameLine(mode2, want2, 3)) << "mode 2's name differs";
}

TEST_F(OverlayE2eTest, LineThreeNamesTheMode) {
    settleFrozenAtOrigin();
    const Screenshot mode0 = client().screenshot();
    EXPECT_EQ(inkOf(mode0, 3).cells(), 14) << "\" Our algorithm\"";
    press("+");
    const Screenshot mode1 = waitForLineChange(mode0, 3);
    // 64 characters from 45 % of 800 pixels run past the right edge.
    EXPECT_GE(inkOf(mode1, 3).right, screenWidth - glyphWidth)
        << "\" Lanczos - postfiltering (filter subpixels inside display pixel)\"";
    EXPECT_TRUE(sameLine(mode1, mode0, 1) && sameLine(mode1, mode0, 2));
    press("+");
    const Screenshot mode2 = waitForLineChange(mode1, 3);
    EXPECT_EQ(inkOf(mode2, 3).cells(), 23) << "\" Lanczos - prefiltering\"";
    press("+");
    const Screenshot back = waitForLineChange(mode2, 3);
    EXPECT_TRUE(sameLine(back, mode0, 3)) << "\"+\" from mode 2 should give mode 0";
    press("-");
    const Screenshot minus = waitForLineChange(back, 3);
    EXPECT_TRUE(sameLine(minus, mode2, 3)) << "\"-\" from mode 0 should give mode 2";
    escapeAndExpectCleanExit();
}

} // namespace
} // namespace moiravel::e2e
