// SPDX-License-Identifier: MIT
// The ending signals on a POSIX system: SIGINT, SIGTERM and SIGHUP blocked in every thread and
// taken by one of their own, which runs the hooks and then ends the process by the same
// signal, as it would have ended.
#include "ending_signals.h"

#include <pthread.h>
#include <signal.h>

#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

void takeEndingSignal(sigset_t signals) {
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
    runEndingHooks();
    std::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace

void armEndingSignals() {
    static bool armed = false;
    if (armed) {
        return;
    }
    armed = true;
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(takeEndingSignal, signals).detach();
}
