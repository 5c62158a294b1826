// SPDX-License-Identifier: MIT
// X11 with RandR 1.2: switches one output's mode alone and puts it back on every way out:
// exit, SIGINT, SIGTERM and SIGHUP, and a lost connection to the display. What it takes to
// put the mode back is in a record file first (mode_record.h), so that a later run mends a
// run that was killed outright.
//
// Every request goes over an XCB connection of its own, opened for the one job: putting the
// mode back must work from a thread of its own and after GLUT's connection is lost.
//
// What it does not do: list the outputs for the choice (platform_x11.cpp), or open windows.
#include "platform_x11.h"

#include "ending_signals.h"
#include "messages.h"
#include "mode_record.h"
#include "record_file.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <X11/Xlib.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

namespace x11 {

namespace {

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> XcbReply<T> owned(T *reply) {
    return XcbReply<T>(reply, &std::free);
}

// The display the viewer reaches: the one named, else $DISPLAY's.
std::string reachedDisplay(const char *displayName) {
    const char *name = displayName != nullptr ? displayName : std::getenv("DISPLAY");
    return name != nullptr ? name : "";
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// ---- RandR over a connection of its own ----

struct Connection {
    xcb_connection_t *xcb = nullptr;
    xcb_screen_t *screen = nullptr;
    ~Connection() {
        if (xcb != nullptr) {
            xcb_disconnect(xcb);
        }
    }
};

bool connect(const std::string &displayName, Connection &connection, std::string &why) {
    int screenNumber = 0;
    connection.xcb = xcb_connect(displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection.xcb)) {
        why = "cannot connect to the display " + displayName;
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection.xcb));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    connection.screen = it.rem > 0 ? it.data : nullptr;
    const xcb_query_extension_reply_t *randr =
        xcb_get_extension_data(connection.xcb, &xcb_randr_id);
    auto version = owned(xcb_randr_query_version_reply(
        connection.xcb, xcb_randr_query_version(connection.xcb, 1, 2), nullptr));
    if (connection.screen == nullptr || randr == nullptr || !randr->present || !version ||
        (version->major_version == 1 && version->minor_version < 2)) {
        why = "the display has no RandR 1.2";
        return false;
    }
    return true;
}

std::string outputName(xcb_randr_get_output_info_reply_t *info) {
    return {reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info)),
            static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info))};
}

// The screen's resources and the outputs' names, looked up once for one job.
struct Resources {
    XcbReply<xcb_randr_get_screen_resources_current_reply_t> reply{nullptr, &std::free};
    std::vector<std::pair<xcb_randr_output_t, XcbReply<xcb_randr_get_output_info_reply_t>>> outputs;

    OutputMode mode(xcb_randr_mode_t id) const {
        const xcb_randr_mode_info_t *modes =
            xcb_randr_get_screen_resources_current_modes(reply.get());
        const int count = xcb_randr_get_screen_resources_current_modes_length(reply.get());
        for (int m = 0; m < count; ++m) {
            if (modes[m].id == id) {
                return modeOf(modes[m]);
            }
        }
        return {};
    }
    // The output named `name`: its id and facts; nothing where the display has none.
    std::optional<std::size_t> find(const std::string &name) const {
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            if (outputName(outputs[i].second.get()) == name) {
                return i;
            }
        }
        return std::nullopt;
    }
    std::vector<OutputMode> offered(std::size_t output) const {
        xcb_randr_get_output_info_reply_t *info = outputs[output].second.get();
        const xcb_randr_mode_t *ids = xcb_randr_get_output_info_modes(info);
        std::vector<OutputMode> modes;
        for (int m = 0; m < xcb_randr_get_output_info_modes_length(info); ++m) {
            modes.push_back(mode(ids[m]));
        }
        return modes;
    }
};

