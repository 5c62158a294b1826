// SPDX-License-Identifier: MIT
// Test-only, preloaded into the viewer (LD_PRELOAD): a display whose refresh the test
// controls. Environment:
//   MOIRAVEL_FAKE_SYNC=oml    the GLX extension string gains GLX_OML_sync_control and
//                             GLX_EXT_swap_control; the refresh counter (MSC) advances one
//                             step per buffer swap, at 60 Hz by glXGetMscRateOML
//   MOIRAVEL_FAKE_SYNC=none   the string loses every swap-control and sync extension, so
//                             nothing paces the swaps and no counter can be read
//   MOIRAVEL_FAKE_MSC_START   the counter's value before the first swap (default 0)
//   MOIRAVEL_FAKE_MSC_SKIPS   "frame[:extra],...": swap number `frame` (from 1) advances the
//                             counter by 1 + extra (default extra 1): `extra` missed refreshes
//   MOIRAVEL_FAKE_MARK_FILE, MOIRAVEL_FAKE_MARK_AT
//                             the file is created when swap number MARK_AT begins, so the test
//                             knows that every earlier frame has been completed
// Only what the viewer calls is faked; everything else goes to the real libGL.
#include <GL/glx.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

enum class Mode { passThrough, oml, none };

struct Fake {
    Mode mode = Mode::passThrough;
    std::uint64_t msc = 0;
    std::uint64_t swaps = 0;
    std::map<std::uint64_t, std::uint64_t> extraAt; // swap number -> missed refreshes
    std::string markFile;
    std::uint64_t markAt = 0;
    std::string extensions;
};

Fake &fake() {
    static Fake state = [] {
        Fake f;
        const char *mode = std::getenv("MOIRAVEL_FAKE_SYNC");
        if (mode != nullptr && std::strcmp(mode, "oml") == 0) {
            f.mode = Mode::oml;
        } else if (mode != nullptr && std::strcmp(mode, "none") == 0) {
            f.mode = Mode::none;
        }
        if (const char *start = std::getenv("MOIRAVEL_FAKE_MSC_START")) {
            f.msc = std::strtoull(start, nullptr, 0);
        }
        if (const char *skips = std::getenv("MOIRAVEL_FAKE_MSC_SKIPS")) {
            for (char *p = const_cast<char *>(skips); *p != '\0';) {
                const std::uint64_t frame = std::strtoull(p, &p, 10);
                std::uint64_t extra = 1;
                if (*p == ':') {
                    extra = std::strtoull(p + 1, &p, 10);
                }
                f.extraAt[frame] = extra;
                while (*p == ',' || *p == ' ') {
                    ++p;
                }
            }
        }
        if (const char *file = std::getenv("MOIRAVEL_FAKE_MARK_FILE")) {
            f.markFile = file;
        }
        if (const char *at = std::getenv("MOIRAVEL_FAKE_MARK_AT")) {
            f.markAt = std::strtoull(at, nullptr, 10);
        }
        return f;
    }();
    return state;
}

template <typename Fn> Fn real(const char *name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// The real string without the names that `drop` starts with, plus `add`.
std::string editedExtensions(const char *realString, const char *const *drop, const char *add) {
    std::string result;
    const std::string all = realString != nullptr ? realString : "";
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t end = all.find(' ', at);
        if (end == std::string::npos) {
            end = all.size();
        }
        const std::string name = all.substr(at, end - at);
        bool keep = !name.empty();
        for (const char *const *d = drop; *d != nullptr; ++d) {
            keep = keep && name.rfind(*d, 0) != 0;
        }
        if (keep) {
            result += name + " ";
        }
        at = end + 1;
    }
    return result + add;
}

Bool fakeGetSyncValues(Display *, GLXDrawable, std::int64_t *ust, std::int64_t *msc,
                       std::int64_t *sbc) {
    Fake &f = fake();
    *ust = static_cast<std::int64_t>(f.swaps * 16667);
    *msc = static_cast<std::int64_t>(f.msc);
    *sbc = static_cast<std::int64_t>(f.swaps);
    return True;
}

Bool fakeGetMscRate(Display *, GLXDrawable, std::int32_t *numerator, std::int32_t *denominator) {
    *numerator = 60;
    *denominator = 1;
    return True;
}

void fakeSwapInterval(Display *, GLXDrawable, int) {}

using ProcAddress = void (*)();

ProcAddress fakeProc(const GLubyte *name) {
    const char *n = reinterpret_cast<const char *>(name);
    if (fake().mode != Mode::oml || n == nullptr) {
        return nullptr;
    }
    if (std::strcmp(n, "glXGetSyncValuesOML") == 0) {
        return reinterpret_cast<ProcAddress>(fakeGetSyncValues);
    }
    if (std::strcmp(n, "glXGetMscRateOML") == 0) {
        return reinterpret_cast<ProcAddress>(fakeGetMscRate);
    }
    if (std::strcmp(n, "glXSwapIntervalEXT") == 0) {
        return reinterpret_cast<ProcAddress>(fakeSwapInterval);
    }
    return nullptr;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) const char *glXQueryExtensionsString(Display *display,
                                                                            int screen) {
    using Fn = const char *(*)(Display *, int);
    static Fn next = real<Fn>("glXQueryExtensionsString");
    const char *realString = next != nullptr ? next(display, screen) : nullptr;
    Fake &f = fake();
    if (f.mode == Mode::passThrough) {
        return realString;
    }
    static const char *const dropped[] = {"GLX_OML_sync_control",  "GLX_EXT_swap_control",
                                          "GLX_MESA_swap_control", "GLX_SGI_swap_control",
                                          "GLX_SGI_video_sync",    nullptr};
    f.extensions =
        editedExtensions(realString, dropped,
                         f.mode == Mode::oml ? "GLX_OML_sync_control GLX_EXT_swap_control" : "");
    return f.extensions.c_str();
}

__attribute__((visibility("default"))) ProcAddress glXGetProcAddressARB(const GLubyte *name) {
    using Fn = ProcAddress (*)(const GLubyte *);
    static Fn next = real<Fn>("glXGetProcAddressARB");
    if (ProcAddress p = fakeProc(name)) {
        return p;
    }
    if (fake().mode == Mode::none) {
        const char *n = reinterpret_cast<const char *>(name);
        if (std::strstr(n, "SwapInterval") != nullptr || std::strstr(n, "OML") != nullptr) {
            return nullptr;
        }
    }
    return next != nullptr ? next(name) : nullptr;
}

__attribute__((visibility("default"))) ProcAddress glXGetProcAddress(const GLubyte *name) {
    return glXGetProcAddressARB(name);
}

__attribute__((visibility("default"))) void glXSwapBuffers(Display *display, GLXDrawable drawable) {
    using Fn = void (*)(Display *, GLXDrawable);
    static Fn next = real<Fn>("glXSwapBuffers");
    Fake &f = fake();
    ++f.swaps;
    if (f.swaps == f.markAt && !f.markFile.empty()) {
        if (FILE *mark = std::fopen(f.markFile.c_str(), "w")) {
            std::fclose(mark);
        }
    }
    if (next != nullptr) {
        next(display, drawable);
    }
    const auto extra = f.extraAt.find(f.swaps);
    f.msc += 1 + (extra != f.extraAt.end() ? extra->second : 0);
}

} // extern "C"
