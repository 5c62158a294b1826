// SPDX-License-Identifier: MIT
// Saves the whole X screen as a PNG file, or prints its size, for `make demo` without a
// display (tools/run_demo.sh). It keeps ImageMagick and xdpyinfo off the demo's package list.
//
//   moiravel-screenshot FILE.png     the screen of $DISPLAY
//   moiravel-screenshot --size       prints WIDTHxHEIGHT; fails while no X server answers

#include "picture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

// The position of a mask's lowest set bit and the mask shifted down to it.
int maskShift(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1ul) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    const int shift = maskShift(mask);
    const unsigned long top = mask >> shift;
    return top == 0 ? 0 : static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / top);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png | --size\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    if (std::strcmp(argv[1], "--size") == 0) {
        std::printf("%dx%d\n", width, height);
        XCloseDisplay(display);
        return 0;
    }
    XImage *image =
        XGetImage(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        std::fprintf(stderr, "%s: cannot read the screen\n", argv[0]);
        XCloseDisplay(display);
        return 1;
    }
    moiravel::images::Image8 picture{width, height, {}};
    picture.samples.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            picture.samples.push_back(channel(pixel, image->red_mask));
            picture.samples.push_back(channel(pixel, image->green_mask));
            picture.samples.push_back(channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    try {
        moiravel::images::writePng(argv[1], picture);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
