// SPDX-License-Identifier: MIT
// The display's transfer curve: how code values 0..255 become light and back. It converts
// samples; it knows nothing of pictures' layout or of the eye.
#pragma once

#include "picture.h"

#include <optional>
#include <string>

namespace moiravel::images {

// srgb: the IEC 61966-2-1 piecewise curve; gamma: light = code^gamma; code: light is the code
// value itself (the eye would average code values).
struct Transfer {
    enum class Kind { srgb, gamma, code };
    Kind kind = Kind::srgb;
    double gamma = 2.2;
};

// "srgb", "code" or "gamma:G" with G from 0.1 to 10; nothing for any other text.
std::optional<Transfer> parseTransfer(const std::string &text);
std::string transferName(const Transfer &transfer);

// Light on the same 0..255 scale as the code values: 0 is the display's black, 255 its white.
// Both are exact inverses of each other on 0..255 and clamp outside it.
double toLight(const Transfer &transfer, double code);
double toCode(const Transfer &transfer, double light);

// Every sample of the picture converted, in place.
void pictureToLight(const Transfer &transfer, Picture &picture);
void pictureToCode(const Transfer &transfer, Picture &picture);

} // namespace moiravel::images
