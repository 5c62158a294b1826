// SPDX-License-Identifier: MIT
// A stand-in for the platform lookup, linked into the table's tests in place of
// lookup_glx.cpp: a name -> address map with counters and a switch that makes it answer null.
#pragma once

#include "gl_entry/lookup.h"

#include <string>
#include <vector>

namespace fake_lookup {

// Lookups of name answer address from now on (until reset). Unknown names answer null.
void provide(const std::string &name, gl_entry::ProcAddress address);
template <typename Function> void provide(const std::string &name, Function *function) {
    provide(name, reinterpret_cast<gl_entry::ProcAddress>(function));
}

// While on, every lookup answers null, provided or not.
void answerNull(bool on);

// Lookups since the last reset: of one name, in all, and every name in order.
int lookupCount(const std::string &name);
int totalLookups();
const std::vector<std::string> &lookedUpNames();

// Forgets the provided addresses, the counts and the null switch.
void reset();

} // namespace fake_lookup
