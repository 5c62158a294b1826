// SPDX-License-Identifier: MIT
#include "slots.h"

#include "gl_entry/entry_points.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace {

int recorded = 0;
int recordedWrong = 0;

// A value of type T that differs for each argument position and from the zero value.
template <typename T> T marker(int position) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<T>(static_cast<std::uintptr_t>(0x1000 + 0x10 * position));
    } else {
        return static_cast<T>(position + 1);
    }
}

constexpr int resultPosition = 41;

template <typename Function> struct Signature;

template <typename Result, typename... Args> struct Signature<Result(APIENTRY *)(Args...)> {
    using Function = Result(APIENTRY *)(Args...);

    static Result APIENTRY record(Args... args) {
        ++recorded;
        [[maybe_unused]] int position = 0;
        const bool expected = ((args == marker<Args>(position++)) && ...);
        recordedWrong += expected ? 0 : 1;
        if constexpr (!std::is_void_v<Result>) {
            return marker<Result>(resultPosition);
        }
    }

    static bool callWithZeros(Function function) {
        if constexpr (std::is_void_v<Result>) {
            function(Args{}...);
            return true;
        } else {
            return function(Args{}...) == Result{};
        }
    }

    template <std::size_t... Position>
    static bool callWithMarkers(Function function, std::index_sequence<Position...>) {
        if constexpr (std::is_void_v<Result>) {
            function(marker<Args>(static_cast<int>(Position))...);
            return true;
        } else {
            return function(marker<Args>(static_cast<int>(Position))...) ==
                   marker<Result>(resultPosition);
        }
    }
    static bool callWithMarkers(Function function) {
        return callWithMarkers(function, std::index_sequence_for<Args...>{});
    }
};

std::vector<gl_entry::ProcAddress> readAll() {
    std::vector<gl_entry::ProcAddress> values;
    for (const slots::Slot &slot : slots::all()) {
        values.push_back(slot.read());
    }
    return values;
}

// Dynamic initialisation: runs before main and before any test, after the constant
// initialisation that gave every slot its stub.
const std::vector<gl_entry::ProcAddress> startValues = readAll();

} // namespace

namespace slots {

const std::vector<Slot> &all() {
    static const std::vector<Slot> table = {
#define GL_ENTRY_POINT(group, result, name, parameters, arguments)                                 \
    {group,                                                                                        \
     #name,                                                                                        \
     #result,                                                                                      \
     [] { return reinterpret_cast<gl_entry::ProcAddress>(gl_entry::name); },                       \
     [](gl_entry::ProcAddress value) {                                                             \
         gl_entry::name = reinterpret_cast<gl_entry::types::name>(value);                          \
     },                                                                                            \
     [] { return Signature<gl_entry::types::name>::callWithZeros(gl_entry::name); },               \
     [] { return Signature<gl_entry::types::name>::callWithMarkers(gl_entry::name); },             \
     reinterpret_cast<gl_entry::ProcAddress>(&Signature<gl_entry::types::name>::record)},
#include "gl_entry/entry_points.inc"
#undef GL_ENTRY_POINT
    };
    return table;
}

const std::vector<gl_entry::ProcAddress> &initialValues() {
    return startValues;
}

void restoreInitialValues() {
    const std::vector<Slot> &table = all();
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i].write(startValues[i]);
    }
}

int recorderCalls() {
    return recorded;
}
int recorderCallsWithWrongArguments() {
    return recordedWrong;
}

} // namespace slots
