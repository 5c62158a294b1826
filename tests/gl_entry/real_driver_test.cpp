// SPDX-License-Identifier: MIT
// The table against Mesa's software renderer on a private Xvfb: entries called through their
// slots reach the driver and work.
// GoogleTest comes before the X11 headers, whose None and Bool macros it would trip over.
#include <gtest/gtest.h>

#include "driver_checks.h"
#include "x_server.h"

#include "gl_entry/entry_points.h"
#include "gl_entry/lookup.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace {

class RealDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        ASSERT_TRUE(server_.running()) << server_.log();
        display_ = XOpenDisplay(server_.displayName().c_str());
        ASSERT_NE(display_, nullptr);

        int attributes[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
        visual_ = glXChooseVisual(display_, DefaultScreen(display_), attributes);
        ASSERT_NE(visual_, nullptr);
        const Window root = RootWindow(display_, visual_->screen);
        XSetWindowAttributes windowAttributes{};
        windowAttributes.colormap = colormap_ =
            XCreateColormap(display_, root, visual_->visual, AllocNone);
        window_ = XCreateWindow(display_, root, 0, 0, 64, 64, 0, visual_->depth, InputOutput,
                                visual_->visual, CWColormap, &windowAttributes);
        context_ = glXCreateContext(display_, visual_, nullptr, True);
        ASSERT_NE(context_, nullptr);
        ASSERT_TRUE(glXMakeCurrent(display_, window_, context_));
    }

    void TearDown() override {
        if (display_ == nullptr) {
            return;
        }
        glXMakeCurrent(display_, None, nullptr);
        if (context_ != nullptr) {
            glXDestroyContext(display_, context_);
        }
        if (window_ != 0) {
            XDestroyWindow(display_, window_);
            XFreeColormap(display_, colormap_);
        }
        if (visual_ != nullptr) {
            XFree(visual_);
        }
        XCloseDisplay(display_);
    }

    // The shared harness lets Xvfb pick a free display itself (-displayfd), so that a server
    // of another test or user on the same number is never mistaken for this one.
    moiravel::xtest::XServer server_{moiravel::xtest::XServerKind::Xvfb, 640, 480};
    Display *display_ = nullptr;
    XVisualInfo *visual_ = nullptr;
    Colormap colormap_ = 0;
    Window window_ = 0;
    GLXContext context_ = nullptr;
};

TEST_F(RealDriverTest, EntriesCalledThroughTheTableReachTheDriver) {
    driver_checks::expectTextureUnitAndBufferEntriesWork(gl_entry::lookupEntryPoint);
}

} // namespace
