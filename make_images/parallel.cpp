// SPDX-License-Identifier: MIT
#include "parallel.h"

#include <atomic>

namespace moiravel::images {

namespace {
std::atomic<unsigned> requestedThreads{0};
} // namespace

void setThreadCount(unsigned count) {
    requestedThreads = count;
}

unsigned threadCount() {
    const unsigned requested = requestedThreads;
    if (requested > 0) {
        return requested;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace moiravel::images
