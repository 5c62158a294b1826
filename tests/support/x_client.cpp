// SPDX-License-Identifier: MIT
#include "x_client.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace moiravel::xtest {

std::string toString(const Rgb &c) {
    char text[24];
    std::snprintf(text, sizeof text, "(%u, %u, %u)", unsigned{c.r}, unsigned{c.g}, unsigned{c.b});
    return text;
}

bool Screenshot::sameRegion(const Screenshot &other, int column, int row, int w, int h) const {
    if (other.width != width || other.height != height) {
        return false;
    }
    for (int y = row; y < row + h; ++y) {
        for (int x = column; x < column + w; ++x) {
            if (!(at(x, y) == other.at(x, y))) {
                return false;
            }
        }
    }
    return true;
}

Screenshot Screenshot::region(int column, int row, int w, int h) const {
    Screenshot part;
    part.width = w;
    part.height = h;
    part.rgb.reserve(static_cast<std::size_t>(w) * h * 3);
    for (int y = row; y < row + h; ++y) {
        const auto from = rgb.begin() + 3 * (static_cast<std::ptrdiff_t>(y) * width + column);
        part.rgb.insert(part.rgb.end(), from, from + 3 * w);
    }
    return part;
}

void Screenshot::save(const std::filesystem::path &file) const {
    std::ofstream out(file, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char *>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

XClient::XClient(const std::string &displayName, bool rootless, const std::string &inputDisplayName)
    : rootless_(rootless) {
    display_ = XOpenDisplay(displayName.c_str());
    if (display_ == nullptr) {
        throw std::runtime_error("cannot open display " + displayName);
    }
    input_ = display_;
    const std::string inputName = inputDisplayName.empty() ? displayName : inputDisplayName;
    if (!inputDisplayName.empty() && inputDisplayName != displayName) {
        input_ = XOpenDisplay(inputDisplayName.c_str());
        if (input_ == nullptr) {
            XCloseDisplay(display_);
            throw std::runtime_error("cannot open display " + inputDisplayName);
        }
    }
    int event, error, major, minor;
    if (!XTestQueryExtension(input_, &event, &error, &major, &minor)) {
        if (input_ != display_) {
            XCloseDisplay(input_);
        }
        XCloseDisplay(display_);
        throw std::runtime_error("the X server on " + inputName + " lacks XTEST");
    }
}

XClient::~XClient() {
    if (input_ != nullptr && input_ != display_) {
        XCloseDisplay(input_);
    }
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

int XClient::width() const {
    return DisplayWidth(display_, DefaultScreen(display_));
}
int XClient::height() const {
    return DisplayHeight(display_, DefaultScreen(display_));
}

void XClient::tapKey(const std::string &keysymName) {
    KeySym sym = XStringToKeysym(keysymName.c_str());
    if (sym == NoSymbol) {
        throw std::invalid_argument("unknown keysym " + keysymName);
    }
    KeyCode code = XKeysymToKeycode(input_, sym);
    if (code == 0) {
        throw std::runtime_error("no key produces " + keysymName);
    }
    // Level 1 of the key is the shifted one (capital letters, "+" on the "=" key).
    bool shift = XkbKeycodeToKeysym(input_, code, 0, 0) != sym &&
                 XkbKeycodeToKeysym(input_, code, 0, 1) == sym;
    KeyCode shiftCode = XKeysymToKeycode(input_, XK_Shift_L);
    if (shift) {
        XTestFakeKeyEvent(input_, shiftCode, True, CurrentTime);
    }
    XTestFakeKeyEvent(input_, code, True, CurrentTime);
    XTestFakeKeyEvent(input_, code, False, CurrentTime);
    if (shift) {
        XTestFakeKeyEvent(input_, shiftCode, False, CurrentTime);
    }
    XSync(input_, False);
}

void XClient::tapChar(char c) {
    switch (c) {
    case ' ':
        return tapKey("space");
    case '+':
        return tapKey("plus");
    case '-':
        return tapKey("minus");
    case '=':
        return tapKey("equal");
    case 27:
        return tapKey("Escape");
    default:
        return tapKey(std::string(1, c));
    }
}

void XClient::movePointer(int x, int y) {
    XTestFakeMotionEvent(input_, DefaultScreen(input_), x, y, CurrentTime);
    XSync(input_, False);
}

namespace {

// Copies an image into the screenshot with its top-left corner at (left, top).
void paste(const XImage *image, Screenshot &shot, int left, int top) {
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = std::countr_zero(mask);
        unsigned long value = (pixel & mask) >> shift;
        int bits = std::popcount(mask);
        return static_cast<std::uint8_t>(bits >= 8 ? value >> (bits - 8)
                                                   : value * 255 / ((1ul << bits) - 1));
    };
    const bool fast = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
                      image->green_mask == 0xff00 && image->blue_mask == 0xff &&
                      image->byte_order == LSBFirst;
    for (int row = 0; row < image->height; ++row) {
        const auto *line =
            reinterpret_cast<const std::uint8_t *>(image->data) + row * image->bytes_per_line;
        std::size_t i = 3 * (static_cast<std::size_t>(top + row) * shot.width + left);
        for (int column = 0; column < image->width; ++column) {
            if (fast) {
                shot.rgb[i++] = line[4 * column + 2];
                shot.rgb[i++] = line[4 * column + 1];
                shot.rgb[i++] = line[4 * column];
            } else {
                unsigned long pixel = XGetPixel(const_cast<XImage *>(image), column, row);
                shot.rgb[i++] = channel(pixel, image->red_mask);
                shot.rgb[i++] = channel(pixel, image->green_mask);
                shot.rgb[i++] = channel(pixel, image->blue_mask);
            }
        }
    }
}

// A top-level window may go away between listing and reading it.
int ignoreXError(Display *, XErrorEvent *) {
    return 0;
}

// A viewable window's contents and where they lie on the screen (inside the border).
struct WindowPlace {
    Window window;
    int x;
    int y;
    int width;
    int height;
};

std::vector<WindowPlace> viewableChildren(Display *display, Window parent, int originX,
                                          int originY) {
    std::vector<WindowPlace> places;
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &rootReturn, &parentReturn, &children, &count)) {
        return places;
    }
    for (unsigned int k = 0; k < count; ++k) {
        XWindowAttributes a;
        // An InputOnly window shows nothing (mutter keeps one over the whole screen).
        if (XGetWindowAttributes(display, children[k], &a) && a.map_state == IsViewable &&
            a.c_class == InputOutput) {
            places.push_back({children[k], originX + a.x + a.border_width,
                              originY + a.y + a.border_width, a.width, a.height});
        }
    }
    XFree(children);
    return places;
}

// The viewable top-level windows from the bottom of the stack up, each followed by the
// windows directly inside it. A window manager (XWayland's included) puts each application
// window into a frame of its own; while it still rearranges the two, the frame shows the
// application's picture late or at its old place, so the application window is read itself.
std::vector<WindowPlace> applicationWindows(Display *display) {
    std::vector<WindowPlace> places;
    for (const WindowPlace &top : viewableChildren(display, DefaultRootWindow(display), 0, 0)) {
        places.push_back(top);
        for (const WindowPlace &inner : viewableChildren(display, top.window, top.x, top.y)) {
            places.push_back(inner);
        }
    }
    return places;
}

} // namespace

