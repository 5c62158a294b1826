// SPDX-License-Identifier: MIT
// The frame's counter update, texture selection and geometry, the keys and
// the overlay text: everything the viewer decides without a display.
#include "frame.h"
#include "keyboard.h"
#include "overlay.h"
#include "scene_setup.h"
#include "state.h"
#include "swap_interval.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

DemoState freshState() {
    DemoState state;
    state.screenWidth = 1024;
    state.screenHeight = 768;
    state.subimageList = {10, 11, 12, 13, 13, 13};
    return state;
}

TEST(DemoStateTest, InitialValuesBeforeAnyCode) {
    EXPECT_EQ(demoState.screenWidth, 0);
    EXPECT_EQ(demoState.screenHeight, 0);
    EXPECT_EQ(demoState.imageWidth, 0u);
    EXPECT_EQ(demoState.imageHeight, 0u);
    EXPECT_TRUE(demoState.pixelBuffer.empty());
    EXPECT_TRUE(demoState.subimageList.empty());
    EXPECT_EQ(demoState.mode, 0);
    EXPECT_EQ(demoState.subimagesPerMode, 2);
    EXPECT_EQ(demoState.subimage, 0);
    EXPECT_EQ(demoState.cycleFrame, 0);
    EXPECT_EQ(demoState.offsetX, 0.0f);
    EXPECT_EQ(demoState.offsetY, 0.0f);
    EXPECT_TRUE(demoState.movementOn);
    EXPECT_FALSE(demoState.flickerFrozen);
    EXPECT_EQ(demoState.swapIntervalOn, 0);
}

TEST(AdvanceFrame, AlternatesAndMovesEverySecondFrame) {
    DemoState state = freshState();
    for (int frame = 1; frame <= 8; ++frame) {
        advanceFrame(state);
        EXPECT_EQ(state.subimage, frame % 2) << "frame " << frame;
        EXPECT_EQ(state.offsetX, -static_cast<float>(frame / 2)) << "frame " << frame;
        EXPECT_EQ(state.offsetY, static_cast<float>(frame / 2)) << "frame " << frame;
        EXPECT_EQ(state.offsetX + state.offsetY, 0.0f);
    }
}

TEST(AdvanceFrame, FrozenKeepsTheSubimageButStillMoves) {
    DemoState state = freshState();
    state.flickerFrozen = true;
    for (int frame = 1; frame <= 6; ++frame) {
        advanceFrame(state);
        EXPECT_EQ(state.subimage, 0);
        EXPECT_EQ(state.offsetX, -static_cast<float>(frame / 2));
    }
    // Freezing right after a frame that showed subimage 1: the next frame
    // completes the cycle and moves, and subimage 1 stays.
    state = freshState();
    advanceFrame(state);
    ASSERT_EQ(state.subimage, 1);
    state.flickerFrozen = true;
    advanceFrame(state);
    EXPECT_EQ(state.subimage, 1);
    EXPECT_EQ(state.offsetX, -1.0f);
    advanceFrame(state);
    advanceFrame(state);
    EXPECT_EQ(state.subimage, 1);
    EXPECT_EQ(state.offsetX, -2.0f);
}

TEST(AdvanceFrame, MovementOffKeepsThePlaceAndMakesNothingUp) {
    DemoState state = freshState();
    state.movementOn = false;
    for (int frame = 0; frame < 10; ++frame) {
        advanceFrame(state);
    }
    EXPECT_EQ(state.offsetX, 0.0f);
    state.movementOn = true;
    advanceFrame(state);
    advanceFrame(state);
    EXPECT_EQ(state.offsetX, -1.0f);
    EXPECT_EQ(state.offsetY, 1.0f);
}

TEST(AdvanceFrame, OtherCycleLengths) {
    DemoState state = freshState();
    state.subimagesPerMode = 3;
    const int shown[] = {1, 2, 0, 1, 2, 0};
    for (int i = 0; i < 6; ++i) {
        advanceFrame(state);
        EXPECT_EQ(state.subimage, shown[i]);
    }
    EXPECT_EQ(state.offsetX, -2.0f);
    state = freshState();
    state.subimagesPerMode = 1;
    for (int i = 0; i < 3; ++i) {
        advanceFrame(state);
        EXPECT_EQ(state.subimage, 0);
    }
    EXPECT_EQ(state.offsetX, -3.0f);
}

TEST(AdvanceFrame, StepKeyEffects) {
    // Stepped to 2 while frozen: the next frame shows 0.
    DemoState state = freshState();
    state.flickerFrozen = true;
    advanceFrame(state);
    applyKey(state, 's');
    applyKey(state, 's');
    EXPECT_EQ(state.subimage, 2);
    advanceFrame(state);
    EXPECT_EQ(state.subimage, 0);
    // While running, after a frame that showed 0: the next frame shows 0
    // again and completes the cycle one frame early.
    state = freshState();
    advanceFrame(state);
    advanceFrame(state);
    ASSERT_EQ(state.subimage, 0);
    const float before = state.offsetX;
    applyKey(state, 's');
    advanceFrame(state);
    EXPECT_EQ(state.subimage, 0);
    EXPECT_EQ(state.offsetX, before - 1.0f);
}

