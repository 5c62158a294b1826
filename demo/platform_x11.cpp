// SPDX-License-Identifier: MIT
// X11: the display probe and the placement of windows, over connections of their own
// (XCB for the probe) or GLUT's (Xlib, for the window it opened).
//
// The list of outputs is read over an XCB connection of its own too; switching an output's
// mode and putting it back is in platform_randr.cpp. A window on one output is asked for
// full screen on that output's monitor over GLUT's connection.
//
// What it does not do: open windows, change a display setting, or talk to GLX beyond asking
// for the current window (platform_glx.cpp reads the refresh counter and sets the swap
// interval).
#include "platform_x11.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include <X11/extensions/xf86vmproto.h>

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <sys/uio.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace x11 {

// The probe uses XCB rather than a second Xlib connection: XCB hands back an X
// error as a value of the one request and a broken connection as a state of
// that connection, while Xlib's error handlers are process-wide (they would
// catch GLUT's errors too) and its reaction to a lost connection is to end the
// process unless every handler is swapped out and back.

namespace {

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> XcbReply<T> owned(T *reply) {
    return XcbReply<T>(reply, &std::free);
}

bool hasExtension(xcb_connection_t *connection, const char *name) {
    auto reply = owned(xcb_query_extension_reply(
        connection,
        xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply && reply->present;
}

xcb_window_t rootOfScreen(xcb_connection_t *connection, int screenNumber) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    return it.rem > 0 ? it.data->root : 0;
}

std::vector<std::string> randrOutputNames(xcb_connection_t *connection, xcb_window_t root) {
    std::vector<std::string> names;
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(connection, &xcb_randr_id);
    if (randr == nullptr || !randr->present || root == 0) {
        return names;
    }
    // Output names came with RandR 1.2; announcing the version is part of using it.
    std::free(xcb_randr_query_version_reply(connection, xcb_randr_query_version(connection, 1, 2),
                                            nullptr));
    auto resources = owned(xcb_randr_get_screen_resources_current_reply(
        connection, xcb_randr_get_screen_resources_current(connection, root), nullptr));
    if (!resources) {
        return names;
    }
    const xcb_randr_output_t *outputs =
        xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    for (int i = 0; i < count; ++i) {
        auto info = owned(xcb_randr_get_output_info_reply(
            connection,
            xcb_randr_get_output_info(connection, outputs[i], resources->config_timestamp),
            nullptr));
        if (info) {
            names.emplace_back(
                reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
                static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
        }
    }
    return names;
}

// XF86VidModeGetAllModeLines, the request GLUT's game mode starts with. libxcb
// has no binding for this extension, so the request is put together from its
// protocol header; only whether a reply comes back matters.
ModeListing listVideoModes(xcb_connection_t *connection, int screenNumber) {
    static xcb_extension_t vidMode = {XF86VIDMODENAME, 0};
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &vidMode);
    if (xcb_connection_has_error(connection)) {
        return ModeListing::Fails;
    }
    if (extension == nullptr || !extension->present) {
        return ModeListing::Missing;
    }
    xXF86VidModeGetAllModeLinesReq request{};
    request.screen = static_cast<CARD16>(screenNumber);
    // xcb_send_request writes the opcodes and the length into the request and
    // needs two spare iovec slots in front of it.
    iovec parts[3] = {};
    parts[2].iov_base = &request;
    parts[2].iov_len = sz_xXF86VidModeGetAllModeLinesReq;
    xcb_protocol_request_t protocol = {1, &vidMode, X_XF86VidModeGetAllModeLines, 0};
    const unsigned int sequence =
        xcb_send_request(connection, XCB_REQUEST_CHECKED, parts + 2, &protocol);
    xcb_generic_error_t *error = nullptr;
    auto reply = owned(xcb_wait_for_reply(connection, sequence, &error));
    std::free(error);
    return reply ? ModeListing::Works : ModeListing::Fails;
}

} // namespace

OutputMode modeOf(const xcb_randr_mode_info_t &info) {
    OutputMode mode;
    mode.id = info.id;
    mode.width = info.width;
    mode.height = info.height;
    mode.periodNs = modeLinePeriodNs(info.dot_clock, info.htotal, info.vtotal,
                                     (info.mode_flags & XCB_RANDR_MODE_FLAG_INTERLACE) != 0,
                                     (info.mode_flags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN) != 0);
    return mode;
}

namespace {

std::vector<OutputFacts> activeOutputs(xcb_connection_t *connection, xcb_window_t root) {
    std::vector<OutputFacts> outputs;
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(connection, &xcb_randr_id);
    if (randr == nullptr || !randr->present || root == 0) {
        return outputs;
    }
    auto version = owned(xcb_randr_query_version_reply(
        connection, xcb_randr_query_version(connection, 1, 2), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 2)) {
        return outputs;
    }
    auto resources = owned(xcb_randr_get_screen_resources_current_reply(
        connection, xcb_randr_get_screen_resources_current(connection, root), nullptr));
    if (!resources) {
        return outputs;
    }
    auto primary = owned(xcb_randr_get_output_primary_reply(
        connection, xcb_randr_get_output_primary(connection, root), nullptr));
    const xcb_randr_mode_info_t *modes =
        xcb_randr_get_screen_resources_current_modes(resources.get());
    const int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources.get());
    const auto findMode = [&](xcb_randr_mode_t id) -> OutputMode {
        for (int m = 0; m < modeCount; ++m) {
            if (modes[m].id == id) {
                return modeOf(modes[m]);
            }
        }
        return {};
    };
    const xcb_randr_output_t *ids = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    for (int i = 0; i < count; ++i) {
        auto info = owned(xcb_randr_get_output_info_reply(
            connection, xcb_randr_get_output_info(connection, ids[i], resources->config_timestamp),
            nullptr));
        if (!info || info->connection != XCB_RANDR_CONNECTION_CONNECTED || info->crtc == 0) {
            continue;
        }
        auto crtc = owned(xcb_randr_get_crtc_info_reply(
            connection,
            xcb_randr_get_crtc_info(connection, info->crtc, resources->config_timestamp), nullptr));
        if (!crtc || crtc->mode == 0) {
            continue;
        }
        OutputFacts output;
        output.name.assign(
            reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
            static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
        output.x = crtc->x;
        output.y = crtc->y;
        output.width = crtc->width;
        output.height = crtc->height;
        output.current = findMode(crtc->mode);
        const xcb_randr_mode_t *offered = xcb_randr_get_output_info_modes(info.get());
        const int offeredCount = xcb_randr_get_output_info_modes_length(info.get());
        for (int m = 0; m < offeredCount; ++m) {
            output.modes.push_back(findMode(offered[m]));
        }
        output.primary = primary && primary->output == ids[i];
        outputs.push_back(std::move(output));
    }
    return outputs;
}

} // namespace

std::vector<OutputFacts> listOutputs(const char *displayName) {
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(displayName, &screenNumber);
    std::vector<OutputFacts> outputs;
    if (!xcb_connection_has_error(connection)) {
        outputs = activeOutputs(connection, rootOfScreen(connection, screenNumber));
    }
    xcb_disconnect(connection);
    return outputs;
}

DisplayServerFacts probeDisplayServer(const char *displayName) {
    DisplayServerFacts facts;
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(displayName, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return facts;
    }
    facts.xwaylandExtension = hasExtension(connection, "XWAYLAND");
    facts.outputNames = randrOutputNames(connection, rootOfScreen(connection, screenNumber));
    if (!runsUnderXwayland(facts)) {
        facts.modeListing = listVideoModes(connection, screenNumber);
    }
    xcb_disconnect(connection);
    return facts;
}

// ---- Where the window manager put the window ----

namespace {

// The window manager's list of the window's states, and the entry for full screen.
struct StateAtoms {
    Atom state = None;
    Atom fullScreen = None;
};

bool listsFullScreenState(Display *display, Window window, const StateAtoms &atoms) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    bool listed = false;
    if (XGetWindowProperty(display, window, atoms.state, 0, 64, False, XA_ATOM, &type, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (type == XA_ATOM && format == 32) {
            // Xlib hands 32-bit items back as longs.
            const auto *listedStates = reinterpret_cast<const Atom *>(data);
            for (unsigned long i = 0; i < count; ++i) {
                listed = listed || listedStates[i] == atoms.fullScreen;
            }
        }
        XFree(data);
    }
    return listed;
}

WindowPlacement lookAt(Display *display, Window window, const StateAtoms &atoms) {
    WindowPlacement placement;
    XWindowAttributes attributes;
    Window child = None;
    if (XGetWindowAttributes(display, window, &attributes) != 0) {
        placement.width = attributes.width;
        placement.height = attributes.height;
        XTranslateCoordinates(display, window, attributes.root, 0, 0, &placement.x, &placement.y,
                              &child);
    }
    placement.fullScreenState = listsFullScreenState(display, window, atoms);
    return placement;
}

} // namespace

bool lookAtCurrentWindow(WindowPlacement &placement) {
    // GLUT's display connection and window are the current ones.
    Display *display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable();
    if (display == nullptr || window == None) {
        return false;
    }
    // Interned once, on the first look at a window of this connection.
    static Display *atomsDisplay = nullptr;
    static StateAtoms atoms;
    if (atomsDisplay != display) {
        atoms = {XInternAtom(display, "_NET_WM_STATE", False),
                 XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False)};
        atomsDisplay = display;
    }
    placement = lookAt(display, window, atoms);
    return true;
}

void takeKeyboardAndHidePointer() {
    Display *display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable();
    if (display == nullptr || window == None) {
        return;
    }
    // A cursor of one transparent pixel.
    static char noBits[1] = {0};
    const Pixmap empty = XCreateBitmapFromData(display, window, noBits, 1, 1);
    XColor black{};
    const Cursor invisible = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XDefineCursor(display, window, invisible);
    XFreeCursor(display, invisible);
    XFreePixmap(display, empty);
    XGrabKeyboard(display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    XSync(display, False);
}

namespace {

// Whether the window manager lists `name` among the hints it supports (_NET_SUPPORTED).
bool windowManagerSupports(Display *display, Window root, Atom name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    bool supported = false;
    if (XGetWindowProperty(display, root, XInternAtom(display, "_NET_SUPPORTED", False), 0, 1024,
                           False, XA_ATOM, &type, &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (type == XA_ATOM && format == 32) {
            const auto *atoms = reinterpret_cast<const Atom *>(data);
            for (unsigned long i = 0; i < count; ++i) {
                supported = supported || atoms[i] == name;
            }
        }
        XFree(data);
    }
    return supported;
}

// The index of the monitor on exactly `target` in RandR's list of monitors, the list the
// server's Xinerama screens follow (the primary first) and so the index that
// _NET_WM_FULLSCREEN_MONITORS takes; -1 where none lies there.
int monitorIndexOn(Display *display, Window root, const DesktopRect &target) {
    int count = 0;
    XRRMonitorInfo *monitors = XRRGetMonitors(display, root, True, &count);
    int found = -1;
    for (int i = 0; monitors != nullptr && i < count && found < 0; ++i) {
        if (monitors[i].x == target.x && monitors[i].y == target.y &&
            monitors[i].width == target.width && monitors[i].height == target.height) {
            found = i;
        }
    }
    if (monitors != nullptr) {
        XRRFreeMonitors(monitors);
    }
    return found;
}

void sendToWindowManager(Display *display, Window root, Window window, Atom message,
                         const long (&data)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = message;
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i) {
        event.xclient.data.l[i] = data[i];
    }
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

} // namespace

bool askForFullScreenOn(const DesktopRect &target) {
    Display *display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable();
    if (display == nullptr || window == None) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    const Atom monitorsHint = XInternAtom(display, "_NET_WM_FULLSCREEN_MONITORS", False);
    if (!windowManagerSupports(display, root, monitorsHint)) {
        return false;
    }
    const int monitor = monitorIndexOn(display, root, target);
    if (monitor < 0) {
        return false;
    }
    // The monitor for all four edges, then full screen added to the window's state; 1 says
    // the request comes from an ordinary application.
    constexpr long add = 1;
    constexpr long fromApplication = 1;
    sendToWindowManager(display, root, window, monitorsHint,
                        {monitor, monitor, monitor, monitor, fromApplication});
    sendToWindowManager(display, root, window, XInternAtom(display, "_NET_WM_STATE", False),
                        {add,
                         static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False)),
                         0, fromApplication, 0});
    XFlush(display);
    return true;
}

} // namespace x11
