// SPDX-License-Identifier: MIT
#include "eye_model.h"

#include "parallel.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace moiravel::images {

namespace {

// The eye's velocity, in display pixels per frame in window coordinates: the image's mean
// velocity between two frames that show the same subimage, so that the stretch in between holds
// whole cycles. last is the later of those frames.
Shift eyeVelocity(std::span<const ShownFrame> frames, std::size_t &last) {
    last = frames.size();
    for (std::size_t f = frames.size(); f-- > 1;) {
        if (frames[f].subimage == frames.front().subimage) {
            last = f;
            break;
        }
    }
    if (last == frames.size()) {
        throw std::invalid_argument("the frames hold no whole cycle");
    }
    return {(frames[last].offsetX - frames.front().offsetX) / static_cast<double>(last),
            (frames[last].offsetY - frames.front().offsetY) / static_cast<double>(last)};
}

} // namespace

Shift trackedDisplacement(std::span<const ShownFrame> frames) {
    std::size_t last = 0;
    const Shift v = eyeVelocity(frames, last);
    double sumX[2] = {0.0, 0.0};
    double sumY[2] = {0.0, 0.0};
    int count[2] = {0, 0};
    for (std::size_t f = 0; f < last; ++f) {
        const int s = frames[f].subimage;
        if (s != 0 && s != 1) {
            continue;
        }
        // Position relative to the eye.
        sumX[s] += frames[f].offsetX - v.x * static_cast<double>(f);
        sumY[s] += frames[f].offsetY - v.y * static_cast<double>(f);
        ++count[s];
    }
    if (count[0] == 0 || count[1] == 0) {
        throw std::invalid_argument("trackedDisplacement: both subimages must be shown");
    }
    const double dx = sumX[1] / count[1] - sumX[0] / count[0];
    const double dyUp = sumY[1] / count[1] - sumY[0] / count[0];
    // Window y counts upwards, image rows count downwards.
    return {dx, -dyUp};
}

Shift trackedSmear(std::span<const ShownFrame> frames) {
    std::size_t last = 0;
    const Shift v = eyeVelocity(frames, last);
    // A held frame stands still while the eye moves on at v: relative to the eye it moves by -v
    // (and window y counts upwards, image rows downwards).
    return {-v.x, v.y};
}

const char *displayModelName(DisplayModel model) {
    return model == DisplayModel::hold ? "hold" : "flash";
}

namespace {

// The length of [u, u + 1) and [a, a + size) in common.
double overlap(int u, double a, int size) {
    return std::max(0.0, std::min(u + 1.0, a + size) - std::max(static_cast<double>(u), a));
}

} // namespace

PixelKernel pixelKernel(int factor, Shift offset, Shift smear) {
    if (factor <= 0) {
        throw std::invalid_argument("pixelKernel: bad factor");
    }
    const double halfX = std::abs(smear.x) / 2;
    const double halfY = std::abs(smear.y) / 2;
    PixelKernel kernel;
    kernel.x0 = static_cast<int>(std::floor(offset.x - halfX));
    kernel.y0 = static_cast<int>(std::floor(offset.y - halfY));
    kernel.width = static_cast<int>(std::ceil(offset.x + factor + halfX)) - kernel.x0;
    kernel.height = static_cast<int>(std::ceil(offset.y + factor + halfY)) - kernel.y0;
    kernel.weights.assign(static_cast<std::size_t>(kernel.width) * kernel.height, 0.0);
    for (int y = 0; y < kernel.height; ++y) {
        for (int x = 0; x < kernel.width; ++x) {
            const int ux = kernel.x0 + x;
            const int uy = kernel.y0 + y;
            // The overlap at time s in [-1/2, 1/2]; linear in s between the times at which an
            // edge of the moving square crosses an edge of the picture pixel.
            const auto at = [&](double s) {
                return overlap(ux, offset.x + s * smear.x, factor) *
                       overlap(uy, offset.y + s * smear.y, factor);
            };
            std::vector<double> cuts = {-0.5, 0.5};
            const auto addCuts = [&](int u, double start, double speed) {
                if (speed == 0.0) {
                    return;
                }
                for (const double edge : {u - factor, u + 1 - factor, u, u + 1}) {
                    const double s = (edge - start) / speed;
                    if (s > -0.5 && s < 0.5) {
                        cuts.push_back(s);
                    }
                }
            };
            addCuts(ux, offset.x, smear.x);
            addCuts(uy, offset.y, smear.y);
            std::sort(cuts.begin(), cuts.end());
            double sum = 0.0;
            for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
                // Simpson's rule: exact for the product of two linear pieces.
                const double a = cuts[c];
                const double b = cuts[c + 1];
                sum += (b - a) / 6.0 * (at(a) + 4.0 * at(0.5 * (a + b)) + at(b));
            }
            kernel.weights[static_cast<std::size_t>(y) * kernel.width + x] = sum;
        }
    }
    return kernel;
}

