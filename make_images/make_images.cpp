// SPDX-License-Identifier: MIT
#include "make_images.h"

#include "lanczos.h"
#include "parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace moiravel::images {

Picture cropToDisplayGrid(const Picture &picture, int factor, std::vector<std::string> &notes) {
    const int displayWidth = picture.width / factor / 4 * 4;
    const int displayHeight = picture.height / factor;
    if (displayWidth <= 0 || displayHeight <= 0) {
        throw std::runtime_error("the picture is too small: it needs at least " +
                                 std::to_string(4 * factor) + " x " + std::to_string(factor) +
                                 " pixels at factor " + std::to_string(factor));
    }
    const int width = displayWidth * factor;
    const int height = displayHeight * factor;
    if (width == picture.width && height == picture.height) {
        return picture;
    }
    notes.push_back("cropped the picture from " + std::to_string(picture.width) + "x" +
                    std::to_string(picture.height) + " to " + std::to_string(width) + "x" +
                    std::to_string(height) + " (display images " + std::to_string(displayWidth) +
                    "x" + std::to_string(displayHeight) +
                    ": whole display pixels, width a multiple of 4)");
    return crop(picture, 0, 0, width, height);
}

namespace {

// The picture's light, or a subimage's: each sample decoded through the transfer curve.
Picture lightOf(const Picture &codes, const Transfer &transfer) {
    Picture light = codes;
    pictureToLight(transfer, light);
    return light;
}

// A filtered or fitted picture in light, as a file holds it: clamped, encoded and rounded.
Picture codesOf(Picture light, const Transfer &transfer) {
    for (float &s : light.samples) {
        s = std::clamp(s, 0.0f, 255.0f);
    }
    pictureToCode(transfer, light);
    quantise(light);
    return light;
}

} // namespace

ImageSet makeImageSet(const EyeModel &model, const Picture &picture, const FitOptions &options,
                      const Transfer &transfer) {
    const int k = model.factor();
    const int w = model.displayWidth();
    const int h = model.displayHeight();
    const Picture light = lightOf(picture, transfer);
    const Picture aligned = lanczosReduce(light, k, 0.0, 0.0, w, h);
    const Picture shifted =
        lanczosReduce(light, k, model.subimage0OffsetX(), model.subimage0OffsetY(), w, h);
    FitResult fit = fitSubimages(model, light, shifted, aligned, options);
    ImageSet set;
    set.images[0] = codesOf(std::move(fit.sub0), transfer);
    set.images[1] = codesOf(std::move(fit.sub1), transfer);
    set.images[2] = codesOf(shifted, transfer);
    set.images[3] = codesOf(aligned, transfer);
    set.fitIterations = fit.iterations;
    set.fitConverged = fit.converged;
    return set;
}

Picture perceivedMode(const EyeModel &model, const ImageSet &set, int mode,
                      const Transfer &transfer) {
    return perceivedMode(model, set, mode, transfer,
                         {0, 0, model.pictureWidth(), model.pictureHeight()});
}

Picture perceivedMode(const EyeModel &model, const ImageSet &set, int mode,
                      const Transfer &transfer, const Region &region) {
    const auto &files = modeImages[static_cast<std::size_t>(mode)];
    Picture seen =
        model.perceiveRows(lightOf(set.images[files[0]], transfer),
                           lightOf(set.images[files[1]], transfer), region.y, region.height);
    if (region.x != 0 || region.width != seen.width) {
        seen = crop(seen, region.x, 0, region.width, region.height);
    }
    pictureToCode(transfer, seen);
    return seen;
}

Figures modeFigures(const EyeModel &model, const ImageSet &set, const Picture &picture,
                    const Transfer &transfer) {
    Figures figures{};
    for (int mode = 0; mode < modeCount; ++mode) {
        const Picture seen = perceivedMode(model, set, mode, transfer);
        double squares = 0.0;
        for (std::size_t i = 0; i < seen.samples.size(); ++i) {
            const double d = static_cast<double>(seen.samples[i]) - picture.samples[i];
            squares += d * d;
        }
        const auto &files = modeImages[static_cast<std::size_t>(mode)];
        const Picture a = lightOf(set.images[files[0]], transfer);
        const Picture b = lightOf(set.images[files[1]], transfer);
        double flicker = 0.0;
        for (std::size_t i = 0; i < a.samples.size(); ++i) {
            flicker += std::abs(static_cast<double>(a.samples[i]) - b.samples[i]);
        }
        figures[mode].rms = std::sqrt(squares / static_cast<double>(seen.samples.size()));
        figures[mode].flicker = flicker / (255.0 * static_cast<double>(a.samples.size()));
    }
    return figures;
}

