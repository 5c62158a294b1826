// SPDX-License-Identifier: MIT
// OpenGL through EGL on a Wayland surface (platform_egl.cpp), for the Wayland backend:
// desktop OpenGL in a compatibility context, a config of exactly 8-8-8 bits with depth,
// the buffer swap and the swap interval.
//
// What it does not do: talk to the compositor beyond the surface it is given.
#pragma once

#include <string>

struct wl_display;
struct wl_surface;

namespace egl {

// Initialises EGL on the compositor's connection, chooses the config and makes the context.
// False, with `why`, where any of that fails.
bool start(wl_display *display, std::string &why);

// Ends what start began (used where EGL was only tried).
void stop();

// Gives `surface` a window of width x height pixels and makes the context current on it.
bool openWindow(wl_surface *surface, int width, int height, std::string &why);

// Gives the window a new size in pixels.
void resizeWindow(int width, int height);

// Shows the frame drawn last; false where the swap failed.
bool swapBuffers();

// eglSwapInterval for the window; false where EGL refuses the value.
bool passSwapInterval(int interval);

} // namespace egl
