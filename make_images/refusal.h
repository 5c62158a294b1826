// SPDX-License-Identifier: MIT
// Why something is refused or failed, as the words of a message ("FILE: reason"), or nothing
// when it is not. A type only: no texts live here.
#pragma once

#include <optional>
#include <string>

namespace moiravel::images {

using Reason = std::optional<std::string>;

} // namespace moiravel::images