bool readResources(Connection &connection, Resources &resources, std::string &why) {
    resources.reply = owned(xcb_randr_get_screen_resources_current_reply(
        connection.xcb,
        xcb_randr_get_screen_resources_current(connection.xcb, connection.screen->root), nullptr));
    if (!resources.reply) {
        why = "the display gives no screen resources";
        return false;
    }
    const xcb_randr_output_t *ids =
        xcb_randr_get_screen_resources_current_outputs(resources.reply.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.reply.get());
    for (int i = 0; i < count; ++i) {
        auto info = owned(xcb_randr_get_output_info_reply(
            connection.xcb,
            xcb_randr_get_output_info(connection.xcb, ids[i], resources.reply->config_timestamp),
            nullptr));
        if (info) {
            resources.outputs.emplace_back(ids[i], std::move(info));
        }
    }
    return true;
}

bool setCrtc(Connection &connection, const Resources &resources, xcb_randr_crtc_t crtc, int x,
             int y, xcb_randr_mode_t mode, std::uint16_t rotation,
             const std::vector<xcb_randr_output_t> &outputs, std::string &why) {
    auto reply = owned(xcb_randr_set_crtc_config_reply(
        connection.xcb,
        xcb_randr_set_crtc_config(connection.xcb, crtc, XCB_CURRENT_TIME,
                                  resources.reply->config_timestamp, static_cast<std::int16_t>(x),
                                  static_cast<std::int16_t>(y), mode, rotation,
                                  static_cast<std::uint32_t>(outputs.size()), outputs.data()),
        nullptr));
    if (!reply || reply->status != XCB_RANDR_SET_CONFIG_SUCCESS) {
        why = reply ? "the display refused the CRTC's new configuration (status " +
                          std::to_string(reply->status) + ")"
                    : "the display refused the CRTC's new configuration";
        return false;
    }
    return true;
}

bool setScreenSize(Connection &connection, int width, int height, int widthMm, int heightMm,
                   std::string &why) {
    xcb_generic_error_t *error = xcb_request_check(
        connection.xcb, xcb_randr_set_screen_size_checked(connection.xcb, connection.screen->root,
                                                          static_cast<std::uint16_t>(width),
                                                          static_cast<std::uint16_t>(height),
                                                          static_cast<std::uint32_t>(widthMm),
                                                          static_cast<std::uint32_t>(heightMm)));
    if (error != nullptr) {
        why = "the display refused the screen size " + sizeText(width, height);
        std::free(error);
        return false;
    }
    return true;
}

// Puts the record's configuration back on its display, the screen's size after it.
bool putBack(const ModeRecord &record, bool &displayGone, std::string &why) {
    Connection connection;
    Resources resources;
    displayGone = false;
    if (!connect(record.displayName, connection, why)) {
        displayGone = xcb_connection_has_error(connection.xcb) != 0;
        return false;
    }
    if (!readResources(connection, resources, why)) {
        return false;
    }
    const std::optional<std::size_t> output = resources.find(record.outputName);
    if (!output) {
        why = "the display has no output " + record.outputName + " any more";
        return false;
    }
    const std::optional<OutputMode> mode = modeToRestore(record, resources.offered(*output));
    if (!mode) {
        why = record.outputName + " offers no " + sizeText(record.mode.width, record.mode.height) +
              " mode at " + rateText(record.mode.periodNs) + " any more";
        return false;
    }
    const xcb_randr_crtc_t current = resources.outputs[*output].second->crtc;
    std::vector<xcb_randr_output_t> outputs;
    for (const std::string &name : record.crtcOutputs) {
        if (const auto found = resources.find(name)) {
            outputs.push_back(resources.outputs[*found].first);
        }
    }
    if (std::find(outputs.begin(), outputs.end(), resources.outputs[*output].first) ==
        outputs.end()) {
        outputs.push_back(resources.outputs[*output].first);
    }
    if (!setCrtc(connection, resources, current != 0 ? current : record.crtc, record.x, record.y,
                 mode->id, record.rotation, outputs, why)) {
        return false;
    }
    return record.screenWidth <= 0 ||
           setScreenSize(connection, record.screenWidth, record.screenHeight, record.screenWidthMm,
                         record.screenHeightMm, why);
}

// ---- The switched mode and the ways out ----

std::mutex restoreMutex;
std::optional<ModeRecord> switchedMode; // under restoreMutex

