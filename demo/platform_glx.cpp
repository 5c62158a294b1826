// SPDX-License-Identifier: MIT
// GLX on X11: the refresh counter and rate of GLX_OML_sync_control, the display mode's refresh
// rate through XRandR, and the swap interval through the GLX swap-control extensions, all for
// the current context and window.
//
// What it does not do: judge the frames (refresh_check.cpp), keep the clock (clock_posix.cpp),
// or open or place windows.
#include "platform_glx.h"

#include "swap_interval.h"

#include "gl_entry/lookup.h"

#include <GL/glx.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>

namespace glx {

namespace {

// GLX_OML_sync_control's calls, looked up when the refresh is first looked at.
using GetSyncValues = Bool (*)(Display *, GLXDrawable, std::int64_t *, std::int64_t *,
                               std::int64_t *);
using GetMscRate = Bool (*)(Display *, GLXDrawable, std::int32_t *, std::int32_t *);

struct SyncCounter {
    Display *display = nullptr;
    GLXDrawable drawable = 0;
    GetSyncValues getSyncValues = nullptr;
};

SyncCounter syncCounter;

template <typename Proc> Proc lookUp(const char *name) {
    return reinterpret_cast<Proc>(gl_entry::lookupEntryPoint(name));
}

// The screen of the current context, or the display's default screen.
int contextScreen(Display *display, GLXContext context) {
    int screen = DefaultScreen(display);
    glXQueryContext(display, context, GLX_SCREEN, &screen);
    return screen;
}

std::uint64_t crtcPeriodNs(Display *display, XRRScreenResources *resources, RRCrtc crtc) {
    XRRCrtcInfo *info = crtc != 0 ? XRRGetCrtcInfo(display, resources, crtc) : nullptr;
    if (info == nullptr) {
        return 0;
    }
    std::uint64_t periodNs = 0;
    for (int m = 0; m < resources->nmode; ++m) {
        const XRRModeInfo &mode = resources->modes[m];
        if (mode.id == info->mode) {
            periodNs = modeLinePeriodNs(mode.dotClock, mode.hTotal, mode.vTotal,
                                        (mode.modeFlags & RR_Interlace) != 0,
                                        (mode.modeFlags & RR_DoubleScan) != 0);
        }
    }
    XRRFreeCrtcInfo(info);
    return periodNs;
}

// The refresh period of the mode shown by the output named outputName, or by the primary
// output when it is empty, or else by the first CRTC that shows one; 0 when the server gives
// no mode line (Xvfb).
std::uint64_t displayModePeriodNs(Display *display, int screen, const std::string &outputName) {
    const Window root = RootWindow(display, screen);
    int eventBase = 0;
    int errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) {
        return 0;
    }
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return 0;
    }
    std::uint64_t periodNs = 0;
    const RROutput primary = XRRGetOutputPrimary(display, root);
    for (int i = 0; i < resources->noutput && periodNs == 0; ++i) {
        XRROutputInfo *output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output == nullptr) {
            continue;
        }
        const bool wanted = outputName.empty()
                                ? resources->outputs[i] == primary
                                : outputName == std::string(output->name, output->nameLen);
        if (wanted) {
            periodNs = crtcPeriodNs(display, resources, output->crtc);
        }
        XRRFreeOutputInfo(output);
    }
    for (int i = 0; i < resources->ncrtc && periodNs == 0; ++i) {
        periodNs = crtcPeriodNs(display, resources, resources->crtcs[i]);
    }
    XRRFreeScreenResources(resources);
    return periodNs;
}

} // namespace

RefreshFacts lookAtRefresh(const std::string &outputName) {
    SyncCounter &counter = syncCounter;
    counter.display = glXGetCurrentDisplay();
    counter.drawable = glXGetCurrentDrawable();
    GLXContext context = glXGetCurrentContext();
    RefreshFacts facts;
    facts.outputName = outputName;
    if (counter.display == nullptr || context == nullptr) {
        return facts;
    }
    const int screen = contextScreen(counter.display, context);
    const char *extensions = glXQueryExtensionsString(counter.display, screen);
    if (extensions != nullptr && std::strstr(extensions, "GLX_OML_sync_control") != nullptr) {
        counter.getSyncValues = lookUp<GetSyncValues>("glXGetSyncValuesOML");
        auto getMscRate = lookUp<GetMscRate>("glXGetMscRateOML");
        std::int32_t numerator = 0;
        std::int32_t denominator = 0;
        if (getMscRate != nullptr &&
            getMscRate(counter.display, counter.drawable, &numerator, &denominator)) {
            facts.counterPeriodNs = ratePeriodNs(numerator, denominator);
        }
    }
    facts.hasCounter = counter.getSyncValues != nullptr;
    if (facts.counterPeriodNs == 0) {
        facts.modePeriodNs = displayModePeriodNs(counter.display, screen, outputName);
    }
    return facts;
}

RefreshReading readRefreshCounter() {
    const SyncCounter &counter = syncCounter;
    std::int64_t ust = 0;
    std::int64_t msc = 0;
    std::int64_t sbc = 0;
    if (counter.getSyncValues != nullptr) {
        counter.getSyncValues(counter.display, counter.drawable, &ust, &msc, &sbc);
    }
    // OML's UST counts microseconds.
    return {static_cast<std::uint64_t>(msc), static_cast<std::uint64_t>(ust) * 1000};
}

bool nextPresentation(PresentationEvent &) {
    return false;
}

bool passSwapInterval(int interval) {
    Display *display = glXGetCurrentDisplay();
    GLXContext context = glXGetCurrentContext();
    if (display == nullptr || context == nullptr) {
        return false;
    }
    const int screen = contextScreen(display, context);
    // Looked up anew on every use, so that the driver of the current context answers.
    switch (chooseGlxSwapControl(glXQueryExtensionsString(display, screen), interval)) {
    case SwapControl::glxExt:
        if (auto proc = lookUp<void (*)(Display *, GLXDrawable, int)>("glXSwapIntervalEXT")) {
            proc(display, glXGetCurrentDrawable(), interval);
            return true;
        }
        break;
    case SwapControl::glxMesa:
        if (auto proc = lookUp<int (*)(unsigned int)>("glXSwapIntervalMESA")) {
            proc(static_cast<unsigned int>(interval));
            return true;
        }
        break;
    case SwapControl::glxSgi:
        if (auto proc = lookUp<int (*)(int)>("glXSwapIntervalSGI")) {
            proc(interval);
            return true;
        }
        break;
    case SwapControl::none:
        break;
    }
    return false;
}

} // namespace glx
