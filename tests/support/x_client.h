// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Xlib types, declared here so that users need not include Xlib (whose macros clash with
// common names such as None, Bool or Status).
typedef struct _XDisplay Display;

namespace moiravel::xtest {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};
std::string toString(const Rgb &c);

// A picture of the whole screen. Rows run from the top of the screen down, as XGetImage
// delivers them; row = height - 1 - y for a window y that counts up from the bottom edge.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // 3 bytes a pixel, rows top down

    Rgb at(int column, int row) const {
        const std::size_t i = 3 * (static_cast<std::size_t>(row) * width + column);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    bool sameRegion(const Screenshot &other, int column, int row, int w, int h) const;
    // The part of the picture at (column, row), w x h: one output's rectangle of the screen.
    Screenshot region(int column, int row, int w, int h) const;
    friend bool operator==(const Screenshot &, const Screenshot &) = default;
    // Binary PPM (P6), for looking at a failure afterwards.
    void save(const std::filesystem::path &file) const;
};

// A client connection to an X server that sends keys with XTest and reads the screen.
class XClient {
  public:
    // On a rootless server (XWayland) the root window holds no picture of its own; screenshots
    // are then put together from the top-level windows.
    // Keys and pointer motion go to inputDisplayName where it is given: the X server that a
    // compositor takes its seat from (weston's x11 backend).
    explicit XClient(const std::string &displayName, bool rootless = false,
                     const std::string &inputDisplayName = "");
    ~XClient();
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    Display *display() const { return display_; }
    int width() const;
    int height() const;

    // Presses and releases the key that produces `keysymName` (an X keysym name such as "m",
    // "M", "plus", "space", "Escape"), holding Shift when the keysym sits on the shifted
    // level of its key. Returns once the server has processed the events.
    void tapKey(const std::string &keysymName);
    // Same for a character: ' ', '+', '-', 27 (Escape), letters and digits.
    void tapChar(char c);
    void movePointer(int x, int y);
    // Keyboard focus back to the window under the pointer, as on a fresh server: a client that
    // set the focus to its own window (GLUT's game mode does) leaves it nowhere when it ends.
    void focusFollowsPointer();

    Screenshot screenshot() const;
    // The part of the root window at (x, y), width x height: one output of several. Not on a
    // rootless server.
    Screenshot screenshotOf(int x, int y, int width, int height) const;
    // The contents of a top-level window of exactly width x height (the first from the top of
    // the stack): what weston's x11 backend shows on one output. Empty where none is.
    std::optional<Screenshot> windowOfSize(int width, int height) const;
    // Whether an application window (one that a window manager's frame holds, or a top-level
    // window where none runs) covers the whole screen: a full-screen request has taken effect.
    bool windowCoversScreen() const;
    // The same for one rectangle of the screen: an application window lies exactly on it.
    bool windowCovers(int x, int y, int w, int h) const;
    // Whether the window manager lists that window as full screen (_NET_WM_STATE).
    bool windowOnListedFullScreen(int x, int y, int w, int h) const;
    // Whether any window shows on the screen. A window manager (XWayland's) takes the frame
    // of a window whose client has ended off the screen only some time after the client
    // ended. The compositor's own windows do not count: mutter keeps an InputOnly window over
    // the screen and 1x1 windows off it.
    bool anyWindowShown() const;

    // Polls the screen until `done` holds or `timeout` passes; returns the last picture
    // taken and whether `done` held for it.
    std::pair<Screenshot, bool>
    waitUntil(const std::function<bool(const Screenshot &)> &done,
              std::chrono::milliseconds timeout,
              std::chrono::milliseconds interval = std::chrono::milliseconds(40)) const;
    // Waits until `done` holds for `samples` pictures in a row, each `spacing` apart and all
    // identical: a still screen in the wanted state.
    std::pair<Screenshot, bool>
    waitUntilSteady(const std::function<bool(const Screenshot &)> &done,
                    std::chrono::milliseconds timeout, int samples = 3,
                    std::chrono::milliseconds spacing = std::chrono::milliseconds(60)) const;

  private:
    Display *display_ = nullptr;
    Display *input_ = nullptr; // display_ itself, or a connection of its own
    bool rootless_ = false;
};

} // namespace moiravel::xtest
