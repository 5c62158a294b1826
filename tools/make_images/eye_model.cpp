#include "eye_model.h"

#include "parallel.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace moiravel::images {

Shift trackedDisplacement(std::span<const ShownFrame> frames) {
    // The eye's velocity: the image's mean velocity between two frames that show the same
    // subimage, so that the stretch in between holds whole cycles.
    std::size_t last = frames.size();
    for (std::size_t f = frames.size(); f-- > 1;) {
        if (frames[f].subimage == frames.front().subimage) {
            last = f;
            break;
        }
    }
    if (last == frames.size()) {
        throw std::invalid_argument("trackedDisplacement: the frames hold no whole cycle");
    }
    const double vx = (frames[last].offsetX - frames.front().offsetX) / static_cast<double>(last);
    const double vy = (frames[last].offsetY - frames.front().offsetY) / static_cast<double>(last);
    double sumX[2] = {0.0, 0.0};
    double sumY[2] = {0.0, 0.0};
    int count[2] = {0, 0};
    for (std::size_t f = 0; f < last; ++f) {
        const int s = frames[f].subimage;
        if (s != 0 && s != 1) {
            continue;
        }
        // Position relative to the eye.
        sumX[s] += frames[f].offsetX - vx * static_cast<double>(f);
        sumY[s] += frames[f].offsetY - vy * static_cast<double>(f);
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

AxisCover coverAxis(int pictureSize, int displaySize, int factor, double offset) {
    if (pictureSize <= 0 || displaySize <= 0 || factor <= 0) {
        throw std::invalid_argument("coverAxis: bad sizes");
    }
    AxisCover cover;
    cover.first.resize(pictureSize);
    cover.second.resize(pictureSize);
    cover.weight0.resize(pictureSize);
    cover.weight1.resize(pictureSize);
    constexpr double epsilon = 1e-9;
    for (int i = 0; i < pictureSize; ++i) {
        int a = static_cast<int>(std::floor((i - offset) / factor + epsilon));
        const double end = (a + 1.0) * factor + offset; // where display pixel a ends
        int b = a;
        double w0 = 1.0;
        double w1 = 0.0;
        if (end < i + 1.0 - epsilon) {
            b = a + 1;
            w0 = end - i;
            w1 = 1.0 - w0;
        }
        a = std::clamp(a, 0, displaySize - 1);
        b = std::clamp(b, 0, displaySize - 1);
        if (a == b) {
            w0 += w1;
            w1 = 0.0;
        }
        cover.first[i] = a;
        cover.second[i] = b;
        cover.weight0[i] = static_cast<float>(w0);
        cover.weight1[i] = static_cast<float>(w1);
    }
    return cover;
}

namespace {

AxisGram gramOf(const AxisCover &p, const AxisCover &q, int displaySize) {
    std::vector<double> band(static_cast<std::size_t>(displaySize) * 3, 0.0);
    const auto add = [&](int a, double wa, int b, double wb) {
        const int d = b - a;
        if (wa == 0.0 || wb == 0.0) {
            return;
        }
        if (d < -1 || d > 1) {
            throw std::logic_error("subimage covers overlap by more than one display pixel");
        }
        band[static_cast<std::size_t>(a) * 3 + (d + 1)] += wa * wb;
    };
    for (std::size_t i = 0; i < p.first.size(); ++i) {
        add(p.first[i], p.weight0[i], q.first[i], q.weight0[i]);
        add(p.first[i], p.weight0[i], q.second[i], q.weight1[i]);
        add(p.second[i], p.weight1[i], q.first[i], q.weight0[i]);
        add(p.second[i], p.weight1[i], q.second[i], q.weight1[i]);
    }
    AxisGram gram;
    gram.band.assign(band.begin(), band.end());
    return gram;
}

// out[j] = sum over d of band(j, d) * in[j + d], for one row of interleaved RGB samples.
void bandRow(const float *band, const float *in, float *out, int size) {
    for (int j = 0; j < size; ++j) {
        const float *w = band + static_cast<std::size_t>(j) * 3;
        const float *centre = in + static_cast<std::size_t>(j) * 3;
        float r = w[1] * centre[0];
        float g = w[1] * centre[1];
        float b = w[1] * centre[2];
        if (j > 0) {
            r += w[0] * centre[-3];
            g += w[0] * centre[-2];
            b += w[0] * centre[-1];
        }
        if (j + 1 < size) {
            r += w[2] * centre[3];
            g += w[2] * centre[4];
            b += w[2] * centre[5];
        }
        out[3 * j] = r;
        out[3 * j + 1] = g;
        out[3 * j + 2] = b;
    }
}

} // namespace

EyeModel::EyeModel(int displayWidth, int displayHeight, int factor, Shift displacement)
    : displayWidth_(displayWidth), displayHeight_(displayHeight), factor_(factor),
      offset0X_(-displacement.x * factor), offset0Y_(-displacement.y * factor) {
    if (displayWidth <= 0 || displayHeight <= 0 || factor <= 0) {
        throw std::invalid_argument("EyeModel: bad sizes");
    }
    const double offsetX[2] = {offset0X_, 0.0};
    const double offsetY[2] = {offset0Y_, 0.0};
    for (int p = 0; p < 2; ++p) {
        coverX_[p] = coverAxis(pictureWidth(), displayWidth_, factor_, offsetX[p]);
        coverY_[p] = coverAxis(pictureHeight(), displayHeight_, factor_, offsetY[p]);
    }
    for (int p = 0; p < 2; ++p) {
        for (int q = 0; q < 2; ++q) {
            gramX_[2 * p + q] = gramOf(coverX_[p], coverX_[q], displayWidth_);
            gramY_[2 * p + q] = gramOf(coverY_[p], coverY_[q], displayHeight_);
        }
        rowsOf_[p].assign(displayHeight_, {});
        const AxisCover &cy = coverY_[p];
        for (int i = 0; i < pictureHeight(); ++i) {
            rowsOf_[p][cy.first[i]].emplace_back(i, cy.weight0[i]);
            if (cy.weight1[i] != 0.0f) {
                rowsOf_[p][cy.second[i]].emplace_back(i, cy.weight1[i]);
            }
        }
    }
}

void EyeModel::perceiveRow(int row, const Picture &sub0, const Picture &sub1, float *out) const {
    const int width = pictureWidth();
    std::fill(out, out + static_cast<std::size_t>(width) * 3, 0.0f);
    const Picture *subs[2] = {&sub0, &sub1};
    for (int p = 0; p < 2; ++p) {
        const AxisCover &cx = coverX_[p];
        const AxisCover &cy = coverY_[p];
        const float *r0 = subs[p]->pixel(0, cy.first[row]);
        const float *r1 = subs[p]->pixel(0, cy.second[row]);
        const float wy0 = 0.5f * cy.weight0[row];
        const float wy1 = 0.5f * cy.weight1[row];
        for (int x = 0; x < width; ++x) {
            const std::size_t j0 = static_cast<std::size_t>(cx.first[x]) * 3;
            const std::size_t j1 = static_cast<std::size_t>(cx.second[x]) * 3;
            const float wx0 = cx.weight0[x];
            const float wx1 = cx.weight1[x];
            for (int c = 0; c < 3; ++c) {
                out[3 * x + c] += wy0 * (wx0 * r0[j0 + c] + wx1 * r0[j1 + c]) +
                                  wy1 * (wx0 * r1[j0 + c] + wx1 * r1[j1 + c]);
            }
        }
    }
}

Picture EyeModel::perceive(const Picture &sub0, const Picture &sub1) const {
    Picture out(pictureWidth(), pictureHeight());
    parallelFor(static_cast<std::size_t>(out.height), [&](std::size_t y) {
        perceiveRow(static_cast<int>(y), sub0, sub1, out.pixel(0, static_cast<int>(y)));
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
    Picture *outs[2] = {&out0, &out1};
    for (int p = 0; p < 2; ++p) {
        *outs[p] = Picture(displayWidth_, displayHeight_);
        const AxisCover &cx = coverX_[p];
        parallelFor(static_cast<std::size_t>(displayHeight_), [&](std::size_t k) {
            float *out = outs[p]->pixel(0, static_cast<int>(k));
            for (const auto &[row, wy] : rowsOf_[p][k]) {
                const float *in = picture.pixel(0, row);
                const float w = 0.5f * wy;
                for (int x = 0; x < picture.width; ++x) {
                    const float w0 = w * cx.weight0[x];
                    const float w1 = w * cx.weight1[x];
                    float *o0 = out + static_cast<std::size_t>(cx.first[x]) * 3;
                    float *o1 = out + static_cast<std::size_t>(cx.second[x]) * 3;
                    for (int c = 0; c < 3; ++c) {
                        o0[c] += w0 * in[3 * x + c];
                        o1[c] += w1 * in[3 * x + c];
                    }
                }
            }
        });
    }
}

void EyeModel::normal(const Picture &x0, const Picture &x1, Picture &out0, Picture &out1) const {
    const Picture *xs[2] = {&x0, &x1};
    Picture *outs[2] = {&out0, &out1};
    Picture rows[2] = {Picture(displayWidth_, displayHeight_),
                       Picture(displayWidth_, displayHeight_)};
    const std::size_t rowSamples = static_cast<std::size_t>(displayWidth_) * 3;
    for (int p = 0; p < 2; ++p) {
        // Along the rows, then down the columns: each block is a product of two axis grams.
        parallelFor(static_cast<std::size_t>(displayHeight_), [&](std::size_t y) {
            for (int q = 0; q < 2; ++q) {
                bandRow(gramX(p, q).band.data(), xs[q]->pixel(0, static_cast<int>(y)),
                        rows[q].pixel(0, static_cast<int>(y)), displayWidth_);
            }
        });
        if (outs[p]->width != displayWidth_ || outs[p]->height != displayHeight_) {
            *outs[p] = Picture(displayWidth_, displayHeight_);
        }
        parallelFor(static_cast<std::size_t>(displayHeight_), [&](std::size_t y) {
            float *out = outs[p]->pixel(0, static_cast<int>(y));
            std::fill(out, out + rowSamples, 0.0f);
            for (int q = 0; q < 2; ++q) {
                const float *w = gramY(p, q).band.data() + y * 3;
                for (int d = -1; d <= 1; ++d) {
                    const long source = static_cast<long>(y) + d;
                    if (source < 0 || source >= displayHeight_ || w[d + 1] == 0.0f) {
                        continue;
                    }
                    const float weight = 0.25f * w[d + 1];
                    const float *in = rows[q].pixel(0, static_cast<int>(source));
                    for (std::size_t s = 0; s < rowSamples; ++s) {
                        out[s] += weight * in[s];
                    }
                }
            }
        });
    }
}

float EyeModel::normalDiagonal(int p, int x, int y) const {
    return 0.25f * gramY(p, p).band[static_cast<std::size_t>(y) * 3 + 1] *
           gramX(p, p).band[static_cast<std::size_t>(x) * 3 + 1];
}

double EyeModel::normalRowSum(int p, int x, int y) const {
    const auto rowSum = [](const AxisGram &gram, int j) {
        const float *w = gram.band.data() + static_cast<std::size_t>(j) * 3;
        return static_cast<double>(w[0]) + w[1] + w[2];
    };
    double sum = 0.0;
    for (int q = 0; q < 2; ++q) {
        sum += rowSum(gramY(p, q), y) * rowSum(gramX(p, q), x);
    }
    return 0.25 * sum;
}

} // namespace moiravel::images
