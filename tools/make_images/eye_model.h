// What the eye sees of a mode's two subimages while the viewer moves the image.
//
// With movement on, the viewer shows subimage 1, 0, 1, 0, ... and moves the image one display
// pixel left and one up before every frame that shows subimage 0. An eye that follows the
// image moves smoothly along that diagonal, so relative to the eye the two subimages land at
// two places a fixed displacement apart, and at the refresh rate the eye sees their average.
// The model works on the picture's own grid: with a factor K, each display pixel covers K x K
// picture pixels.
#pragma once

#include "picture.h"

#include <span>
#include <vector>

namespace moiravel::images {

// A displacement in display pixels: x to the right, y down the image.
struct Shift {
    double x = 0.0;
    double y = 0.0;
};

// One frame as the viewer draws it: the subimage shown and the image's offsets, in display
// pixels in window coordinates (y counts upwards), as they stand when the frame is drawn.
struct ShownFrame {
    int subimage = 0;
    double offsetX = 0.0;
    double offsetY = 0.0;
};

// Where subimage 1 appears relative to subimage 0 to an eye that follows the image at its mean
// velocity over the frames (which must include both subimages and span whole cycles).
Shift trackedDisplacement(std::span<const ShownFrame> frames);

// The displacement of subimage 1 relative to subimage 0 that the viewer's movement produces:
// half a display pixel to the right and half a display pixel down.
inline constexpr Shift subimage1Displacement{0.5, 0.5};

// How one axis of a subimage covers the picture: display pixel j covers picture coordinates
// [j * factor + offset, (j + 1) * factor + offset). Each picture pixel i, covering [i, i + 1),
// takes the display pixels it overlaps, weighted by the length of the overlap (the weights sum
// to 1). Display pixels beyond the subimage's edge are replaced by the edge pixel.
struct AxisCover {
    std::vector<int> first;     // per picture pixel: the first display pixel it overlaps
    std::vector<int> second;    // the second one (equal to first when there is only one)
    std::vector<float> weight0; // overlap with first
    std::vector<float> weight1; // overlap with second (0 when equal to first)
};

AxisCover coverAxis(int pictureSize, int displaySize, int factor, double offset);

// Products of two covers of one axis: entry (j, d) sums over picture pixels the weight with
// which subimage p's display pixel j and subimage q's display pixel j + d cover it, d in -1..1.
struct AxisGram {
    std::vector<float> band; // displaySize * 3 entries, d = -1, 0, 1
};

// The eye's view of two subimages of displayWidth x displayHeight pixels, as a picture of
// (factor * displayWidth) x (factor * displayHeight) pixels. Subimage 1 is aligned with the
// picture; subimage 0 is placed the displacement (times the factor) up and to the left of it.
class EyeModel {
  public:
    EyeModel(int displayWidth, int displayHeight, int factor,
             Shift displacement = subimage1Displacement);

    int displayWidth() const { return displayWidth_; }
    int displayHeight() const { return displayHeight_; }
    int pictureWidth() const { return displayWidth_ * factor_; }
    int pictureHeight() const { return displayHeight_ * factor_; }
    int factor() const { return factor_; }
    // Offset of subimage 0 relative to the picture, in picture pixels (subimage 1's is 0).
    double subimage0OffsetX() const { return offset0X_; }
    double subimage0OffsetY() const { return offset0Y_; }

    // The average of both subimages as the eye sees it.
    Picture perceive(const Picture &sub0, const Picture &sub1) const;
    // Root-mean-square difference, over all samples, between perceive(sub0, sub1) and target.
    double rmsError(const Picture &sub0, const Picture &sub1, const Picture &target) const;

    // The transpose of perceive: the picture's samples spread back onto both subimages.
    void transpose(const Picture &picture, Picture &out0, Picture &out1) const;
    // transpose(perceive(x0, x1)) without going through the picture, on the display grid.
    void normal(const Picture &x0, const Picture &x1, Picture &out0, Picture &out1) const;
    // The diagonal of normal() at a display pixel of subimage p (the same for all channels).
    float normalDiagonal(int p, int x, int y) const;
    // The sum of the magnitudes of normal()'s row at that pixel (all its entries are >= 0).
    double normalRowSum(int p, int x, int y) const;

  private:
    void perceiveRow(int row, const Picture &sub0, const Picture &sub1, float *out) const;
    const AxisGram &gramX(int p, int q) const { return gramX_[2 * p + q]; }
    const AxisGram &gramY(int p, int q) const { return gramY_[2 * p + q]; }

    int displayWidth_;
    int displayHeight_;
    int factor_;
    double offset0X_;
    double offset0Y_;
    AxisCover coverX_[2];
    AxisCover coverY_[2];
    AxisGram gramX_[4];
    AxisGram gramY_[4];
    // Per subimage and display row: the picture rows it covers, with their weights.
    std::vector<std::vector<std::pair<int, float>>> rowsOf_[2];
};

} // namespace moiravel::images
