#include "display_probe.h"

#ifndef _WIN32
#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include <X11/extensions/xf86vmproto.h>

#include <sys/uio.h>
#endif

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

bool runsUnderXwayland(const DisplayServerFacts &facts) {
    if (facts.xwaylandExtension) {
        return true;
    }
    for (const std::string &name : facts.outputNames) {
        if (std::string_view(name).starts_with("XWAYLAND")) {
            return true;
        }
    }
    return false;
}

DisplayChoice chooseDisplayWindow(const DisplayServerFacts &facts) {
    if (runsUnderXwayland(facts)) {
        return {false, "moiravel-demo: warning: running under XWayland; game mode is not used, and "
                       "texels land one to one only when README.txt names the output's own "
                       "resolution and the desktop's scale is 100%"};
    }
    if (facts.modeListing == ModeListing::Fails) {
        return {false, "moiravel-demo: warning: the X server cannot list its video modes; game "
                       "mode is not used"};
    }
    return {};
}

const char *displayArgument(int argc, char **argv) {
    const char *name = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-display") == 0) {
            name = argv[++i];
        }
    }
    return name;
}

#ifdef _WIN32

// Windows has no X server to look at: game mode is always requested.
DisplayServerFacts probeDisplayServer(const char *) {
    return {};
}

#else

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

#endif