EyeModel::EyeModel(int displayWidth, int displayHeight, int factor, DisplayModel display,
                   Shift displacement, Shift smear)
    : EyeModel(displayWidth, displayHeight, factor, display, displacement, smear, true) {}

EyeModel::EyeModel(int displayWidth, int displayHeight, int factor, DisplayModel display,
                   Shift displacement, Shift smear, bool withNormal)
    : displayWidth_(displayWidth), displayHeight_(displayHeight), factor_(factor),
      display_(display), offset0X_(-displacement.x * factor), offset0Y_(-displacement.y * factor) {
    if (displayWidth <= 0 || displayHeight <= 0 || factor <= 0) {
        throw std::invalid_argument("EyeModel: bad sizes");
    }
    const Shift motion =
        display == DisplayModel::hold ? Shift{smear.x * factor, smear.y * factor} : Shift{};
    const Shift offsets[2] = {{offset0X_, offset0Y_}, {0.0, 0.0}};
    const int k = factor_;
    for (int p = 0; p < 2; ++p) {
        kernel_[p] = pixelKernel(k, offsets[p], motion);
        const PixelKernel &kernel = kernel_[p];
        // Picture pixel i = K q + phase takes display pixel q - m with weight at(phase + K m).
        const auto firstM = [k](int start, int phase) {
            return static_cast<int>(std::ceil(static_cast<double>(start - phase) / k));
        };
        for (int phaseY = 0; phaseY < k; ++phaseY) {
            for (int phaseX = 0; phaseX < k; ++phaseX) {
                tapStart_[p].push_back(taps_[p].size());
                for (int my = firstM(kernel.y0, phaseY);
                     phaseY + k * my < kernel.y0 + kernel.height; ++my) {
                    for (int mx = firstM(kernel.x0, phaseX);
                         phaseX + k * mx < kernel.x0 + kernel.width; ++mx) {
                        const double w = kernel.at(phaseX + k * mx, phaseY + k * my);
                        if (w > 1e-12) {
                            taps_[p].push_back({mx, my, static_cast<float>(0.5 * w)});
                        }
                    }
                }
            }
        }
        tapStart_[p].push_back(taps_[p].size());
    }
    if (withNormal) {
        buildNormal(displacement, smear);
    }
}

void EyeModel::buildNormal(Shift displacement, Shift smear) {
    // Far enough from the edges, a row of normal() does not depend on where it is.
    int reach = 0;
    for (const PixelKernel &a : kernel_) {
        for (const PixelKernel &b : kernel_) {
            reach = std::max({reach, a.x0 + a.width - b.x0, a.y0 + a.height - b.y0});
        }
    }
    edge_ = reach / factor_ + 2;
    classesX_ = std::min(displayWidth_, 2 * edge_ + 1);
    classesY_ = std::min(displayHeight_, 2 * edge_ + 1);
    // The rows of every class, read off a model just large enough to hold them all: unit
    // samples through perceive() and transpose() (normal() is symmetric, so a column is a row).
    const EyeModel small(classesX_, classesY_, factor_, display_, displacement, smear, false);
    const std::size_t classes = static_cast<std::size_t>(classesX_) * classesY_;
    for (auto &list : stencils_) {
        list.assign(classes, {});
    }
    for (int p = 0; p < 2; ++p) {
        for (int cy = 0; cy < classesY_; ++cy) {
            for (int cx = 0; cx < classesX_; ++cx) {
                Picture unit[2] = {Picture(classesX_, classesY_), Picture(classesX_, classesY_)};
                unit[p].pixel(cx, cy)[0] = 1.0f;
                Picture column[2];
                small.transpose(small.perceive(unit[0], unit[1]), column[0], column[1]);
                for (int q = 0; q < 2; ++q) {
                    auto &row = stencils_[2 * p + q][static_cast<std::size_t>(cy) * classesX_ + cx];
                    for (int y = 0; y < classesY_; ++y) {
                        for (int x = 0; x < classesX_; ++x) {
                            const float w = column[q].pixel(x, y)[0];
                            if (std::abs(w) > 1e-9f) {
                                row.push_back({x - cx, y - cy, w});
                            }
                        }
                    }
                }
            }
        }
    }
}

