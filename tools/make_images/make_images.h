// The steps of moiravel-make-images: from one picture to the viewer's four image files.
#pragma once

#include "eye_model.h"
#include "image_set.h"
#include "fit.h"
#include "picture.h"
#include "test_pattern.h"

#include <array>
#include <string>
#include <vector>

namespace moiravel::images {

// The largest part of the picture, from its top-left corner, that makes whole display pixels
// with a display width that is a multiple of 4. Appends a note to notes when it crops.
Picture cropToDisplayGrid(const Picture &picture, int factor, std::vector<std::string> &notes);

struct ImageSet {
    std::array<Picture, imageCount> images; // rounded to 0..255
    int fitIterations = 0;
    bool fitConverged = false;
};

// Makes the four images from a picture whose size is a multiple of the factor (width a
// multiple of 4 times the factor): the Lanczos pair (files 2 and 3) and the fitted pair (files
// 0 and 1), the fit starting from the Lanczos pair.
ImageSet makeImageSet(const EyeModel &model, const Picture &picture, const FitOptions &options);

// The RMS error, on the 0..255 scale, of what the eye sees in each mode against the picture.
std::array<double, modeCount> modeErrors(const EyeModel &model, const ImageSet &set,
                                         const Picture &picture);

// What the eye sees in a mode.
Picture perceivedMode(const EyeModel &model, const ImageSet &set, int mode);

// The picture and the three modes' perceived images cut to the region, magnified by zoom and
// laid out two by two with a label above each.
Image8 makePreview(const EyeModel &model, const ImageSet &set, const Picture &picture,
                   const Region &region, int zoom, const std::array<double, modeCount> &errors);

// The README.txt the viewer reads: its first line gives the display resolution, the rest
// describes the files.
std::string readmeText(int screenWidth, int screenHeight, int factor, const std::string &source,
                       const std::array<double, modeCount> &errors);

// Writes "0Image.ppm" .. "3Image.ppm" into the directory.
void writeImageSet(const std::string &directory, const ImageSet &set);

} // namespace moiravel::images
