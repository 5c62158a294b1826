// SPDX-License-Identifier: MIT
// Behaviour of the resolving stubs, with a fake lookup in place of the driver's.
#include "fake_lookup.h"
#include "slots.h"

#include "gl_entry/entry_points.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using gl_entry::ProcAddress;

template <typename Function> ProcAddress address(Function *function) {
    return reinterpret_cast<ProcAddress>(function);
}

// What reached the fake driver functions.
struct Calls {
    int count = 0;
    std::vector<double> values;
    std::vector<std::int64_t> integers;
    ProcAddress slotDuringCall = nullptr;
};

class EntryPointsTest : public ::testing::Test {
  protected:
    void SetUp() override { resetAll(); }
    void TearDown() override { resetAll(); }
    static void resetAll() {
        fake_lookup::reset();
        slots::restoreInitialValues();
        calls = {};
    }

    static inline Calls calls;

    // Fake driver functions, recording what reached them.
    static GLboolean APIENTRY fakeIsBuffer(GLuint buffer) {
        ++calls.count;
        calls.integers.push_back(buffer);
        calls.slotDuringCall = address(gl_entry::glIsBuffer);
        return GL_TRUE;
    }
    static void *APIENTRY fakeMapBuffer(GLenum target, GLenum access) {
        ++calls.count;
        calls.integers = {target, access};
        calls.slotDuringCall = address(gl_entry::glMapBuffer);
        return &calls;
    }
    static void APIENTRY fakeBindBuffer(GLenum target, GLuint buffer) {
        ++calls.count;
        calls.integers = {target, buffer};
    }
    static void APIENTRY fakeActiveTexture(GLenum texture) {
        ++calls.count;
        calls.integers.push_back(texture);
    }
    static void APIENTRY fakeBlendColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
        ++calls.count;
        calls.values = {red, green, blue, alpha};
    }
    static void APIENTRY fakeMultiTexCoord4d(GLenum target, GLdouble s, GLdouble t, GLdouble r,
                                             GLdouble q) {
        ++calls.count;
        calls.integers = {target};
        calls.values = {s, t, r, q};
    }
    static void APIENTRY fakeProgramEnvParameter4dARB(GLenum target, GLuint index, GLdouble x,
                                                      GLdouble y, GLdouble z, GLdouble w) {
        ++calls.count;
        calls.integers = {target, index};
        calls.values = {x, y, z, w};
    }
    static gl_entry::INT64 APIENTRY fakeSwapBuffersMscOML(gl_entry::HDC hdc,
                                                          gl_entry::INT64 targetMsc,
                                                          gl_entry::INT64 divisor,
                                                          gl_entry::INT64 remainder) {
        ++calls.count;
        calls.integers = {static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(hdc)),
                          targetMsc, divisor, remainder};
        return INT64_C(0x0102030405060708);
    }
};

// Bit-exact comparison, so that -0.0 and NaN payloads count too.
template <typename T> bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

TEST_F(EntryPointsTest, FirstCallLooksUpOnceForwardsAndResolvesTheSlot) {
    fake_lookup::provide("glIsBuffer", &fakeIsBuffer);
    const ProcAddress stub = address(gl_entry::glIsBuffer);

    EXPECT_EQ(gl_entry::glIsBuffer(42), GL_TRUE);
    EXPECT_EQ(fake_lookup::lookedUpNames(), std::vector<std::string>{"glIsBuffer"});
    EXPECT_EQ(calls.count, 1);
    EXPECT_EQ(calls.integers, std::vector<std::int64_t>{42});
    EXPECT_EQ(address(gl_entry::glIsBuffer), address(&fakeIsBuffer));
    EXPECT_NE(stub, address(&fakeIsBuffer));

    EXPECT_EQ(gl_entry::glIsBuffer(7), GL_TRUE);
    EXPECT_EQ(fake_lookup::totalLookups(), 1) << "a resolved slot must not look up again";
    EXPECT_EQ(calls.count, 2);
    EXPECT_EQ(calls.integers, (std::vector<std::int64_t>{42, 7}));
}

