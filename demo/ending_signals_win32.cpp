// SPDX-License-Identifier: MIT
// The ending signals on Windows: the console's control events (Ctrl+C, Ctrl+Break, the
// console closing, a log-off, a shut-down) run the hooks, and Windows' own handler then ends
// the process.
#include "ending_signals.h"

#include <windows.h>

namespace {

BOOL WINAPI takeConsoleEvent(DWORD) {
    runEndingHooks();
    // Not handled here: the next handler, in the end Windows' own, ends the process.
    return FALSE;
}

} // namespace

void armEndingSignals() {
    static const bool armed = SetConsoleCtrlHandler(takeConsoleEvent, TRUE) != 0;
    (void)armed;
}
