// SPDX-License-Identifier: MIT
// Ctrl+C, Ctrl+Break and the console closing, on Windows: the temporary files removed, one line
// said, the process ended with the status Windows gives a program ended by Ctrl+C
// (STATUS_CONTROL_C_EXIT). The system runs the handler on a thread of its own; a held
// interruption makes it wait for the release, and is dropped when the process exits first.
// A console whose Ctrl+C was ignored when the tool started keeps ignoring it.
#include "interruption.h"

#include "report.h"

#include <windows.h>

#include <io.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace moiravel::images {

namespace {

constexpr std::size_t maxRemovals = 8;
char removals[maxRemovals][MAX_PATH];
std::size_t removalCount = 0;
char interruptLine[128];
std::size_t interruptLength = 0;

std::mutex held;
std::atomic_flag ending = ATOMIC_FLAG_INIT;

BOOL WINAPI onInterrupt(DWORD) {
    if (ending.test_and_set()) {
        return TRUE;
    }
    const std::lock_guard<std::mutex> wait(held);
    for (std::size_t i = 0; i < removalCount; ++i) {
        ::DeleteFileA(removals[i]);
    }
    if (progressLineOpen()) {
        ::_write(2, "\n", 1);
    }
    ::_write(2, interruptLine, static_cast<unsigned>(interruptLength));
    ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

} // namespace

void removeOnInterrupt(const std::vector<std::string> &paths) {
    for (const std::string &path : paths) {
        if (removalCount < maxRemovals && path.size() < MAX_PATH) {
            std::memcpy(removals[removalCount++], path.c_str(), path.size() + 1);
        }
    }
    const int length = std::snprintf(interruptLine, sizeof interruptLine,
                                     "%s: interrupted; no file was replaced\n", programName);
    interruptLength = static_cast<std::size_t>(length);
    ::SetConsoleCtrlHandler(onInterrupt, TRUE);
}

void holdInterrupts() {
    held.lock();
}

void releaseInterrupts() {
    held.unlock();
}

} // namespace moiravel::images
