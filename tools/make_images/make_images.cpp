#include "make_images.h"

#include "lanczos.h"
#include "parallel.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
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

ImageSet makeImageSet(const EyeModel &model, const Picture &picture, const FitOptions &options) {
    const int k = model.factor();
    const int w = model.displayWidth();
    const int h = model.displayHeight();
    ImageSet set;
    Picture aligned = lanczosReduce(picture, k, 0.0, 0.0, w, h);
    Picture shifted =
        lanczosReduce(picture, k, model.subimage0OffsetX(), model.subimage0OffsetY(), w, h);
    FitResult fit = fitSubimages(model, picture, shifted, aligned, options);
    quantise(fit.sub0);
    quantise(fit.sub1);
    quantise(shifted);
    quantise(aligned);
    set.images[0] = std::move(fit.sub0);
    set.images[1] = std::move(fit.sub1);
    set.images[2] = std::move(shifted);
    set.images[3] = std::move(aligned);
    set.fitIterations = fit.iterations;
    set.fitConverged = fit.converged;
    return set;
}

std::array<double, modeCount> modeErrors(const EyeModel &model, const ImageSet &set,
                                         const Picture &picture) {
    std::array<double, modeCount> errors{};
    for (int mode = 0; mode < modeCount; ++mode) {
        errors[mode] = model.rmsError(set.images[modeImages[mode][0]],
                                      set.images[modeImages[mode][1]], picture);
    }
    return errors;
}

Picture perceivedMode(const EyeModel &model, const ImageSet &set, int mode) {
    return model.perceive(set.images[modeImages[mode][0]], set.images[modeImages[mode][1]]);
}

Image8 makePreview(const EyeModel &model, const ImageSet &set, const Picture &picture,
                   const Region &region, int zoom, const std::array<double, modeCount> &errors) {
    const int labelScale = 2;
    const int gap = 8;
    const int labelHeight = textHeight(labelScale) + gap;
    const int panelWidth = region.width * zoom;
    const int panelHeight = region.height * zoom;
    Picture sheet(2 * panelWidth + 3 * gap, 2 * (panelHeight + labelHeight) + 3 * gap, 32.0f);
    const float ink[3] = {255, 255, 255};
    const auto place = [&](const Picture &full, int slot, const std::string &label) {
        const int left = gap + (slot % 2) * (panelWidth + gap);
        const int top = gap + (slot / 2) * (panelHeight + labelHeight + gap);
        drawText(sheet, left, top, label, labelScale, ink);
        for (int y = 0; y < panelHeight; ++y) {
            for (int x = 0; x < panelWidth; ++x) {
                const float *from = full.pixel(region.x + x / zoom, region.y + y / zoom);
                std::copy(from, from + 3, sheet.pixel(left + x, top + labelHeight + y));
            }
        }
    };
    place(picture, 0, "PICTURE");
    const char *shortNames[modeCount] = {"OUR ALGORITHM", "LANCZOS POSTFILTERING",
                                         "LANCZOS PREFILTERING"};
    for (int mode = 0; mode < modeCount; ++mode) {
        char label[96];
        std::snprintf(label, sizeof label, "MODE %d %s  RMS %.1f", mode, shortNames[mode],
                      errors[mode]);
        place(perceivedMode(model, set, mode), mode + 1, label);
    }
    return toImage8(sheet);
}

std::string readmeText(int screenWidth, int screenHeight, int factor, const std::string &source,
                       const std::array<double, modeCount> &errors) {
    char line[160];
    std::string text = std::to_string(screenWidth) + " x " + std::to_string(screenHeight) + "\n";
    text += "\nThe first line gives the display resolution (width x height) for moiravel-demo.\n";
    text += "The images were made by moiravel-make-images from " + source + " at factor " +
            std::to_string(factor) + "\n(each display pixel stands for " + std::to_string(factor) +
            " x " + std::to_string(factor) + " picture pixels):\n\n";
    text += "0Image.ppm, 1Image.ppm  mode 0, \"Our algorithm\": two subimages fitted together so\n"
            "                        that their average, as an eye following the moving image\n"
            "                        sees it, comes as close as possible to the picture\n";
    text += "2Image.ppm              mode 1, subimage 0: Lanczos-3 reduction sampled half a\n"
            "                        display pixel left of and above 3Image.ppm\n";
    text += "3Image.ppm              mode 1, subimage 1, and mode 2: Lanczos-3 reduction\n\n";
    text += "RMS error of what the eye sees against the picture (0..255 scale):\n";
    for (int mode = 0; mode < modeCount; ++mode) {
        std::snprintf(line, sizeof line, "  mode %d  %7.3f  %s\n", mode, errors[mode],
                      modeNames[mode]);
        text += line;
    }
    return text;
}

void writeImageSet(const std::string &directory, const ImageSet &set) {
    std::filesystem::create_directories(directory);
    parallelFor(imageCount, [&](std::size_t i) {
        const int index = static_cast<int>(i);
        const std::filesystem::path path = std::filesystem::path(directory) / imageFileName(index);
        writePlainPpm(path.string(), toImage8(set.images[index]));
    });
}

} // namespace moiravel::images
