// SPDX-License-Identifier: MIT
#include "transfer.h"

#include "parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace moiravel::images {

namespace {

// The sRGB curve on 0..1: linear below the join, a 2.4 power above it.
constexpr double srgbCodeJoin = 0.04045;
constexpr double srgbLightJoin = 0.0031308;

double srgbToLight(double v) {
    return v <= srgbCodeJoin ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double srgbToCode(double l) {
    return l <= srgbLightJoin ? l * 12.92 : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
}

template <typename Convert> void convertPicture(Picture &picture, Convert convert) {
    const std::size_t rows = static_cast<std::size_t>(picture.height);
    const std::size_t perRow = static_cast<std::size_t>(picture.width) * 3;
    parallelFor(rows, [&](std::size_t y) {
        float *row = picture.samples.data() + y * perRow;
        for (std::size_t s = 0; s < perRow; ++s) {
            row[s] = static_cast<float>(convert(row[s]));
        }
    });
}

} // namespace

std::optional<Transfer> parseTransfer(const std::string &text) {
    if (text == "srgb") {
        return Transfer{Transfer::Kind::srgb, 2.2};
    }
    if (text == "code") {
        return Transfer{Transfer::Kind::code, 1.0};
    }
    const std::string prefix = "gamma:";
    if (text.rfind(prefix, 0) == 0 && text.size() > prefix.size()) {
        const char *start = text.c_str() + prefix.size();
        char *end = nullptr;
        const double gamma = std::strtod(start, &end);
        if (*end == '\0' && gamma >= 0.1 && gamma <= 10.0) {
            return Transfer{Transfer::Kind::gamma, gamma};
        }
    }
    return std::nullopt;
}

std::string transferName(const Transfer &transfer) {
    switch (transfer.kind) {
    case Transfer::Kind::srgb:
        return "srgb";
    case Transfer::Kind::code:
        return "code";
    case Transfer::Kind::gamma:
        break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "gamma:%g", transfer.gamma);
    return text;
}

double toLight(const Transfer &transfer, double code) {
    const double v = std::clamp(code / 255.0, 0.0, 1.0);
    switch (transfer.kind) {
    case Transfer::Kind::srgb:
        return 255.0 * srgbToLight(v);
    case Transfer::Kind::gamma:
        return 255.0 * std::pow(v, transfer.gamma);
    case Transfer::Kind::code:
        break;
    }
    return 255.0 * v;
}

double toCode(const Transfer &transfer, double light) {
    const double l = std::clamp(light / 255.0, 0.0, 1.0);
    switch (transfer.kind) {
    case Transfer::Kind::srgb:
        return 255.0 * srgbToCode(l);
    case Transfer::Kind::gamma:
        return 255.0 * std::pow(l, 1.0 / transfer.gamma);
    case Transfer::Kind::code:
        break;
    }
    return 255.0 * l;
}

void pictureToLight(const Transfer &transfer, Picture &picture) {
    if (transfer.kind == Transfer::Kind::code) {
        return;
    }
    // Files hold whole code values: those come from a table.
    float table[256];
    for (int code = 0; code < 256; ++code) {
        table[code] = static_cast<float>(toLight(transfer, code));
    }
    convertPicture(picture, [&](float s) {
        const float whole = std::round(s);
        return whole == s && whole >= 0.0f && whole <= 255.0f ? table[static_cast<int>(whole)]
                                                              : toLight(transfer, s);
    });
}

void pictureToCode(const Transfer &transfer, Picture &picture) {
    if (transfer.kind != Transfer::Kind::code) {
        convertPicture(picture, [&](float s) { return toCode(transfer, s); });
    }
}

} // namespace moiravel::images
