// SPDX-License-Identifier: MIT
// The Wayland backend's buffer at the output's scale: the arithmetic of the buffer's size,
// the outputs the window's surface enters, the compositor's preferred fractional scale
// (wp_fractional_scale_v1) and the surface's viewport (wp_viewporter), so that the buffer is
// the output's size in its own pixels.
//
// What it does not do: resize the EGL window or tell the viewer of the new size
// (platform_wayland.cpp), or warn where the compositor scales the picture anyway (start-up,
// from the window's placement).
#include "platform_wayland.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace wayland {

// The fraction's denominator in wp_fractional_scale_v1.
constexpr std::int64_t scaleDenominator = 120;

namespace {

// size * scale / 120, rounded half away from zero (sizes are never negative).
int scaled(int size, std::uint32_t scale) {
    return static_cast<int>((static_cast<std::int64_t>(size) * scale + scaleDenominator / 2) /
                            scaleDenominator);
}

} // namespace

BufferLayout bufferLayout(const ScaleFacts &facts) {
    BufferLayout layout;
    const int outputScale = std::max(1, facts.outputScale);
    const std::uint32_t scale = facts.preferredScale > 0
                                    ? facts.preferredScale
                                    : static_cast<std::uint32_t>(outputScale * scaleDenominator);
    // The surface size: the one configured, else the mode's at the scale used.
    const auto surfaceSize = [&](int configured, int mode) {
        if (configured > 0) {
            return configured;
        }
        return facts.fractional ? static_cast<int>((mode * scaleDenominator + scale / 2) / scale)
                                : mode / outputScale;
    };
    const int width = surfaceSize(facts.surfaceWidth, facts.modeWidth);
    const int height = surfaceSize(facts.surfaceHeight, facts.modeHeight);
    if (facts.fractional) {
        layout.width = scaled(width, scale);
        layout.height = scaled(height, scale);
        layout.viewport = true;
        layout.destinationWidth = width;
        layout.destinationHeight = height;
    } else {
        layout.width = width * outputScale;
        layout.height = height * outputScale;
        layout.bufferScale = outputScale;
    }
    const bool outputScaled = outputScale != 1 || (facts.fractional && scale != scaleDenominator);
    layout.compositorScales =
        outputScaled && (layout.width != facts.modeWidth || layout.height != facts.modeHeight);
    return layout;
}

namespace {

struct ScaleState {
    wp_viewporter *viewporter = nullptr;
    wp_fractional_scale_manager_v1 *fractionalManager = nullptr;
    wl_surface *surface = nullptr;
    wp_viewport *viewport = nullptr;
    wp_fractional_scale_v1 *fractional = nullptr;
    std::uint32_t preferredScale = 0;
    Output *asked = nullptr;
    std::vector<wl_output *> entered; // in the order entered
    BufferLayout applied;
};

ScaleState scaleState;

void onEnter(void *, wl_surface *, wl_output *output) {
    scaleState.entered.push_back(output);
}

void onLeave(void *, wl_surface *, wl_output *output) {
    std::erase(scaleState.entered, output);
}

const wl_surface_listener surfaceListener = [] {
    wl_surface_listener listener{};
    listener.enter = onEnter;
    listener.leave = onLeave;
    return listener;
}();

void onPreferredScale(void *, wp_fractional_scale_v1 *, std::uint32_t scale) {
    scaleState.preferredScale = scale;
}

const wp_fractional_scale_v1_listener fractionalListener = [] {
    wp_fractional_scale_v1_listener listener{};
    listener.preferred_scale = onPreferredScale;
    return listener;
}();

} // namespace

bool bindScaleGlobal(wl_registry *registry, std::uint32_t name, const char *interface,
                     std::uint32_t) {
    const std::string_view kind = interface;
    if (kind == wp_viewporter_interface.name && scaleState.viewporter == nullptr) {
        scaleState.viewporter = static_cast<wp_viewporter *>(
            wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
        return true;
    }
    if (kind == wp_fractional_scale_manager_v1_interface.name &&
        scaleState.fractionalManager == nullptr) {
        scaleState.fractionalManager = static_cast<wp_fractional_scale_manager_v1 *>(
            wl_registry_bind(registry, name, &wp_fractional_scale_manager_v1_interface, 1));
        return true;
    }
    return false;
}

void forgetScaleGlobals() {
    scaleState = ScaleState{};
}

void watchSurfaceScale(wl_surface *surface, Output *asked) {
    scaleState.surface = surface;
    scaleState.asked = asked;
    wl_surface_add_listener(surface, &surfaceListener, nullptr);
    if (scaleState.viewporter != nullptr && scaleState.fractionalManager != nullptr) {
        scaleState.viewport = wp_viewporter_get_viewport(scaleState.viewporter, surface);
        scaleState.fractional = wp_fractional_scale_manager_v1_get_fractional_scale(
            scaleState.fractionalManager, surface);
        wp_fractional_scale_v1_add_listener(scaleState.fractional, &fractionalListener, nullptr);
    }
}

Output *surfaceOutput() {
    for (auto at = scaleState.entered.rbegin(); at != scaleState.entered.rend(); ++at) {
        if (auto *output = static_cast<Output *>(wl_output_get_user_data(*at))) {
            return output;
        }
    }
    return scaleState.asked;
}

void forgetOutput(const Output *gone) {
    std::erase(scaleState.entered, gone->output);
    if (scaleState.asked == gone) {
        scaleState.asked = nullptr;
    }
}

BufferLayout surfaceLayout(int surfaceWidth, int surfaceHeight) {
    const Output *output = surfaceOutput();
    ScaleFacts facts;
    facts.surfaceWidth = surfaceWidth;
    facts.surfaceHeight = surfaceHeight;
    facts.preferredScale = scaleState.preferredScale;
    facts.fractional = scaleState.viewport != nullptr;
    if (output != nullptr) {
        facts.outputScale = output->scale;
        facts.modeWidth = output->facts.width;
        facts.modeHeight = output->facts.height;
    }
    return bufferLayout(facts);
}

void applyLayout(const BufferLayout &layout) {
    if (layout.bufferScale != scaleState.applied.bufferScale) {
        wl_surface_set_buffer_scale(scaleState.surface, layout.bufferScale);
    }
    if (layout.viewport && scaleState.viewport != nullptr &&
        (layout.destinationWidth != scaleState.applied.destinationWidth ||
         layout.destinationHeight != scaleState.applied.destinationHeight)) {
        wp_viewport_set_destination(scaleState.viewport, layout.destinationWidth,
                                    layout.destinationHeight);
    }
    scaleState.applied = layout;
}

} // namespace wayland
