// SPDX-License-Identifier: MIT
// The presentations a compositor has told of that the missed-refresh check has not taken
// yet: a fixed ring, oldest first, and the compositor's numbers sent in 32-bit halves put
// together.
//
// What it does not do: talk to the compositor (platform_wayland_presentation.cpp) or judge
// the frames (refresh_check.cpp).
#pragma once

#include "refresh_check.h"

#include <cstdint>

// As many as the missed-refresh check can place.
inline constexpr int presentationsQueued = presentationFramesKept;

// Fixed size, so a frame's feedback never allocates.
struct PresentationQueue {
    PresentationEvent events[presentationsQueued] = {};
    int first = 0; // the oldest
    int count = 0;
};

// Adds `event` after those queued; in a full queue the oldest gives way, as it is too old to
// be placed anyway.
void pushPresentation(PresentationQueue &queue, const PresentationEvent &event);

// Takes the oldest event; false when none is queued.
bool popPresentation(PresentationQueue &queue, PresentationEvent &event);

// A 64-bit number sent as its high and low 32 bits.
std::uint64_t joinHalves(std::uint32_t high, std::uint32_t low);

// A time sent as seconds (high and low 32 bits) and nanoseconds, in ns modulo 2^64; only
// differences of such times are used.
std::uint64_t splitTimeNs(std::uint32_t secondsHigh, std::uint32_t secondsLow,
                          std::uint32_t nanoseconds);
