#include "swap_interval.h"

#include "state.h"

#include <cstring>

#ifndef _WIN32
#include <GL/glx.h>
#endif

namespace {
bool lastRequestReachedDriver = false;
}

bool swapIntervalReachedDriver() {
    return lastRequestReachedDriver;
}

std::int32_t flippedSwapInterval(std::int32_t current) {
    return current == 0 ? 1 : 0;
}

SwapControl chooseGlxSwapControl(const char *glxExtensions, std::int32_t interval) {
    if (glxExtensions == nullptr) {
        return SwapControl::none;
    }
    if (std::strstr(glxExtensions, "GLX_EXT_swap_control")) {
        return SwapControl::glxExt;
    }
    if (std::strstr(glxExtensions, "GLX_MESA_swap_control")) {
        return SwapControl::glxMesa;
    }
    if (interval > 0 && std::strstr(glxExtensions, "GLX_SGI_swap_control")) {
        return SwapControl::glxSgi;
    }
    return SwapControl::none;
}

#ifdef _WIN32

void toggleSwapInterval() {
    demoState.swapIntervalOn = flippedSwapInterval(demoState.swapIntervalOn);
    lastRequestReachedDriver = false;
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr || std::strstr(extensions, "WGL_EXT_swap_control") == nullptr) {
        return;
    }
    using SwapIntervalProc = BOOL(WINAPI *)(int);
    // Through the generic function pointer type, as for any looked-up entry.
    auto swapInterval = reinterpret_cast<SwapIntervalProc>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (swapInterval == nullptr) {
        return;
    }
    swapInterval(demoState.swapIntervalOn);
    lastRequestReachedDriver = true;
}

#else

void toggleSwapInterval() {
    demoState.swapIntervalOn = flippedSwapInterval(demoState.swapIntervalOn);
    const int interval = demoState.swapIntervalOn;
    lastRequestReachedDriver = false;

    Display *display = glXGetCurrentDisplay();
    GLXContext context = glXGetCurrentContext();
    if (display == nullptr || context == nullptr) {
        return;
    }
    int screen = DefaultScreen(display);
    glXQueryContext(display, context, GLX_SCREEN, &screen);

    auto lookup = [](const char *name) {
        return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name));
    };
    switch (chooseGlxSwapControl(glXQueryExtensionsString(display, screen), interval)) {
    case SwapControl::glxExt: {
        using Proc = void (*)(Display *, GLXDrawable, int);
        if (auto proc = reinterpret_cast<Proc>(lookup("glXSwapIntervalEXT"))) {
            proc(display, glXGetCurrentDrawable(), interval);
            lastRequestReachedDriver = true;
        }
        break;
    }
    case SwapControl::glxMesa: {
        using Proc = int (*)(unsigned int);
        if (auto proc = reinterpret_cast<Proc>(lookup("glXSwapIntervalMESA"))) {
            proc(static_cast<unsigned int>(interval));
            lastRequestReachedDriver = true;
        }
        break;
    }
    case SwapControl::glxSgi: {
        using Proc = int (*)(int);
        if (auto proc = reinterpret_cast<Proc>(lookup("glXSwapIntervalSGI"))) {
            proc(interval);
            lastRequestReachedDriver = true;
        }
        break;
    }
    case SwapControl::none:
        break;
    }
}

#endif
