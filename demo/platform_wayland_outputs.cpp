// SPDX-License-Identifier: MIT
// The Wayland backend's outputs: each wl_output the registry announces, bound and listened
// to, its events (position, modes, scale, name, description) kept as the output's facts.
//
// What it does not do: choose an output or put a window on it (platform_wayland.cpp).
#include "platform_wayland.h"

#include <wayland-client.h>

#include <algorithm>
#include <string>

namespace wayland {

namespace {

// The name and description events came with wl_output version 4.
constexpr std::uint32_t outputVersion = 4;

Output &outputOf(void *data) {
    return *static_cast<Output *>(data);
}

void onGeometry(void *data, wl_output *, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                std::int32_t, const char *make, const char *model, std::int32_t) {
    Output &output = outputOf(data);
    output.facts.x = x;
    output.facts.y = y;
    if (output.facts.description.empty()) {
        output.facts.description = std::string(make) + " " + model;
    }
}

void onMode(void *data, wl_output *, std::uint32_t flags, std::int32_t width, std::int32_t height,
            std::int32_t refreshMilliHz) {
    Output &output = outputOf(data);
    OutputMode mode;
    mode.width = width;
    mode.height = height;
    mode.periodNs =
        refreshMilliHz > 0 ? 1'000'000'000'000ull / static_cast<std::uint64_t>(refreshMilliHz) : 0;
    std::vector<OutputMode> &modes = output.facts.modes;
    auto same = std::find_if(modes.begin(), modes.end(), [&](const OutputMode &known) {
        return known.width == width && known.height == height && known.periodNs == mode.periodNs;
    });
    if (same == modes.end()) {
        mode.id = static_cast<std::uint32_t>(modes.size() + 1);
        modes.push_back(mode);
        same = modes.end() - 1;
    }
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        output.facts.current = *same;
        output.facts.width = width;
        output.facts.height = height;
    }
}

void onDone(void *, wl_output *) {}

void onScale(void *data, wl_output *, std::int32_t scale) {
    outputOf(data).scale = std::max(1, scale);
}

void onName(void *data, wl_output *, const char *name) {
    outputOf(data).facts.name = name;
}

void onDescription(void *data, wl_output *, const char *description) {
    outputOf(data).facts.description = description;
}

const wl_output_listener outputListener = [] {
    wl_output_listener listener{};
    listener.geometry = onGeometry;
    listener.mode = onMode;
    listener.done = onDone;
    listener.scale = onScale;
    listener.name = onName;
    listener.description = onDescription;
    return listener;
}();

} // namespace

std::unique_ptr<Output> bindOutput(wl_registry *registry, std::uint32_t name, std::uint32_t version,
                                   std::size_t index) {
    auto output = std::make_unique<Output>();
    output->globalName = name;
    output->facts.name = "wl_output-" + std::to_string(index);
    output->output = static_cast<wl_output *>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min(version, outputVersion)));
    wl_output_add_listener(output->output, &outputListener, output.get());
    return output;
}

} // namespace wayland
