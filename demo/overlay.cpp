// SPDX-License-Identifier: MIT
#include "overlay.h"

#include "draw_state.h"
#include "image_set.h"
#include "platform.h"

std::string modeName(int mode) {
    if (mode < 0 || mode >= moiravel::modeCount) {
        return "Mmmm... this mode should not be here";
    }
    return moiravel::modeNames[static_cast<std::size_t>(mode)];
}

std::string numberText(int value) {
    // Digits are formed from the magnitude as an unsigned number, so the most
    // negative int has one too.
    std::string text;
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        text += '-';
        magnitude = 0u - magnitude;
    }
    if (magnitude == 0) {
        return text + '0';
    }
    char digits[11];
    int count = 0;
    while (magnitude != 0) {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    while (count > 0) {
        text += digits[--count];
    }
    return text;
}

std::array<OverlayLine, overlayLineCount> overlayLines(const DemoState &state) {
    auto text = [](std::string literal) { return OverlayPiece{std::move(literal), false, 0}; };
    auto number = [](int value) { return OverlayPiece{{}, true, value}; };

    std::string modeLine(1, ' ');
    modeLine += modeName(state.mode);
    OverlayLine status{-0.1f, 0.51f, {text("current subimage:"), number(state.subimage)}};
    if (state.flickerFrozen) {
        status.pieces.push_back(text("  S (Step Subimage)"));
    }
    return {{
        {-0.1f,
         0.95f,
         {text("Moiravel Demo ("), number(state.screenWidth), text("x"), number(state.screenHeight),
          text(")")}},
        {-0.1f, 0.85f, {text("Mode (+/-): ")}},
        {-0.1f, 0.78f, {text(modeLine)}},
        {-0.1f, 0.68f, {text("Keys: SPACE (Restart), ")}},
        {-0.1f,
         0.61f,
         {text(state.movementOn ? "      M (Movement), " : "      MX(Movement), "),
          text(state.flickerFrozen ? "FX(Flicker Subimages)" : "F (Flicker Subimages)")}},
        status,
    }};
}

std::string overlayLineText(const OverlayLine &line) {
    std::string text;
    for (const OverlayPiece &piece : line.pieces) {
        text += piece.isNumber ? numberText(piece.number) : piece.text;
    }
    return text;
}

void drawText(void *font, const char *text) {
    if (text == nullptr) {
        return;
    }
    for (const char *c = text; *c != '\0'; ++c) {
        drawCharacter(font, static_cast<signed char>(*c));
    }
}

void drawNumber(void *font, int value) {
    drawText(font, numberText(value).c_str());
}

void drawOverlay() {
    glPushAttrib(allAttribBits);
    glColor3f(1.0f, 1.0f, 0.0f);
    for (const OverlayLine &line : overlayLines(demoState)) {
        glRasterPos2f(line.x, line.y);
        for (const OverlayPiece &piece : line.pieces) {
            if (piece.isNumber) {
                drawNumber(overlayFont(), piece.number);
            } else {
                drawText(overlayFont(), piece.text.c_str());
            }
        }
    }
    glPopAttrib();
}
