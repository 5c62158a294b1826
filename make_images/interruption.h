// SPDX-License-Identifier: MIT
// What SIGINT and SIGTERM do while moiravel-make-images works: its temporary files removed, one
// line on standard error, and the process ended by the same signal, so that its parent sees an
// interrupted program (a shell reports 130 or 143, and a script or make stops too). A signal
// that was ignored when the tool started stays ignored. It writes no file of its own.
#pragma once

#include <string>
#include <vector>

namespace moiravel::images {

// From now on SIGINT and SIGTERM remove these files (at most 8; the paths are copied), say
// that the run was interrupted and end the process.
void removeOnInterrupt(const std::vector<std::string> &paths);

// SIGINT and SIGTERM wait on the calling thread until they are released, or are dropped when
// the process exits first. Only while no other thread runs, so that none takes them instead.
void holdInterrupts();
void releaseInterrupts();

} // namespace moiravel::images
