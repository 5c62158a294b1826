// SPDX-License-Identifier: MIT
#include "display_probe.h"

#include "messages.h"

#include <cstring>
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

bool compositorPlacesWindows(const DisplayServerFacts &facts) {
    return facts.waylandCompositor || runsUnderXwayland(facts);
}

DisplayChoice chooseDisplayWindow(const DisplayServerFacts &facts) {
    if (facts.waylandCompositor) {
        return {false, {}};
    }
    if (runsUnderXwayland(facts)) {
        return {false, demoWarning("running under XWayland; the display mode is not switched, "
                                   "the window goes full screen on the chosen output, texels "
                                   "land one to one on display pixels only at a desktop scale "
                                   "of 100%, and the refresh counter is XWayland's; the native "
                                   "Wayland backend (--backend wayland) draws one to one at any "
                                   "scale and reports the compositor's presentation feedback")};
    }
    if (facts.modeListing == ModeListing::Fails) {
        return {false,
                demoWarning("the X server cannot list its video modes; game mode is not used")};
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
