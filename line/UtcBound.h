#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// A report's bound as the database's times compare with it: an ISO 8601 UTC date or time,
// "2026-12-07", "2026-12-07T22:31" or "2026-12-07T22:31:45" (a blank for the T, a trailing Z
// taken too), written as the database writes times, without the Z. Nothing for any other text
// or a date or time that does not exist.
std::optional<std::string> ParseUtcBound(std::string_view text);

}  // namespace qv