int EyeModel::classOf(int j, int size, int classes) const {
    if (size == classes || j < edge_) {
        return j;
    }
    if (j >= size - edge_) {
        return classes - (size - j);
    }
    return edge_;
}

const std::vector<EyeModel::StencilTap> &EyeModel::stencil(int p, int q, int x, int y) const {
    const int cx = classOf(x, displayWidth_, classesX_);
    const int cy = classOf(y, displayHeight_, classesY_);
    return stencils_[2 * p + q][static_cast<std::size_t>(cy) * classesX_ + cx];
}

void EyeModel::perceiveRow(int row, const Picture &sub0, const Picture &sub1, float *out) const {
    const int k = factor_;
    const int width = pictureWidth();
    std::fill(out, out + static_cast<std::size_t>(width) * 3, 0.0f);
    const Picture *subs[2] = {&sub0, &sub1};
    const int qy = row / k;
    const int phaseY = row % k;
    for (int p = 0; p < 2; ++p) {
        const Picture &sub = *subs[p];
        for (int x = 0; x < width; ++x) {
            const int qx = x / k;
            const std::size_t phase = static_cast<std::size_t>(phaseY) * k + x % k;
            float r = 0.0f, g = 0.0f, b = 0.0f;
            for (std::size_t t = tapStart_[p][phase]; t < tapStart_[p][phase + 1]; ++t) {
                const Tap &tap = taps_[p][t];
                const int jx = std::clamp(qx - tap.mx, 0, displayWidth_ - 1);
                const int jy = std::clamp(qy - tap.my, 0, displayHeight_ - 1);
                const float *in = sub.pixel(jx, jy);
                r += tap.weight * in[0];
                g += tap.weight * in[1];
                b += tap.weight * in[2];
            }
            out[3 * x] += r;
            out[3 * x + 1] += g;
            out[3 * x + 2] += b;
        }
    }
}

Picture EyeModel::perceive(const Picture &sub0, const Picture &sub1) const {
    return perceiveRows(sub0, sub1, 0, pictureHeight());
}

Picture EyeModel::perceiveRows(const Picture &sub0, const Picture &sub1, int firstRow,
                               int rowCount) const {
    if (firstRow < 0 || rowCount < 0 || firstRow + rowCount > pictureHeight()) {
        throw std::invalid_argument("perceiveRows: rows outside the picture");
    }
    Picture out(pictureWidth(), rowCount);
    parallelFor(static_cast<std::size_t>(rowCount), [&](std::size_t y) {
        const int row = static_cast<int>(y);
        perceiveRow(firstRow + row, sub0, sub1, out.pixel(0, row));
    });
    return out;
}

double EyeModel::rmsError(const Picture &sub0, const Picture &sub1, const Picture &target) const {
    if (target.width != pictureWidth() || target.height != pictureHeight()) {
        throw std::invalid_argument("rmsError: target size does not match");
    }
    std::vector<double> rowSums(static_cast<std::size_t>(target.height), 0.0);
    parallelRanges(rowSums.size(), [&](std::size_t begin, std::size_t end) {
        std::vector<float> row(static_cast<std::size_t>(target.width) * 3);
        for (std::size_t y = begin; y < end; ++y) {
            perceiveRow(static_cast<int>(y), sub0, sub1, row.data());
            const float *t = target.pixel(0, static_cast<int>(y));
            double sum = 0.0;
            for (std::size_t s = 0; s < row.size(); ++s) {
                const double d = row[s] - t[s];
                sum += d * d;
            }
            rowSums[y] = sum;
        }
    });
    double total = 0.0;
    for (const double s : rowSums) {
        total += s;
    }
    return std::sqrt(total / static_cast<double>(target.samples.size()));
}