void restoreAtExit() {
    restoreOutputMode();
}

int onLostDisplay(Display *) {
    std::fprintf(stderr, "%s\n", demoMessage("lost the connection to the display; ending").c_str());
    restoreOutputMode();
    std::fflush(nullptr);
    // Not exit(): what atexit runs would reach for the lost connection again.
    _exit(1);
}

// Arms the ways out once. The ending signals are armed at start-up, before any thread but the
// main one exists; armed here too for a caller that did not.
void armWaysOut() {
    static bool armed = false;
    if (armed) {
        return;
    }
    armed = true;
    std::atexit(restoreAtExit);
    armEndingSignals();
    onEndingSignal(restoreOutputMode);
    // A write to a connection the server has closed must come back as EPIPE, for Xlib to
    // call onLostDisplay, rather than end the process with the mode still switched.
    std::signal(SIGPIPE, SIG_IGN);
    XSetIOErrorHandler(onLostDisplay);
}

} // namespace

bool switchOutputMode(const char *displayName, const OutputFacts &output, const OutputMode &mode,
                      std::string &why) {
    {
        std::lock_guard<std::mutex> lock(restoreMutex);
        if (switchedMode) {
            why = "an output's mode is switched already";
            return false;
        }
    }
    ModeRecord record;
    record.processId = getpid();
    record.displayName = reachedDisplay(displayName);
    record.outputName = output.name;
    Connection connection;
    Resources resources;
    if (!connect(record.displayName, connection, why) ||
        !readResources(connection, resources, why)) {
        return false;
    }
    const std::optional<std::size_t> found = resources.find(output.name);
    xcb_randr_get_output_info_reply_t *info =
        found ? resources.outputs[*found].second.get() : nullptr;
    if (info == nullptr || info->crtc == 0) {
        why = "the display shows no output " + output.name;
        return false;
    }
    auto crtc = owned(xcb_randr_get_crtc_info_reply(
        connection.xcb,
        xcb_randr_get_crtc_info(connection.xcb, info->crtc, resources.reply->config_timestamp),
        nullptr));
    if (!crtc || crtc->mode == 0) {
        why = "the display shows nothing on " + output.name;
        return false;
    }
    record.crtc = info->crtc;
    record.x = crtc->x;
    record.y = crtc->y;
    record.rotation = crtc->rotation;
    record.mode = resources.mode(crtc->mode);
    if (record.mode.id == 0) {
        why = "the display does not describe the mode " + output.name + " shows";
        return false;
    }
    const xcb_randr_output_t *crtcOutputs = xcb_randr_get_crtc_info_outputs(crtc.get());
    std::vector<xcb_randr_output_t> outputIds(
        crtcOutputs, crtcOutputs + xcb_randr_get_crtc_info_outputs_length(crtc.get()));
    for (const xcb_randr_output_t id : outputIds) {
        for (const auto &[otherId, otherInfo] : resources.outputs) {
            if (otherId == id) {
                record.crtcOutputs.push_back(outputName(otherInfo.get()));
            }
        }
    }
    // The mode must still be what the choice was made from.
    const std::vector<OutputMode> offered = resources.offered(*found);
    const OutputMode target = resources.mode(mode.id);
    if (std::none_of(offered.begin(), offered.end(),
                     [&](const OutputMode &m) { return m.id == mode.id; }) ||
        target.width != mode.width || target.height != mode.height) {
        why = output.name + " no longer offers that mode";
        return false;
    }

    // The screen grows where the mode does not fit it, within the sizes it can take.
    const bool sideways =
        (crtc->rotation & (XCB_RANDR_ROTATION_ROTATE_90 | XCB_RANDR_ROTATION_ROTATE_270)) != 0;
    const int right = record.x + (sideways ? target.height : target.width);
    const int bottom = record.y + (sideways ? target.width : target.height);
    auto geometry = owned(xcb_get_geometry_reply(
        connection.xcb, xcb_get_geometry(connection.xcb, connection.screen->root), nullptr));
    if (!geometry) {
        why = "the display tells no screen size";
        return false;
    }
    const int screenWidth = geometry->width;
    const int screenHeight = geometry->height;
    const int widthMm = connection.screen->width_in_millimeters;
    const int heightMm = connection.screen->height_in_millimeters;
    const bool grows = right > screenWidth || bottom > screenHeight;
    const int newWidth = std::max(screenWidth, right);
    const int newHeight = std::max(screenHeight, bottom);
    if (grows) {
        auto range = owned(xcb_randr_get_screen_size_range_reply(
            connection.xcb,
            xcb_randr_get_screen_size_range(connection.xcb, connection.screen->root), nullptr));
        if (!range || newWidth > range->max_width || newHeight > range->max_height) {
            why = "the screen cannot grow to " + sizeText(newWidth, newHeight) + " to hold it";
            return false;
        }
        record.screenWidth = screenWidth;
        record.screenHeight = screenHeight;
        record.screenWidthMm = widthMm;
        record.screenHeightMm = heightMm;
    }

    // The record first: from here on, a run killed at any point leaves what mends it.
    const std::string path = recordPath();
    std::string readWhy;
    if (readRecordFile(path, readWhy)) {
        why = "the record of another run's switch is in " + path +
              " (of a run that still goes on, of another display, or unreadable)";
        return false;
    }
    if (!writeRecordFile(path, modeRecordText(record), why)) {
        return false;
    }
    const auto undo = [&](bool shrink) {
        std::string ignored;
        if (shrink) {
            setScreenSize(connection, screenWidth, screenHeight, widthMm, heightMm, ignored);
        }
        unlink(path.c_str());
        return false;
    };
    if (grows && !setScreenSize(connection, newWidth, newHeight,
                                widthMm * newWidth / std::max(screenWidth, 1),
                                heightMm * newHeight / std::max(screenHeight, 1), why)) {
        return undo(false);
    }
    if (!setCrtc(connection, resources, record.crtc, record.x, record.y, mode.id, record.rotation,
                 outputIds, why)) {
        return undo(grows);
    }
    {
        std::lock_guard<std::mutex> lock(restoreMutex);
        switchedMode = record;
    }
    armWaysOut();
    return true;
}