TEST_F(EntryPointsTest, SlotIsWrittenBeforeTheForwardedCallBegins) {
    fake_lookup::provide("glMapBuffer", &fakeMapBuffer);
    fake_lookup::provide("glIsBuffer", &fakeIsBuffer);

    EXPECT_EQ(gl_entry::glMapBuffer(GL_ARRAY_BUFFER, GL_READ_ONLY), &calls);
    EXPECT_EQ(calls.integers, (std::vector<std::int64_t>{GL_ARRAY_BUFFER, GL_READ_ONLY}));
    EXPECT_EQ(calls.slotDuringCall, address(&fakeMapBuffer));

    EXPECT_EQ(gl_entry::glIsBuffer(1), GL_TRUE);
    EXPECT_EQ(calls.slotDuringCall, address(&fakeIsBuffer));
}

TEST_F(EntryPointsTest, UnresolvedEntriesReturnZeroLookUpOnEveryCallAndKeepTheirStub) {
    const std::vector<gl_entry::ProcAddress> &initial = slots::initialValues();
    const ProcAddress isBuffer = address(gl_entry::glIsBuffer);
    const ProcAddress mapBuffer = address(gl_entry::glMapBuffer);
    const ProcAddress checkStatus = address(gl_entry::glCheckFramebufferStatusEXT);
    const ProcAddress swapMsc = address(gl_entry::wglSwapBuffersMscOML);
    const ProcAddress blendColor = address(gl_entry::glBlendColor);

    for (int round = 1; round <= 3; ++round) {
        EXPECT_EQ(gl_entry::glIsBuffer(1), GL_FALSE);
        EXPECT_EQ(gl_entry::glMapBuffer(GL_ARRAY_BUFFER, GL_READ_WRITE), nullptr);
        EXPECT_EQ(gl_entry::glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum{0});
        const gl_entry::INT64 msc = gl_entry::wglSwapBuffersMscOML(
            nullptr, INT64_C(0x7fffffff00000001), INT64_C(1) << 40, -(INT64_C(1) << 33));
        EXPECT_EQ(msc, gl_entry::INT64{0});
        gl_entry::glBlendColor(0.5f, 0.5f, 0.5f, 0.5f);

        for (const char *name : {"glIsBuffer", "glMapBuffer", "glCheckFramebufferStatusEXT",
                                 "wglSwapBuffersMscOML", "glBlendColor"}) {
            EXPECT_EQ(fake_lookup::lookupCount(name), round) << name;
        }
    }
    EXPECT_EQ(fake_lookup::totalLookups(), 15);
    EXPECT_EQ(address(gl_entry::glIsBuffer), isBuffer);
    EXPECT_EQ(address(gl_entry::glMapBuffer), mapBuffer);
    EXPECT_EQ(address(gl_entry::glCheckFramebufferStatusEXT), checkStatus);
    EXPECT_EQ(address(gl_entry::wglSwapBuffersMscOML), swapMsc);
    EXPECT_EQ(address(gl_entry::glBlendColor), blendColor);
    EXPECT_NE(std::find(initial.begin(), initial.end(), isBuffer), initial.end())
        << "glIsBuffer's slot should still hold its initial stub";
}

TEST_F(EntryPointsTest, NullAnswerThenAddressResolvesOnTheLaterCall) {
    fake_lookup::provide("glBindBuffer", &fakeBindBuffer);
    const ProcAddress stub = address(gl_entry::glBindBuffer);

    fake_lookup::answerNull(true);
    gl_entry::glBindBuffer(GL_ARRAY_BUFFER, 3);
    EXPECT_EQ(calls.count, 0) << "nothing may be called when the lookup answers null";
    EXPECT_EQ(address(gl_entry::glBindBuffer), stub);

    fake_lookup::answerNull(false);
    gl_entry::glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 4);
    EXPECT_EQ(calls.count, 1);
    EXPECT_EQ(calls.integers, (std::vector<std::int64_t>{GL_ELEMENT_ARRAY_BUFFER, 4}));
    EXPECT_EQ(address(gl_entry::glBindBuffer), address(&fakeBindBuffer));
    EXPECT_EQ(fake_lookup::lookupCount("glBindBuffer"), 2);

    gl_entry::glBindBuffer(GL_ARRAY_BUFFER, 5);
    EXPECT_EQ(fake_lookup::lookupCount("glBindBuffer"), 2);
    EXPECT_EQ(calls.count, 2);
}