void XClient::focusFollowsPointer() {
    XSetInputFocus(input_, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(input_, False);
}

Screenshot XClient::screenshot() const {
    Screenshot shot;
    shot.width = width();
    shot.height = height();
    shot.rgb.assign(static_cast<std::size_t>(shot.width) * shot.height * 3, 0);
    const Window root = DefaultRootWindow(display_);
    if (!rootless_) {
        XImage *image = XGetImage(display_, root, 0, 0, static_cast<unsigned>(shot.width),
                                  static_cast<unsigned>(shot.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            throw std::runtime_error("XGetImage of the root window failed");
        }
        paste(image, shot, 0, 0);
        XDestroyImage(image);
        return shot;
    }
    // The application windows from the bottom of the stack up, each clipped to the screen;
    // what no window covers stays black.
    auto *previousHandler = XSetErrorHandler(ignoreXError);
    for (const WindowPlace &w : applicationWindows(display_)) {
        const int left = std::max(w.x, 0);
        const int top = std::max(w.y, 0);
        const int right = std::min(w.x + w.width, shot.width);
        const int bottom = std::min(w.y + w.height, shot.height);
        if (right <= left || bottom <= top) {
            continue;
        }
        XImage *image = XGetImage(display_, w.window, left - w.x, top - w.y,
                                  static_cast<unsigned>(right - left),
                                  static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
        if (image != nullptr) {
            paste(image, shot, left, top);
            XDestroyImage(image);
        }
    }
    XSync(display_, False);
    XSetErrorHandler(previousHandler);
    return shot;
}

Screenshot XClient::screenshotOf(int x, int y, int width, int height) const {
    Screenshot shot;
    shot.width = width;
    shot.height = height;
    shot.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    XImage *image =
        XGetImage(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        throw std::runtime_error("XGetImage of a part of the root window failed");
    }
    paste(image, shot, 0, 0);
    XDestroyImage(image);
    return shot;
}

std::optional<Screenshot> XClient::windowOfSize(int width, int height) const {
    auto *previousHandler = XSetErrorHandler(ignoreXError);
    std::vector<WindowPlace> tops = viewableChildren(display_, DefaultRootWindow(display_), 0, 0);
    std::optional<Screenshot> shot;
    for (auto w = tops.rbegin(); w != tops.rend() && !shot; ++w) {
        if (w->width != width || w->height != height) {
            continue;
        }
        XImage *image = XGetImage(display_, w->window, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image != nullptr) {
            shot = Screenshot{width, height, {}};
            shot->rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
            paste(image, *shot, 0, 0);
            XDestroyImage(image);
        }
    }
    XSync(display_, False);
    XSetErrorHandler(previousHandler);
    return shot;
}

bool XClient::windowCoversScreen() const {
    auto *previousHandler = XSetErrorHandler(ignoreXError);
    const std::vector<WindowPlace> windows = applicationWindows(display_);
    XSync(display_, False);
    XSetErrorHandler(previousHandler);
    return std::any_of(windows.begin(), windows.end(), [this](const WindowPlace &w) {
        return w.x <= 0 && w.y <= 0 && w.x + w.width >= width() && w.y + w.height >= height();
    });
}

namespace {

// The application window that lies exactly on the rectangle; 0 where none does.
Window windowOn(Display *display, int x, int y, int w, int h) {
    auto *previousHandler = XSetErrorHandler(ignoreXError);
    const std::vector<WindowPlace> windows = applicationWindows(display);
    XSync(display, False);
    XSetErrorHandler(previousHandler);
    for (const WindowPlace &place : windows) {
        if (place.x == x && place.y == y && place.width == w && place.height == h) {
            return place.window;
        }
    }
    return 0;
}

} // namespace

bool XClient::windowCovers(int x, int y, int w, int h) const {
    return windowOn(display_, x, y, w, h) != 0;
}

bool XClient::windowOnListedFullScreen(int x, int y, int w, int h) const {
    const Window window = windowOn(display_, x, y, w, h);
    if (window == 0) {
        return false;
    }
    const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
    const Atom fullScreen = XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False);
    auto *previousHandler = XSetErrorHandler(ignoreXError);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    bool listed = false;
    if (XGetWindowProperty(display_, window, state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr) {
        const auto *states = reinterpret_cast<const Atom *>(data);
        for (unsigned long i = 0; i < count && format == 32; ++i) {
            listed = listed || states[i] == fullScreen;
        }
        XFree(data);
    }
    XSync(display_, False);
    XSetErrorHandler(previousHandler);
    return listed;
}

bool XClient::anyWindowShown() const {
    auto *previousHandler = XSetErrorHandler(ignoreXError);
    const std::vector<WindowPlace> windows = applicationWindows(display_);
    const bool shown = std::any_of(windows.begin(), windows.end(), [this](const WindowPlace &w) {
        return w.x < width() && w.y < height() && w.x + w.width > 0 && w.y + w.height > 0;
    });
    XSync(display_, False);
    XSetErrorHandler(previousHandler);
    return shown;
}

std::pair<Screenshot, bool> XClient::waitUntil(const std::function<bool(const Screenshot &)> &done,
                                               std::chrono::milliseconds timeout,
                                               std::chrono::milliseconds interval) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Screenshot shot = screenshot();
        if (done(shot)) {
            return {std::move(shot), true};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return {std::move(shot), false};
        }
        std::this_thread::sleep_for(interval);
    }
}

std::pair<Screenshot, bool>
XClient::waitUntilSteady(const std::function<bool(const Screenshot &)> &done,
                         std::chrono::milliseconds timeout, int samples,
                         std::chrono::milliseconds spacing) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    Screenshot previous;
    int run = 0;
    for (;;) {
        Screenshot shot = screenshot();
        if (done(shot) && (run == 0 || shot == previous)) {
            ++run;
        } else {
            run = done(shot) ? 1 : 0;
        }
        if (run >= samples) {
            return {std::move(shot), true};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return {std::move(shot), false};
        }
        previous = std::move(shot);
        std::this_thread::sleep_for(spacing);
    }
}

} // namespace moiravel::xtest