TEST(SelectSubimage, ModesAndTheResetPastTheLastMode) {
    DemoState state = freshState();
    const int expected[3][2] = {{0, 1}, {2, 3}, {4, 5}};
    for (int mode = 0; mode < 3; ++mode) {
        for (int subimage = 0; subimage < 2; ++subimage) {
            state.mode = mode;
            state.subimage = subimage;
            EXPECT_EQ(selectSubimage(state), expected[mode][subimage]);
            EXPECT_EQ(state.mode, mode);
        }
    }
    for (int mode : {3, 5, -1, INT_MAX}) {
        state.mode = mode;
        state.subimage = 1;
        EXPECT_EQ(selectSubimage(state), 0) << mode;
        EXPECT_EQ(state.mode, 0);
        EXPECT_EQ(state.subimage, 1);
    }
    state.subimageList.clear();
    state.mode = 1;
    EXPECT_EQ(selectSubimage(state), -1);
    EXPECT_EQ(state.mode, 0);
}

TEST(QuadCorners, TexelForPixelAtTheOffsets) {
    DemoState state = freshState();
    state.imageWidth = 640;
    state.imageHeight = 480;
    QuadCorners quad = quadCorners(state);
    EXPECT_FLOAT_EQ(quad.left, -1.0f);
    EXPECT_FLOAT_EQ(quad.bottom, -1.0f);
    EXPECT_FLOAT_EQ(quad.right, 0.25f);
    EXPECT_FLOAT_EQ(quad.top, 0.25f);
    // Converted back to window pixels the edges are whole numbers, the quad
    // exactly image-sized, for any whole offset.
    for (float offset : {-1.0f, -37.0f, -1023.0f}) {
        state.offsetX = offset;
        state.offsetY = -offset;
        quad = quadCorners(state);
        const auto pixelX = [&](float ndc) { return (ndc + 1.0) * state.screenWidth / 2.0; };
        const auto pixelY = [&](float ndc) { return (ndc + 1.0) * state.screenHeight / 2.0; };
        EXPECT_NEAR(pixelX(quad.left), offset, 1e-3);
        EXPECT_NEAR(pixelX(quad.right), offset + 640.0, 1e-3);
        EXPECT_NEAR(pixelY(quad.bottom), -offset, 1e-3);
        EXPECT_NEAR(pixelY(quad.top), -offset + 480.0, 1e-3);
    }
}

TEST(ApplyKey, TableOfEffects) {
    DemoState state = freshState();
    state.offsetX = -5.0f;
    state.offsetY = 5.0f;
    state.subimage = 1;
    EXPECT_EQ(applyKey(state, ' '), KeyRequest::none);
    EXPECT_EQ(state.offsetX, 0.0f);
    EXPECT_EQ(state.offsetY, 0.0f);
    EXPECT_EQ(state.subimage, 1);

    state.mode = 0;
    applyKey(state, '-');
    EXPECT_EQ(state.mode, 2);
    applyKey(state, '-');
    EXPECT_EQ(state.mode, 1);
    applyKey(state, '-');
    EXPECT_EQ(state.mode, 0);
    state.mode = 2;
    applyKey(state, '+');
    applyKey(state, '+');
    applyKey(state, '+');
    EXPECT_EQ(state.mode, 5); // no bound here; the next frame shows mode 0
    state.mode = -7;
    applyKey(state, 'q');
    EXPECT_EQ(state.mode, 0); // never left negative

    applyKey(state, 'f');
    EXPECT_TRUE(state.flickerFrozen);
    applyKey(state, 'f');
    EXPECT_FALSE(state.flickerFrozen);
    applyKey(state, 'm');
    EXPECT_FALSE(state.movementOn);
    applyKey(state, 'm');
    EXPECT_TRUE(state.movementOn);

    EXPECT_EQ(applyKey(state, 'v'), KeyRequest::toggleSwapInterval);
    EXPECT_EQ(applyKey(state, 27), KeyRequest::quit);
}

TEST(ApplyKey, CapitalsAndOtherKeysChangeNothing) {
    const DemoState before = freshState();
    for (int key = 0; key < 256; ++key) {
        if (std::string(" +-fmsv\x1b").find(static_cast<char>(key)) != std::string::npos &&
            key != 0) {
            continue;
        }
        DemoState state = before;
        EXPECT_EQ(applyKey(state, static_cast<unsigned char>(key)), KeyRequest::none) << key;
        EXPECT_EQ(state.mode, before.mode);
        EXPECT_EQ(state.subimage, before.subimage);
        EXPECT_EQ(state.movementOn, before.movementOn);
        EXPECT_EQ(state.flickerFrozen, before.flickerFrozen);
        EXPECT_EQ(state.offsetX, before.offsetX);
    }
}