void restoreOutputMode() {
    // Once: the first of exit, the signal thread and the lost connection puts the mode back,
    // and the others wait for it to finish.
    std::lock_guard<std::mutex> lock(restoreMutex);
    if (!switchedMode) {
        return;
    }
    const ModeRecord record = *switchedMode;
    switchedMode.reset();
    std::string why;
    bool displayGone = false;
    // The record stays where the display is still there and refused: --restore-display can
    // try again. A display that is gone took the mode with it.
    if (putBack(record, displayGone, why) || displayGone) {
        unlink(recordPath().c_str());
    }
    if (!why.empty() && !displayGone) {
        std::fprintf(stderr, "%s\n",
                     demoWarning("cannot put " + record.outputName + " back to " +
                                 sizeText(record.mode.width, record.mode.height) + ": " + why)
                         .c_str());
    }
}

std::string restoreModeLeftBehind(const char *displayName) {
    const std::string path = recordPath();
    std::string why;
    const std::optional<std::string> text = readRecordFile(path, why);
    if (!text) {
        return {};
    }
    ModeRecord record;
    if (why.empty() && !parseModeRecord(*text, record, why)) {
        unlink(path.c_str());
        return demoWarning("removed " + path + ", which is no record of a display mode: " + why);
    }
    if (!why.empty()) {
        return demoWarning("cannot read " + path + ": " + why);
    }
    // Another display's record, or one of a run that still goes on and puts its mode back
    // itself, is left alone.
    if (!sameDisplay(record.displayName, reachedDisplay(displayName)) ||
        (record.processId != getpid() &&
         (kill(static_cast<pid_t>(record.processId), 0) == 0 || errno == EPERM))) {
        return {};
    }
    bool displayGone = false;
    if (!putBack(record, displayGone, why)) {
        return demoWarning("cannot restore " + record.outputName + " as an earlier run left it (" +
                           why + "); its record stays in " + path);
    }
    unlink(path.c_str());
    return restoredLine(record);
}

} // namespace x11