TEST_F(EntryPointsTest, CoreAndSuffixedEntriesAreIndependent) {
    // Only the suffixed name resolves: the core entry must not fall back to it.
    fake_lookup::provide("glActiveTextureARB", &fakeActiveTexture);
    const ProcAddress coreStub = address(gl_entry::glActiveTexture);
    gl_entry::glActiveTexture(GL_TEXTURE1);
    EXPECT_EQ(calls.count, 0);
    EXPECT_EQ(address(gl_entry::glActiveTexture), coreStub);
    gl_entry::glActiveTextureARB(GL_TEXTURE2);
    EXPECT_EQ(calls.integers, std::vector<std::int64_t>{GL_TEXTURE2});
    EXPECT_EQ(address(gl_entry::glActiveTextureARB), address(&fakeActiveTexture));
    EXPECT_EQ(address(gl_entry::glActiveTexture), coreStub);

    // And the other way round: resolving the core entry leaves the suffixed one alone.
    fake_lookup::provide("glBlendColor", &fakeBlendColor);
    const ProcAddress extStub = address(gl_entry::glBlendColorEXT);
    gl_entry::glBlendColor(1, 1, 1, 1);
    gl_entry::glBlendColorEXT(1, 1, 1, 1);
    EXPECT_EQ(address(gl_entry::glBlendColor), address(&fakeBlendColor));
    EXPECT_EQ(address(gl_entry::glBlendColorEXT), extStub);
    EXPECT_EQ(calls.count, 2) << "glActiveTextureARB once, glBlendColor once";

    EXPECT_EQ(fake_lookup::lookedUpNames(),
              (std::vector<std::string>{"glActiveTexture", "glActiveTextureARB", "glBlendColor",
                                        "glBlendColorEXT"}));
}

// The first call goes through the stub, the second straight to the fake; both must deliver
// the same values.
TEST_F(EntryPointsTest, FloatDoubleAnd64BitArgumentsArriveUnchanged) {
    fake_lookup::provide("glBlendColor", &fakeBlendColor);
    fake_lookup::provide("glMultiTexCoord4d", &fakeMultiTexCoord4d);
    fake_lookup::provide("glProgramEnvParameter4dARB", &fakeProgramEnvParameter4dARB);
    fake_lookup::provide("wglSwapBuffersMscOML", &fakeSwapBuffersMscOML);

    const float tiny = std::numeric_limits<float>::denorm_min();
    const std::vector<float> colour = {0.25f, -1.5f, 3.0e38f, tiny};
    const std::vector<double> coords = {1e300, -0.1, 3.141592653589793, -0.0};
    const std::vector<double> params = {-1e-310, 2.5, std::numeric_limits<double>::max(), 7.0};
    auto *hdc = reinterpret_cast<gl_entry::HDC>(static_cast<std::uintptr_t>(0xdc0));
    const std::vector<std::int64_t> swap = {0xdc0, INT64_C(0x123456789abcdef0), -(INT64_C(1) << 40),
                                            INT64_C(0x7fffffff00000001)};

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "through the stub" : "through the resolved slot");
        gl_entry::glBlendColor(colour[0], colour[1], colour[2], colour[3]);
        ASSERT_EQ(calls.values.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(sameBits(calls.values[i], static_cast<double>(colour[i]))) << i;
        }

        gl_entry::glMultiTexCoord4d(GL_TEXTURE3, coords[0], coords[1], coords[2], coords[3]);
        EXPECT_EQ(calls.integers, std::vector<std::int64_t>{GL_TEXTURE3});
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(sameBits(calls.values[i], coords[i])) << i;
        }

        gl_entry::glProgramEnvParameter4dARB(GL_VERTEX_PROGRAM_ARB, 95, params[0], params[1],
                                             params[2], params[3]);
        EXPECT_EQ(calls.integers, (std::vector<std::int64_t>{GL_VERTEX_PROGRAM_ARB, 95}));
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(sameBits(calls.values[i], params[i])) << i;
        }

        EXPECT_EQ(gl_entry::wglSwapBuffersMscOML(hdc, swap[1], swap[2], swap[3]),
                  INT64_C(0x0102030405060708));
        EXPECT_EQ(calls.integers, swap);
    }
    EXPECT_EQ(calls.count, 8);
    EXPECT_EQ(fake_lookup::totalLookups(), 4);
}

} // namespace
