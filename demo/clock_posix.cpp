// SPDX-License-Identifier: MIT
// The presentation clock on POSIX systems: CLOCK_MONOTONIC, which no change of the wall clock
// moves.
#include "clock_posix.h"

#include "refresh_check.h"

#include <ctime>

namespace posix {

std::uint64_t clockNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * nsPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace posix