Image8 makePreview(std::span<const PreviewRow> rows, const ImageSet &set, const Picture &picture,
                   const Region &region, int zoom, const Transfer &transfer) {
    const int labelScale = 2;
    const int gap = 8;
    const int labelHeight = textHeight(labelScale) + gap;
    const int panelWidth = region.width * zoom;
    const int panelHeight = region.height * zoom;
    const int sheetRows = 1 + static_cast<int>(rows.size());
    Picture sheet(modeCount * panelWidth + (modeCount + 1) * gap,
                  sheetRows * (panelHeight + labelHeight + gap) + gap, 32.0f);
    const float ink[3] = {255, 255, 255};
    // part: the region's pixels only.
    const auto place = [&](const Picture &part, int column, int row, const std::string &label) {
        const int left = gap + column * (panelWidth + gap);
        const int top = gap + row * (panelHeight + labelHeight + gap);
        drawText(sheet, left, top, label, labelScale, ink);
        for (int y = 0; y < panelHeight; ++y) {
            for (int x = 0; x < panelWidth; ++x) {
                const float *from = part.pixel(x / zoom, y / zoom);
                std::copy(from, from + 3, sheet.pixel(left + x, top + labelHeight + y));
            }
        }
    };
    place(crop(picture, region.x, region.y, region.width, region.height), 0, 0,
          "PICTURE  TRANSFER " + transferName(transfer));
    const char *shortNames[modeCount] = {"OUR ALGORITHM", "LANCZOS POST", "LANCZOS PRE"};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const EyeModel &model = *rows[row].model;
        for (int mode = 0; mode < modeCount; ++mode) {
            char label[96];
            std::snprintf(label, sizeof label, "%s  MODE %d %s  RMS %.1f",
                          displayModelName(model.display()), mode, shortNames[mode],
                          rows[row].figures[mode].rms);
            place(perceivedMode(model, set, mode, transfer, region), mode,
                  static_cast<int>(row) + 1, label);
        }
    }
    return toImage8(sheet);
}

std::string readmeText(const ReadmeFacts &facts) {
    char line[200];
    std::string text =
        std::to_string(facts.screenWidth) + " x " + std::to_string(facts.screenHeight) + "\n";
    text += "\nThe first line gives the display resolution (width x height) for moiravel-demo.\n";
    text += "The images were made by moiravel-make-images from " + facts.source + " at factor " +
            std::to_string(facts.factor) + "\n(each display pixel stands for " +
            std::to_string(facts.factor) + " x " + std::to_string(facts.factor) +
            " picture pixels), " + facts.model + ":\n\n";
    text += "0Image.ppm, 1Image.ppm  mode 0, \"Our algorithm\": two subimages fitted together so\n"
            "                        that their average, as an eye following the moving image\n"
            "                        sees it, comes as close as possible to the picture\n";
    text += "2Image.ppm              mode 1, subimage 0: Lanczos-3 reduction sampled half a\n"
            "                        display pixel left of and above 3Image.ppm\n";
    text += "3Image.ppm              mode 1, subimage 1, and mode 2: Lanczos-3 reduction\n\n";
    text += "What the eye sees against the picture: RMS error in code values (0..255) and\n"
            "flicker (mean difference in light between the two subimages, % of white):\n";
    for (int mode = 0; mode < modeCount; ++mode) {
        std::snprintf(line, sizeof line, "  mode %d  %7.3f  %5.2f %%  %s\n", mode,
                      facts.figures[mode].rms, 100.0 * facts.figures[mode].flicker,
                      modeNames[mode]);
        text += line;
    }
    return text;
}

std::vector<std::string> imagePaths(const std::string &directory) {
    std::vector<std::string> paths;
    for (int i = 0; i < imageCount; ++i) {
        paths.push_back((std::filesystem::path(directory) / imageFileName(i)).string());
    }
    return paths;
}

Reason writeImageSet(FileSet &files, const std::string &directory, const ImageSet &set) {
    const std::vector<std::string> paths = imagePaths(directory);
    std::array<Reason, imageCount> reasons;
    parallelFor(imageCount, [&](std::size_t i) {
        reasons[i] = files.write(paths[i], formatPlainPpm(toImage8(set.images[i])));
    });
    for (Reason &reason : reasons) {
        if (reason) {
            return reason;
        }
    }
    return std::nullopt;
}

} // namespace moiravel::images
