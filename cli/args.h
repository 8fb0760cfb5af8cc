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

// The first argument that looks like an option, if any is left.
std::optional<std::string> unknownOption(const std::vector<std::string>& args);

// A whole decimal number of seconds, or nothing if text is not one.
std::optional<double> parseSeconds(const std::string& text);

} // namespace flickbook::cli
