// SPDX-License-Identifier: MIT
// Preloaded into a GLX program (LD_PRELOAD), counts its glXSwapBuffers calls without
// changing it. MOIRAVEL_SWAP_LOG names the file it reports to:
//   first <ns>            written at the first swap (CLOCK_MONOTONIC)
//   mark <count> <ns>     one line per SIGUSR1 received, written at exit
//   total <count> <ns>    written at exit
#include <GL/glx.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

namespace {

using SwapFn = void (*)(Display *, GLXDrawable);

std::atomic<long> swaps{0};
constexpr int maxMarks = 16;
long markCount[maxMarks];
long long markTime[maxMarks];
std::atomic<int> marks{0};

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void onMark(int) {
    int i = marks.load();
    if (i < maxMarks) {
        markCount[i] = swaps.load();
        markTime[i] = nowNs();
        marks.store(i + 1);
    }
}

void report(const char *text) {
    if (const char *path = std::getenv("MOIRAVEL_SWAP_LOG")) {
        if (FILE *log = std::fopen(path, "a")) {
            std::fputs(text, log);
            std::fclose(log);
        }
    }
}

__attribute__((constructor)) void install() {
    struct sigaction action {};
    action.sa_handler = onMark;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
}

__attribute__((destructor)) void finish() {
    char line[96];
    for (int i = 0; i < marks.load(); ++i) {
        std::snprintf(line, sizeof line, "mark %ld %lld\n", markCount[i], markTime[i]);
        report(line);
    }
    std::snprintf(line, sizeof line, "total %ld %lld\n", swaps.load(), nowNs());
    report(line);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void glXSwapBuffers(Display *display,
                                                                      GLXDrawable drawable) {
    static SwapFn real = reinterpret_cast<SwapFn>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    if (swaps.fetch_add(1) == 0) {
        char line[48];
        std::snprintf(line, sizeof line, "first %lld\n", nowNs());
        report(line);
    }
    if (real != nullptr) {
        real(display, drawable);
    }
}
