// SPDX-License-Identifier: MIT
// The run asked to end from outside: SIGINT, SIGTERM and SIGHUP on a POSIX system; Ctrl+C,
// Ctrl+Break, the console closing, a log-off or a shut-down on Windows. What must be done
// before the process ends (a display mode put back, the frame log written) is registered
// here and done in that order; the process then ends as the signal asks.
//
// The hooks are kept in ending_signals.cpp; the signals are taken in one file per operating
// system, ending_signals_posix.cpp or ending_signals_win32.cpp. What it does not do: Escape, a
// failed load or a lost display connection, which end the run from inside.
#pragma once

// Sets up the handling once. On POSIX it blocks the signals in the calling thread and takes
// them on a thread of its own, so it is called first of all, before any other thread exists
// (the GL driver's), for every later thread to inherit the blocked signals.
void armEndingSignals();

// Adds a hook, run on the handling thread; at most a few hooks, added before they are needed.
void onEndingSignal(void (*hook)());

// Runs the hooks in the order they were added; called by the handling thread.
void runEndingHooks();
