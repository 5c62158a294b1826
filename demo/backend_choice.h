// SPDX-License-Identifier: MIT
// The choice of the platform backend before the window system starts: the one --backend
// names, else the one MOIRAVEL_BACKEND names, else the first of the build's backends in the
// default choice that looks for what it needs and finds it, else the first in the default
// choice that needs nothing checked, else the build's first.
//
// What it does not do: read the arguments or the environment (the caller passes their
// values), or start the backend.
#pragma once

#include "platform_backend.h"

#include <span>
#include <string>

inline constexpr const char *backendVariable = "MOIRAVEL_BACKEND";

struct BackendChoice {
    const PlatformBackend *backend = nullptr; // null with an error
    std::string error;                        // a usage error: one line without the program's name
};

// optionValue: --backend's value; environmentValue: MOIRAVEL_BACKEND's. Either may be null
// or empty for "not given". A name the build does not carry is a usage error.
BackendChoice chooseBackend(std::span<const PlatformBackend *const> backends,
                            const char *optionValue, const char *environmentValue);
