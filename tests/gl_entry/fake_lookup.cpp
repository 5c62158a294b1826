// SPDX-License-Identifier: MIT
#include "fake_lookup.h"

#include <map>

namespace {

struct FakeState {
    std::map<std::string, gl_entry::ProcAddress> addresses;
    std::vector<std::string> lookedUp;
    bool answerNull = false;
};

FakeState &state() {
    static FakeState instance;
    return instance;
}

} // namespace

namespace gl_entry {

ProcAddress lookupEntryPoint(const char *name) {
    FakeState &fake = state();
    fake.lookedUp.emplace_back(name);
    const auto found = fake.addresses.find(name);
    if (fake.answerNull || found == fake.addresses.end()) {
        return nullptr;
    }
    return found->second;
}

} // namespace gl_entry

namespace fake_lookup {

void provide(const std::string &name, gl_entry::ProcAddress address) {
    state().addresses[name] = address;
}

void answerNull(bool on) {
    state().answerNull = on;
}

int lookupCount(const std::string &name) {
    int count = 0;
    for (const std::string &lookedUp : state().lookedUp) {
        count += lookedUp == name ? 1 : 0;
    }
    return count;
}

int totalLookups() {
    return static_cast<int>(state().lookedUp.size());
}

const std::vector<std::string> &lookedUpNames() {
    return state().lookedUp;
}

void reset() {
    state() = FakeState{};
}

} // namespace fake_lookup
