// The table against Mesa's software renderer on a private Xvfb: entries called through their
// slots reach the driver and work.
// GoogleTest comes before the X11 headers, whose None and Bool macros it would trip over.
#include <gtest/gtest.h>

#include "x_server.h"

#include "gl_entry/entry_points.h"
#include "gl_entry/lookup.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace {

template <typename Function> gl_entry::ProcAddress address(Function *function) {
    return reinterpret_cast<gl_entry::ProcAddress>(function);
}

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
    const gl_entry::ProcAddress activeTextureStub = address(gl_entry::glActiveTexture);

    gl_entry::glActiveTexture(GL_TEXTURE1);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE1);
    EXPECT_NE(address(gl_entry::glActiveTexture), activeTextureStub);
    EXPECT_EQ(address(gl_entry::glActiveTexture), gl_entry::lookupEntryPoint("glActiveTexture"));

    gl_entry::glActiveTexture(GL_TEXTURE0); // now straight through the resolved slot
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);

    GLuint buffer = 0;
    gl_entry::glGenBuffers(1, &buffer);
    EXPECT_NE(buffer, 0u);
    EXPECT_EQ(gl_entry::glIsBuffer(buffer), GL_FALSE) << "a name is no buffer before it is bound";
    gl_entry::glBindBuffer(GL_ARRAY_BUFFER, buffer);
    EXPECT_EQ(gl_entry::glIsBuffer(buffer), GL_TRUE);
    const GLfloat data[4] = {1, 2, 3, 4};
    gl_entry::glBufferData(GL_ARRAY_BUFFER, sizeof data, data, GL_STATIC_DRAW);
    GLint size = 0;
    gl_entry::glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, static_cast<GLint>(sizeof data));
    gl_entry::glDeleteBuffers(1, &buffer);
    EXPECT_EQ(gl_entry::glIsBuffer(buffer), GL_FALSE);

    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