void EyeModel::transpose(const Picture &picture, Picture &out0, Picture &out1) const {
    const int k = factor_;
    const int width = displayWidth_;
    const int height = displayHeight_;
    Picture *outs[2] = {&out0, &out1};
    for (int p = 0; p < 2; ++p) {
        *outs[p] = Picture(width, height);
        const PixelKernel &kernel = kernel_[p];
        // Display pixels beyond the edges, which show the edge pixel, reach the picture too.
        const auto floorDiv = [k](int a) {
            return static_cast<int>(std::floor(static_cast<double>(a) / k));
        };
        const int xLow = floorDiv(-kernel.x0 - kernel.width);
        const int xHigh = floorDiv(pictureWidth() - kernel.x0) + 1;
        const int yLow = floorDiv(-kernel.y0 - kernel.height);
        const int yHigh = floorDiv(pictureHeight() - kernel.y0) + 1;
        parallelFor(static_cast<std::size_t>(height), [&](std::size_t row) {
            const int y = static_cast<int>(row);
            const int fromY = y == 0 ? std::min(yLow, 0) : y;
            const int toY = y == height - 1 ? std::max(yHigh, y) : y;
            float *out = outs[p]->pixel(0, y);
            for (int jy = fromY; jy <= toY; ++jy) {
                for (int jx = std::min(xLow, 0); jx <= std::max(xHigh, width - 1); ++jx) {
                    float sum[3] = {0.0f, 0.0f, 0.0f};
                    for (int v = 0; v < kernel.height; ++v) {
                        const int iy = k * jy + kernel.y0 + v;
                        if (iy < 0 || iy >= pictureHeight()) {
                            continue;
                        }
                        for (int u = 0; u < kernel.width; ++u) {
                            const int ix = k * jx + kernel.x0 + u;
                            const auto w = static_cast<float>(
                                kernel.weights[static_cast<std::size_t>(v) * kernel.width + u]);
                            if (ix < 0 || ix >= pictureWidth() || w == 0.0f) {
                                continue;
                            }
                            const float *in = picture.pixel(ix, iy);
                            sum[0] += w * in[0];
                            sum[1] += w * in[1];
                            sum[2] += w * in[2];
                        }
                    }
                    float *o = out + static_cast<std::size_t>(std::clamp(jx, 0, width - 1)) * 3;
                    for (int c = 0; c < 3; ++c) {
                        o[c] += 0.5f * sum[c];
                    }
                }
            }
        });
    }
}

void EyeModel::normal(const Picture &x0, const Picture &x1, Picture &out0, Picture &out1) const {
    const Picture *xs[2] = {&x0, &x1};
    Picture *outs[2] = {&out0, &out1};
    const int width = displayWidth_;
    const bool hasInterior = width > classesX_;
    for (int p = 0; p < 2; ++p) {
        if (outs[p]->width != width || outs[p]->height != displayHeight_) {
            *outs[p] = Picture(width, displayHeight_);
        }
        parallelFor(static_cast<std::size_t>(displayHeight_), [&](std::size_t row) {
            const int y = static_cast<int>(row);
            float *out = outs[p]->pixel(0, y);
            std::fill(out, out + static_cast<std::size_t>(width) * 3, 0.0f);
            const auto onePixel = [&](int x) {
                float *o = out + static_cast<std::size_t>(x) * 3;
                for (int q = 0; q < 2; ++q) {
                    for (const StencilTap &tap : stencil(p, q, x, y)) {
                        const float *in = xs[q]->pixel(x + tap.dx, y + tap.dy);
                        o[0] += tap.weight * in[0];
                        o[1] += tap.weight * in[1];
                        o[2] += tap.weight * in[2];
                    }
                }
            };
            if (!hasInterior) {
                for (int x = 0; x < width; ++x) {
                    onePixel(x);
                }
                return;
            }
            for (int x = 0; x < edge_; ++x) {
                onePixel(x);
                onePixel(width - 1 - x);
            }
            // The interior shares one row: whole runs of samples at once.
            const std::size_t run = static_cast<std::size_t>(width - 2 * edge_) * 3;
            float *o = out + static_cast<std::size_t>(edge_) * 3;
            for (int q = 0; q < 2; ++q) {
                for (const StencilTap &tap : stencil(p, q, edge_, y)) {
                    const float *in = xs[q]->pixel(edge_ + tap.dx, y + tap.dy);
                    const float w = tap.weight;
                    for (std::size_t s = 0; s < run; ++s) {
                        o[s] += w * in[s];
                    }
                }
            }
        });
    }
}

float EyeModel::normalDiagonal(int p, int x, int y) const {
    for (const StencilTap &tap : stencil(p, p, x, y)) {
        if (tap.dx == 0 && tap.dy == 0) {
            return tap.weight;
        }
    }
    return 0.0f;
}

double EyeModel::normalRowSum(int p, int x, int y) const {
    double sum = 0.0;
    for (int q = 0; q < 2; ++q) {
        for (const StencilTap &tap : stencil(p, q, x, y)) {
            sum += std::abs(tap.weight);
        }
    }
    return sum;
}

} // namespace moiravel::images
