// SPDX-License-Identifier: MIT
// The choice of the platform backend (backend_choice.h).
#include "backend_choice.h"

#include <string_view>

namespace {

std::string namesOf(std::span<const PlatformBackend *const> backends) {
    std::string names;
    for (const PlatformBackend *backend : backends) {
        names += (names.empty() ? "" : ", ") + std::string(backend->name);
    }
    return names;
}

BackendChoice byName(std::span<const PlatformBackend *const> backends, std::string_view name,
                     std::string_view source) {
    for (const PlatformBackend *backend : backends) {
        if (name == backend->name) {
            return {backend, {}};
        }
    }
    return {nullptr, std::string(source) + ": unknown backend \"" + std::string(name) +
                         "\"; this build has " + namesOf(backends)};
}

} // namespace

BackendChoice chooseBackend(std::span<const PlatformBackend *const> backends,
                            const char *optionValue, const char *environmentValue) {
    if (optionValue != nullptr && *optionValue != '\0') {
        return byName(backends, optionValue, "--backend");
    }
    if (environmentValue != nullptr && *environmentValue != '\0') {
        return byName(backends, environmentValue, backendVariable);
    }
    // A backend that has looked and found what it needs (a compositor) comes before one that
    // needs nothing checked beforehand (X11, whose GLUT says itself what it lacks).
    for (const PlatformBackend *backend : backends) {
        if (backend->inDefaultChoice && backend->offersWhatItNeeds != nullptr &&
            backend->offersWhatItNeeds()) {
            return {backend, {}};
        }
    }
    for (const PlatformBackend *backend : backends) {
        if (backend->inDefaultChoice && backend->offersWhatItNeeds == nullptr) {
            return {backend, {}};
        }
    }
    return {backends.front(), {}};
}