TEST(Overlay, LinesOfTheStartState) {
    DemoState state = freshState();
    state.subimage = 1;
    const auto lines = overlayLines(state);
    const char *expected[] = {
        "Moiravel Demo (1024x768)",
        "Mode (+/-): ",
        " Our algorithm",
        "Keys: SPACE (Restart), ",
        "      M (Movement), F (Flicker Subimages)",
        "current subimage:1",
    };
    const float rows[] = {0.95f, 0.85f, 0.78f, 0.68f, 0.61f, 0.51f};
    for (int i = 0; i < overlayLineCount; ++i) {
        EXPECT_EQ(overlayLineText(lines[static_cast<std::size_t>(i)]), expected[i]);
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].x, -0.1f);
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].y, rows[i]);
    }
    // The numbers are drawn as numbers.
    EXPECT_TRUE(lines[0].pieces[1].isNumber);
    EXPECT_EQ(lines[0].pieces[1].number, 1024);
}

TEST(Overlay, SwitchesOffAndFrozen) {
    DemoState state = freshState();
    state.movementOn = false;
    state.flickerFrozen = true;
    state.mode = 1;
    const auto lines = overlayLines(state);
    EXPECT_EQ(overlayLineText(lines[2]),
              " Lanczos - postfiltering (filter subpixels inside display pixel)");
    EXPECT_EQ(overlayLineText(lines[4]), "      MX(Movement), FX(Flicker Subimages)");
    EXPECT_EQ(overlayLineText(lines[5]), "current subimage:0  S (Step Subimage)");
}

TEST(Overlay, ModeNamesAndNumbers) {
    EXPECT_EQ(modeName(0), "Our algorithm");
    EXPECT_EQ(modeName(2), "Lanczos - prefiltering");
    EXPECT_EQ(modeName(3), "Mmmm... this mode should not be here");
    EXPECT_EQ(modeName(-1), "Mmmm... this mode should not be here");
    EXPECT_EQ(numberText(0), "0");
    EXPECT_EQ(numberText(-5), "-5");
    EXPECT_EQ(numberText(1000), "1000");
    EXPECT_EQ(numberText(1024), "1024");
    EXPECT_EQ(numberText(INT_MAX), "2147483647");
    EXPECT_EQ(numberText(INT_MIN), "-2147483648");
}

TEST(SwapInterval, FlagAndExtensionChoice) {
    EXPECT_EQ(flippedSwapInterval(0), 1);
    EXPECT_EQ(flippedSwapInterval(1), 0);
    EXPECT_EQ(flippedSwapInterval(7), 0);
    const char *all = "GLX_SGI_swap_control GLX_MESA_swap_control GLX_EXT_swap_control";
    EXPECT_EQ(chooseGlxSwapControl(all, 1), SwapControl::glxExt);
    EXPECT_EQ(chooseGlxSwapControl("GLX_SGI_swap_control GLX_MESA_swap_control", 0),
              SwapControl::glxMesa);
    EXPECT_EQ(chooseGlxSwapControl("GLX_SGI_swap_control", 1), SwapControl::glxSgi);
    EXPECT_EQ(chooseGlxSwapControl("GLX_SGI_swap_control", 0), SwapControl::none);
    // A plain substring search: a longer name that begins with it matches.
    EXPECT_EQ(chooseGlxSwapControl("GLX_EXT_swap_control_tear", 1), SwapControl::glxExt);
    EXPECT_EQ(chooseGlxSwapControl("GLX_ARB_create_context", 1), SwapControl::none);
    EXPECT_EQ(chooseGlxSwapControl(nullptr, 1), SwapControl::none);
}

TEST(SceneSetup, ImageFileNames) {
    EXPECT_EQ(imageFileName(0), "0Image.ppm");
    EXPECT_EQ(imageFileName(3), "3Image.ppm");
}

TEST(SceneSetup, SubimageListHoldsEachModesFilesFromTheSharedImageSet) {
    // The list the frame loop indexes with mode * subimagesPerMode + subimage.
    EXPECT_EQ(subimageFiles(), (std::vector<int>{0, 1, 2, 3, 3, 3}));
    const int perMode = DemoState{}.subimagesPerMode;
    for (int mode = 0; mode < moiravel::modeCount; ++mode) {
        EXPECT_EQ(modeName(mode), moiravel::modeNames[static_cast<std::size_t>(mode)]);
        for (int subimage = 0; subimage < perMode; ++subimage) {
            EXPECT_EQ(subimageFiles()[static_cast<std::size_t>(mode * perMode + subimage)],
                      moiravel::modeImages[static_cast<std::size_t>(mode)]
                                          [static_cast<std::size_t>(subimage)]);
        }
    }
}

} // namespace
