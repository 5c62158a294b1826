// SPDX-License-Identifier: MIT
// The table against a real WGL driver (under Wine: Mesa through GLX on the test's X server):
// a Win32 window with an OpenGL context, then calls through the table. Each entry must
// resolve to exactly what wglGetProcAddress answers for its name, and work.
#include <gtest/gtest.h>

#include "driver_checks.h"
#include "gl_entry/entry_points.h"

namespace {

// Function addresses compared through the generic function pointer type.
using Address = void (*)();
template <typename Function> Address address(Function *function) {
    return reinterpret_cast<Address>(function);
}
Address driverAddress(const char *name) {
    return address(wglGetProcAddress(name));
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class WglDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "MoiravelWglTest";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, windowClass.lpszClassName, "wgl test",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 64,
                                  64, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(window_, nullptr) << "CreateWindowExA failed: " << GetLastError();
        dc_ = GetDC(window_);
        ASSERT_NE(dc_, nullptr);

        PIXELFORMATDESCRIPTOR format{};
        format.nSize = sizeof format;
        format.nVersion = 1;
        format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        format.iPixelType = PFD_TYPE_RGBA;
        format.cColorBits = 24;
        format.iLayerType = PFD_MAIN_PLANE;
        const int chosen = ChoosePixelFormat(dc_, &format);
        ASSERT_NE(chosen, 0) << "no pixel format with OpenGL";
        ASSERT_TRUE(SetPixelFormat(dc_, chosen, &format));
        context_ = wglCreateContext(dc_);
        ASSERT_NE(context_, nullptr) << "wglCreateContext failed: " << GetLastError();
        ASSERT_TRUE(wglMakeCurrent(dc_, context_));
    }

    void TearDown() override {
        wglMakeCurrent(nullptr, nullptr);
        if (context_ != nullptr) {
            wglDeleteContext(context_);
        }
        if (window_ != nullptr) {
            ReleaseDC(window_, dc_);
            DestroyWindow(window_);
        }
    }

    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HGLRC context_ = nullptr;
};

TEST_F(WglDriverTest, GlEntriesResolveToWhatWglGetProcAddressAnswersAndWork) {
    driver_checks::expectTextureUnitAndBufferEntriesWork(driverAddress);
}

TEST_F(WglDriverTest, WglSwapIntervalEntryResolvesAndSetsTheInterval) {
    const Address driver = driverAddress("wglSwapIntervalEXT");
    ASSERT_NE(driver, nullptr) << "the driver offers no wglSwapIntervalEXT";
    EXPECT_TRUE(gl_entry::wglSwapIntervalEXT(0));
    EXPECT_EQ(address(gl_entry::wglSwapIntervalEXT), driver);
    EXPECT_EQ(gl_entry::wglGetSwapIntervalEXT(), 0);
    EXPECT_EQ(address(gl_entry::wglGetSwapIntervalEXT), driverAddress("wglGetSwapIntervalEXT"));
    EXPECT_TRUE(gl_entry::wglSwapIntervalEXT(1));
    EXPECT_EQ(gl_entry::wglGetSwapIntervalEXT(), 1);
}

TEST_F(WglDriverTest, EntryTheDriverLacksReturnsZeroAndKeepsItsStub) {
    // No driver on Wine or Mesa has the I3D genlock extension.
    ASSERT_EQ(driverAddress("wglEnableGenlockI3D"), nullptr);
    const Address stub = address(gl_entry::wglEnableGenlockI3D);
    EXPECT_FALSE(gl_entry::wglEnableGenlockI3D(dc_));
    EXPECT_FALSE(gl_entry::wglEnableGenlockI3D(dc_));
    EXPECT_EQ(address(gl_entry::wglEnableGenlockI3D), stub);
}

} // namespace
