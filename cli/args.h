#pragma once

// Picking options out of a command's arguments.

#include <optional>
#include <string>
#include <vector>

namespace flickbook::cli {

// Removes flag from args; true if it was there.
bool takeFlag(std::vector<std::string>& args, const std::string& flag);

// Removes "option VALUE" from args. A missing value is reported through
// missingValue and gives nothing.
std::optional<std::string> takeValue(std::vector<std::string>& args, const std::string& option,
                                     bool& missingValue);

// The first argument before "--" that looks like an option, if any is left;
// when none is, the "--" itself is removed, leaving the operands. Options
// are taken only from before "--", so a file may be named "-x.mp4".
std::optional<std::string> unknownOption(std::vector<std::string>& args);

// A whole number written in decimal digits only, or nothing if text is not one.
std::optional<long long> parseWholeNumber(const std::string& text);

// A whole decimal number of seconds, or nothing if text is not one.
std::optional<double> parseSeconds(const std::string& text);

} // namespace flickbook::cli
