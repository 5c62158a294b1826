// SPDX-License-Identifier: MIT
// OpenGL through EGL on a Wayland surface (platform_egl.h).
//
// What it does not do: damage or commit the surface itself (eglSwapBuffers commits; the
// Wayland backend damages the whole buffer before each swap).
#include "platform_egl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-egl.h>

#include <vector>

namespace egl {

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLConfig config = nullptr;
EGLContext context = EGL_NO_CONTEXT;
EGLSurface surface = EGL_NO_SURFACE;
wl_egl_window *window = nullptr;

EGLint attribute(EGLConfig candidate, EGLint name) {
    EGLint value = 0;
    eglGetConfigAttrib(display, candidate, name, &value);
    return value;
}

// The first config of exactly 8 bits per colour with a depth buffer, one without alpha
// first: Mesa lists a config of 10 bits per colour before them, which weston 10 shows black,
// and alpha would let what lies behind show through where a frame leaves it below 1.
bool chooseConfig(std::string &why) {
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_DEPTH_SIZE,
                             1,
                             EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, wanted, nullptr, 0, &count) || count == 0) {
        why = "EGL offers no OpenGL window config with 8 bits per colour and depth";
        return false;
    }
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    eglChooseConfig(display, wanted, configs.data(), count, &count);
    for (const EGLint alpha : {0, 8}) {
        for (EGLConfig candidate : configs) {
            if (attribute(candidate, EGL_RED_SIZE) == 8 &&
                attribute(candidate, EGL_GREEN_SIZE) == 8 &&
                attribute(candidate, EGL_BLUE_SIZE) == 8 &&
                attribute(candidate, EGL_ALPHA_SIZE) == alpha) {
                config = candidate;
                return true;
            }
        }
    }
    why = "EGL offers no OpenGL window config of exactly 8-8-8 bits with depth";
    return false;
}

EGLDisplay platformDisplay(wl_display *compositor) {
    const char *clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (clientExtensions != nullptr) {
        const std::string extensions = clientExtensions;
        if (extensions.find("EGL_KHR_platform_wayland") != std::string::npos) {
            return eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, compositor, nullptr);
        }
    }
    return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(compositor));
}

} // namespace

bool start(wl_display *compositor, std::string &why) {
    display = platformDisplay(compositor);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        why = "EGL cannot be started on the compositor's connection";
        display = EGL_NO_DISPLAY;
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        why = "EGL offers no desktop OpenGL";
        stop();
        return false;
    }
    if (!chooseConfig(why)) {
        stop();
        return false;
    }
    // No attributes: desktop OpenGL in a compatibility context, which the viewer's fixed
    // function drawing needs.
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        why = "EGL cannot make an OpenGL context";
        stop();
        return false;
    }
    return true;
}

void stop() {
    if (display != EGL_NO_DISPLAY) {
        eglTerminate(display);
    }
    display = EGL_NO_DISPLAY;
    context = EGL_NO_CONTEXT;
    config = nullptr;
}

bool openWindow(wl_surface *target, int width, int height, std::string &why) {
    window = wl_egl_window_create(target, width, height);
    if (window == nullptr) {
        why = "cannot make an EGL window on the surface";
        return false;
    }
    surface = eglCreateWindowSurface(display, config, reinterpret_cast<EGLNativeWindowType>(window),
                                     nullptr);
    if (surface == EGL_NO_SURFACE || !eglMakeCurrent(display, surface, surface, context)) {
        why = "cannot make the OpenGL context current on the window";
        return false;
    }
    return true;
}

void resizeWindow(int width, int height) {
    if (window != nullptr) {
        wl_egl_window_resize(window, width, height, 0, 0);
    }
}

bool swapBuffers() {
    return eglSwapBuffers(display, surface) == EGL_TRUE;
}

bool passSwapInterval(int interval) {
    return display != EGL_NO_DISPLAY && eglSwapInterval(display, interval) == EGL_TRUE;
}

} // namespace egl
