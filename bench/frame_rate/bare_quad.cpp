// SPDX-License-Identifier: MIT
// The baseline of the frame-rate benchmark: the least a GLUT program can do to show one
// full-screen texture a frame. A window of the given size (default 1920x1080) at (0, 0),
// made full screen; one RGB texture of that size; every frame clears, draws one textured
// quad and swaps, back to back, with the swap interval at 0 where GLX allows it.
// Escape ends it with status 0.
#include <GL/glut.h>
#include <GL/glx.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int width = 1920;
int height = 1080;
GLuint texture = 0;

void setSwapIntervalZero() {
    Display *display = glXGetCurrentDisplay();
    if (display == nullptr) {
        return;
    }
    const char *extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (extensions == nullptr) {
        return;
    }
    if (std::strstr(extensions, "GLX_EXT_swap_control") != nullptr) {
        using Fn = void (*)(Display *, GLXDrawable, int);
        if (auto fn = reinterpret_cast<Fn>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte *>("glXSwapIntervalEXT")))) {
            fn(display, glXGetCurrentDrawable(), 0);
        }
    } else if (std::strstr(extensions, "GLX_MESA_swap_control") != nullptr) {
        using Fn = int (*)(unsigned);
        if (auto fn = reinterpret_cast<Fn>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte *>("glXSwapIntervalMESA")))) {
            fn(0);
        }
    }
}

void frame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glutSwapBuffers();
}

void reshape(int, int) {}

void key(unsigned char k, int, int) {
    if (k == 27) {
        std::exit(0);
    }
}

} // namespace

int main(int argc, char **argv) {
    glutInit(&argc, argv);
    if (argc >= 3) {
        width = std::atoi(argv[1]);
        height = std::atoi(argv[2]);
    }
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    glutCreateWindow("bare textured quad");
    glutFullScreen();

    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>((i * 7) ^ (i / 5761));
    }
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    setSwapIntervalZero();

    glutDisplayFunc(frame);
    glutIdleFunc(frame);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(key);
    glutMainLoop();
    return 0;
}
