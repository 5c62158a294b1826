// SPDX-License-Identifier: MIT
// The steps of moiravel-make-images: from one picture to the viewer's four image files.
#pragma once

#include "eye_model.h"
#include "file_set.h"
#include "image_set.h"
#include "fit.h"
#include "picture.h"
#include "test_pattern.h"
#include "transfer.h"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace moiravel::images {

// The largest part of the picture, from its top-left corner, that makes whole display pixels
// with a display width that is a multiple of 4. Appends a note to notes when it crops.
Picture cropToDisplayGrid(const Picture &picture, int factor, std::vector<std::string> &notes);

struct ImageSet {
    std::array<Picture, imageCount> images; // code values, rounded to 0..255
    int fitIterations = 0;
    bool fitConverged = false;
};

// Makes the four images from a picture of code values whose size is a multiple of the factor
// (width a multiple of 4 times the factor). Everything happens in the display's light: the
// Lanczos pair (files 2 and 3) is the picture's light reduced, the fitted pair (files 0 and 1)
// starts from it, and each is encoded back to code values and rounded at the end.
ImageSet makeImageSet(const EyeModel &model, const Picture &picture, const FitOptions &options,
                      const Transfer &transfer = {});

// What the eye sees of one mode, in figures.
struct ModeFigures {
    // RMS difference, in code values (0..255), between the picture and what the eye sees,
    // encoded back to code values.
    double rms = 0.0;
    // The mean absolute difference in light between the two subimages, as a fraction of white:
    // the flicker the mode costs.
    double flicker = 0.0;
};
using Figures = std::array<ModeFigures, modeCount>;

Figures modeFigures(const EyeModel &model, const ImageSet &set, const Picture &picture,
                    const Transfer &transfer = {});

// What the eye sees in a mode, in code values: all of it, or the part in the region.
Picture perceivedMode(const EyeModel &model, const ImageSet &set, int mode,
                      const Transfer &transfer = {});
Picture perceivedMode(const EyeModel &model, const ImageSet &set, int mode,
                      const Transfer &transfer, const Region &region);

// One row of the preview: what the eye sees under this model, and the model's figures.
struct PreviewRow {
    const EyeModel *model;
    Figures figures;
};

// The picture, then one row per eye model with the three modes' perceived images and their
// errors, each cut to the region, magnified by zoom and labelled.
Image8 makePreview(std::span<const PreviewRow> rows, const ImageSet &set, const Picture &picture,
                   const Region &region, int zoom, const Transfer &transfer);

// The README.txt the viewer reads: its first line gives the display resolution, the rest
// describes the files and how they were made.
struct ReadmeFacts {
    int screenWidth = 0;
    int screenHeight = 0;
    int factor = 2;
    std::string source;
    std::string model; // "display hold, transfer srgb"
    Figures figures;
};
std::string readmeText(const ReadmeFacts &facts);

// The four images' files in the directory: "DIR/0Image.ppm" .. "DIR/3Image.ppm".
std::vector<std::string> imagePaths(const std::string &directory);

// Writes the four images as plain PPM to those files of the set, formatted in parallel; or
// says why one of them could not be written (the first by number).
Reason writeImageSet(FileSet &files, const std::string &directory, const ImageSet &set);

} // namespace moiravel::images
