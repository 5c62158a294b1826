// SPDX-License-Identifier: MIT
// The queue of presentation events (presentation_queue.h): a ring of fixed size, and the
// halves of the compositor's numbers put together.
#include "presentation_queue.h"

void pushPresentation(PresentationQueue &queue, const PresentationEvent &event) {
    if (queue.count == presentationsQueued) {
        queue.first = (queue.first + 1) % presentationsQueued;
        --queue.count;
    }
    queue.events[(queue.first + queue.count) % presentationsQueued] = event;
    ++queue.count;
}

bool popPresentation(PresentationQueue &queue, PresentationEvent &event) {
    if (queue.count == 0) {
        return false;
    }
    event = queue.events[queue.first];
    queue.first = (queue.first + 1) % presentationsQueued;
    --queue.count;
    return true;
}

std::uint64_t joinHalves(std::uint32_t high, std::uint32_t low) {
    return std::uint64_t{high} << 32 | low;
}

std::uint64_t splitTimeNs(std::uint32_t secondsHigh, std::uint32_t secondsLow,
                          std::uint32_t nanoseconds) {
    return joinHalves(secondsHigh, secondsLow) * nsPerSecond + nanoseconds;
}
