// SPDX-License-Identifier: MIT
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

// How the display presents each frame. hold: the frame stands on the screen for the whole
// refresh while the tracking eye moves on, so each subimage reaches the eye smeared along the
// movement. flash: the frame lights up for an instant (strobed or impulse displays).
enum class DisplayModel { hold, flash };
inline constexpr DisplayModel displayModels[] = {DisplayModel::hold, DisplayModel::flash};
const char *displayModelName(DisplayModel model);

// How far a held frame moves relative to the tracking eye while it is shown, in display pixels
// (x to the right, y down the image). From the viewer's frames, like trackedDisplacement.
Shift trackedSmear(std::span<const ShownFrame> frames);

// That motion for the viewer's movement: half a display pixel to the right and half down, the
// same as subimage1Displacement, since the viewer moves the image once every two frames.
inline constexpr Shift frameSmear{0.5, 0.5};

// What one display pixel of a subimage puts on the picture: picture pixel (K jx + ux, K jy + uy)
// gets weight at(ux, uy) of display pixel (jx, jy). The weights are the overlap of the picture
// pixel with the display pixel's square, averaged over the smear; they sum to K * K.
struct PixelKernel {
    int x0 = 0; // the first ux and uy with room for a weight
    int y0 = 0;
    int width = 0;
    int height = 0;
    std::vector<double> weights; // width * height, rows of ux

    double at(int ux, int uy) const {
        const int x = ux - x0;
        const int y = uy - y0;
        return x < 0 || y < 0 || x >= width || y >= height
                   ? 0.0
                   : weights[static_cast<std::size_t>(y) * width + x];
    }
};

// The kernel of a display pixel placed offset picture pixels from the grid and moving along
// smear (in picture pixels) while it is seen, centred on its place: the smear runs from
// -smear / 2 to +smear / 2. Integrated exactly (the integrand is piecewise quadratic).
PixelKernel pixelKernel(int factor, Shift offset, Shift smear);

// The eye's view of two subimages of displayWidth x displayHeight pixels, as a picture of
// (factor * displayWidth) x (factor * displayHeight) pixels. Subimage 1 is aligned with the
// picture; subimage 0 is placed the displacement (times the factor) up and to the left of it.
// Under the hold model each is smeared by the frame's motion, centred on its place (the eye's
// phase along its path is free, and this choice keeps the references centred on the picture).
// Display pixels beyond a subimage's edge are replaced by the edge pixel.
class EyeModel {
  public:
    EyeModel(int displayWidth, int displayHeight, int factor,
             DisplayModel display = DisplayModel::flash, Shift displacement = subimage1Displacement,
             Shift smear = frameSmear);

    int displayWidth() const { return displayWidth_; }
    int displayHeight() const { return displayHeight_; }
    int pictureWidth() const { return displayWidth_ * factor_; }
    int pictureHeight() const { return displayHeight_ * factor_; }
    int factor() const { return factor_; }
    DisplayModel display() const { return display_; }
    // Offset of subimage 0 relative to the picture, in picture pixels (subimage 1's is 0).
    double subimage0OffsetX() const { return offset0X_; }
    double subimage0OffsetY() const { return offset0Y_; }

    // The average of both subimages as the eye sees it.
    Picture perceive(const Picture &sub0, const Picture &sub1) const;
    // Only the picture rows [firstRow, firstRow + rowCount) of it.
    Picture perceiveRows(const Picture &sub0, const Picture &sub1, int firstRow,
                         int rowCount) const;
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
    // One display pixel's contribution to a picture pixel of a given phase (i mod K).
    struct Tap {
        int mx; // the display pixel is (i / K - mx) along x
        int my;
        float weight;
    };
    // One entry of normal()'s row: subimage q's pixel (x + dx, y + dy).
    struct StencilTap {
        int dx;
        int dy;
        float weight;
    };

    EyeModel(int displayWidth, int displayHeight, int factor, DisplayModel display,
             Shift displacement, Shift smear, bool withNormal);
    void buildNormal(Shift displacement, Shift smear);
    void perceiveRow(int row, const Picture &sub0, const Picture &sub1, float *out) const;
    // The row classes: pixels near an edge each have their own row of normal(), the rest share.
    int classOf(int j, int size, int classes) const;
    const std::vector<StencilTap> &stencil(int p, int q, int x, int y) const;

    int displayWidth_;
    int displayHeight_;
    int factor_;
    DisplayModel display_;
    double offset0X_;
    double offset0Y_;
    PixelKernel kernel_[2];
    std::vector<Tap> taps_[2]; // per subimage and phase (K * K phases): the taps
    std::vector<std::size_t> tapStart_[2];
    int edge_ = 0;     // pixels this close to an edge have rows of their own
    int classesX_ = 0; // row classes along x and y
    int classesY_ = 0;
    std::vector<std::vector<StencilTap>> stencils_[4]; // per (p, q) and row class
};

} // namespace moiravel::images
