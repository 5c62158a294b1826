// SPDX-License-Identifier: MIT
#include "driver_checks.h"

#include <gtest/gtest.h>

#include "gl_entry/entry_points.h"

namespace driver_checks {

namespace {

template <typename Function> gl_entry::ProcAddress address(Function *function) {
    return reinterpret_cast<gl_entry::ProcAddress>(function);
}

} // namespace

void expectTextureUnitAndBufferEntriesWork(PlatformLookup lookup) {
    const gl_entry::ProcAddress activeTextureStub = address(gl_entry::glActiveTexture);
    gl_entry::glActiveTexture(GL_TEXTURE1);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE1);
    EXPECT_NE(address(gl_entry::glActiveTexture), activeTextureStub);
    EXPECT_EQ(address(gl_entry::glActiveTexture), lookup("glActiveTexture"));
    gl_entry::glActiveTexture(GL_TEXTURE0); // now straight through the resolved slot
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);

    GLuint buffer = 0;
    gl_entry::glGenBuffers(1, &buffer);
    EXPECT_NE(buffer, 0u);
    EXPECT_EQ(address(gl_entry::glGenBuffers), lookup("glGenBuffers"));
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

} // namespace driver_checks
