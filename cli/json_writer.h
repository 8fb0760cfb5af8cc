#pragma once

#include <string>
#include <string_view>

namespace flickbook::cli {

// A JSON string literal, quotes included. Bytes that are not UTF-8 are
// written as \udc80 … \udcff (the byte plus U+DC00), so names in other
// encodings come back byte for byte with Python's os.fsencode().
std::string jsonString(std::string_view text);

// A number as JSON writes it: shortest form that reads back the same.
std::string jsonNumber(double value);

} // namespace flickbook::cli
