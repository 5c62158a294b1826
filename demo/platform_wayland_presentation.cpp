// SPDX-License-Identifier: MIT
// The Wayland backend's presentation feedback: wp_presentation bound where the compositor
// offers it, one wp_presentation_feedback asked for before each of the viewer's buffer swaps,
// and what each tells queued, in order, for the missed-refresh check.
//
// What it does not do: judge the frames (refresh_check.cpp), swap the buffers or read the
// compositor's events (platform_wayland.cpp).
#include "platform_wayland.h"
#include "presentation_queue.h"

#include "presentation-time-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace wayland {

namespace {

struct Presentation {
    wp_presentation *global = nullptr;
    // The clock the compositor's times are on (a clockid_t); only their differences are
    // used, so any clock serves.
    std::uint32_t clockId = 0;
    std::int64_t swaps = 0; // the viewer's buffer swaps so far; the latest one's number
    PresentationQueue queue;
};

Presentation presentation;

// Each feedback object carries the number of the swap it tells of as its user data: no
// allocation per frame beyond the proxy itself.
void *frameData(std::int64_t frame) {
    return reinterpret_cast<void *>(static_cast<std::uintptr_t>(frame));
}

std::int64_t frameOf(void *data) {
    return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(data));
}

void onClockId(void *, wp_presentation *, std::uint32_t clockId) {
    presentation.clockId = clockId;
}

const wp_presentation_listener presentationListener = [] {
    wp_presentation_listener listener{};
    listener.clock_id = onClockId;
    return listener;
}();

void onSyncOutput(void *, struct wp_presentation_feedback *, wl_output *) {}

void onPresented(void *data, struct wp_presentation_feedback *feedback, std::uint32_t secondsHigh,
                 std::uint32_t secondsLow, std::uint32_t nanoseconds, std::uint32_t refreshNs,
                 std::uint32_t sequenceHigh, std::uint32_t sequenceLow, std::uint32_t flags) {
    PresentationEvent event;
    event.frame = frameOf(data);
    event.timeNs = splitTimeNs(secondsHigh, secondsLow, nanoseconds);
    event.refreshNs = refreshNs;
    event.sequence = joinHalves(sequenceHigh, sequenceLow);
    event.flags = flags;
    pushPresentation(presentation.queue, event);
    wp_presentation_feedback_destroy(feedback);
}

void onDiscarded(void *data, struct wp_presentation_feedback *feedback) {
    PresentationEvent event;
    event.frame = frameOf(data);
    event.discarded = true;
    pushPresentation(presentation.queue, event);
    wp_presentation_feedback_destroy(feedback);
}

const wp_presentation_feedback_listener feedbackListener = [] {
    wp_presentation_feedback_listener listener{};
    listener.sync_output = onSyncOutput;
    listener.presented = onPresented;
    listener.discarded = onDiscarded;
    return listener;
}();

} // namespace

bool bindPresentation(wl_registry *registry, std::uint32_t name, const char *interface,
                      std::uint32_t version) {
    if (std::string_view(interface) != wp_presentation_interface.name ||
        presentation.global != nullptr) {
        return false;
    }
    presentation.global = static_cast<wp_presentation *>(
        wl_registry_bind(registry, name, &wp_presentation_interface, std::min(version, 1u)));
    wp_presentation_add_listener(presentation.global, &presentationListener, nullptr);
    return true;
}

void forgetPresentation() {
    presentation = Presentation{};
}

void askForPresentation(wl_surface *surface) {
    const std::int64_t frame = ++presentation.swaps;
    if (presentation.global == nullptr) {
        return;
    }
    struct wp_presentation_feedback *feedback =
        wp_presentation_feedback(presentation.global, surface);
    wp_presentation_feedback_add_listener(feedback, &feedbackListener, frameData(frame));
}

bool nextPresentation(PresentationEvent &event) {
    return popPresentation(presentation.queue, event);
}

} // namespace wayland
