// SPDX-License-Identifier: MIT
// The presentation clock on POSIX systems (clock_posix.cpp), shared by the Linux backends.
#pragma once

#include <cstdint>

namespace posix {

// CLOCK_MONOTONIC in ns.
std::uint64_t clockNowNs();

} // namespace posix
