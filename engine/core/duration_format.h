#pragma once

#include <cstdint>
#include <string>

namespace flickbook {

// "MM:SS" for durations under an hour either way, "HH:MM:SS" from there on;
// every field at least two digits, hours unbounded. Negative durations keep
// the sign of truncating division in each field.
std::string formatDuration(std::int64_t seconds);

} // namespace flickbook
