#pragma once

#include <string>
#include <string_view>

namespace flickbook::cli {

// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);

// A number as JSON writes it: shortest form that reads back the same.
std::string jsonNumber(double value);

} // namespace flickbook::cli
