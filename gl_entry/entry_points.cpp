// SPDX-License-Identifier: MIT
// Slots and stubs of the entry-point table, both expanded from entry_points.inc.
#include "entry_points.h"

#include "lookup.h"

#include <type_traits>

namespace gl_entry {
namespace {

// What a stub returns when its entry point does not resolve: nothing for void, otherwise the
// value-initialised result (GL_FALSE, 0, FALSE or null).
template <typename Result> Result unresolvedResult() {
    if constexpr (!std::is_void_v<Result>) {
        return Result{};
    }
}

// Looks the entry point up and, when it resolves, stores its address in the slot.
template <typename Slot> bool resolve(Slot &slot, const char *name) {
    const ProcAddress address = lookupEntryPoint(name);
    if (address == nullptr) {
        return false;
    }
    slot = reinterpret_cast<Slot>(address);
    return true;
}

namespace stubs {
// A stub declares no names of its own and qualifies everything it refers to fully, so that no
// parameter name of an entry point can hide it. The slot is written before the forwarded call
// begins, so a driver function that reads the slot already finds itself there.
#define GL_ENTRY_POINT(group, result, name, parameters, arguments)                                 \
    result APIENTRY name parameters {                                                              \
        if (::gl_entry::resolve(::gl_entry::name, #name)) {                                        \
            return ::gl_entry::name arguments;                                                     \
        }                                                                                          \
        return ::gl_entry::unresolvedResult<result>();                                             \
    }
#include "entry_points.inc"
#undef GL_ENTRY_POINT
} // namespace stubs

} // namespace

// Constant initialisation: the table is complete in the program image, before any code runs.
#define GL_ENTRY_POINT(group, result, name, parameters, arguments)                                 \
    constinit types::name name = &stubs::name;
#include "entry_points.inc"
#undef GL_ENTRY_POINT

} // namespace gl_entry
