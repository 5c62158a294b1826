// SPDX-License-Identifier: MIT
// The hooks run when the run is asked to end from outside (ending_signals.h).
#include "ending_signals.h"

#include <atomic>

namespace {

constexpr int hooksKept = 4;
std::atomic<void (*)()> hooks[hooksKept] = {};

} // namespace

void onEndingSignal(void (*hook)()) {
    for (std::atomic<void (*)()> &slot : hooks) {
        void (*empty)() = nullptr;
        if (slot.load() == hook || slot.compare_exchange_strong(empty, hook)) {
            return;
        }
    }
}

void runEndingHooks() {
    for (const std::atomic<void (*)()> &hook : hooks) {
        if (void (*const run)() = hook.load(); run != nullptr) {
            run();
        }
    }
}
