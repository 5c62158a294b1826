// SPDX-License-Identifier: MIT
// SIGINT and SIGTERM: the temporary files removed, one line said, the process ended by the
// signal. The handler uses only async-signal-safe calls on a table filled before it is
// installed and never changed after.
#include "interruption.h"

#include "report.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace moiravel::images {

namespace {

constexpr std::size_t maxRemovals = 8;
char removals[maxRemovals][PATH_MAX];
std::size_t removalCount = 0;

struct Line {
    char text[128];
    std::size_t length;
};
Line interruptLine;
Line terminateLine;

// Set by the first handler to run; a second signal, on another thread, leaves the end to it.
std::atomic_flag ending = ATOMIC_FLAG_INIT;

void prepareLine(Line &line, const char *signalName) {
    const int length =
        std::snprintf(line.text, sizeof line.text, "%s: interrupted by %s; no file was replaced\n",
                      programName, signalName);
    line.length = static_cast<std::size_t>(length);
}

void say(const char *text, std::size_t length) {
    while (length > 0) {
        const ssize_t done = ::write(STDERR_FILENO, text, length);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return;
        }
        text += done;
        length -= static_cast<std::size_t>(done);
    }
}

void onInterrupt(int signal) {
    if (ending.test_and_set()) {
        return;
    }
    for (std::size_t i = 0; i < removalCount; ++i) {
        ::unlink(removals[i]);
    }
    if (progressLineOpen()) {
        say("\n", 1);
    }
    const Line &line = signal == SIGINT ? interruptLine : terminateLine;
    say(line.text, line.length);
    // SA_RESETHAND made the action the default again; the signal, held while this handler
    // runs, ends the process as it returns.
    ::raise(signal);
}

sigset_t interrupts() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void removeOnInterrupt(const std::vector<std::string> &paths) {
    for (const std::string &path : paths) {
        if (removalCount < maxRemovals && path.size() < PATH_MAX) {
            std::memcpy(removals[removalCount++], path.c_str(), path.size() + 1);
        }
    }
    prepareLine(interruptLine, "SIGINT");
    prepareLine(terminateLine, "SIGTERM");
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = interrupts();
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

void holdInterrupts() {
    const sigset_t set = interrupts();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void releaseInterrupts() {
    const sigset_t set = interrupts();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace moiravel::images
