#include "core/byte_size.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace flickbook {

namespace {

struct Unit {
    std::string_view name;
    double bytes;
};

constexpr std::array<Unit, 7> kUnits{{
    {"b", 1},
    {"kb", 1e3},
    {"mb", 1e6},
    {"gb", 1e9},
    {"kib", 1024.0},
    {"mib", 1024.0 * 1024},
    {"gib", 1024.0 * 1024 * 1024},
}};

constexpr double kLargest = 1e12;

Error syntaxError(std::string_view text) {
    return makeError("size.syntax", "'" + std::string(text) +
                                        "' is not a size; write it like 10MB, 800KB or 2.5MB.");
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

Result<std::uint64_t> parseByteSize(std::string_view text) {
    std::size_t i = 0;
    double whole = 0, fraction = 0, scale = 1;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10;
                fraction += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits || whole > kLargest)
        return syntaxError(text);
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::string unit = lower(text.substr(i));
    for (const auto& u : kUnits) {
        if (unit != u.name)
            continue;
        const double bytes = std::floor((whole + fraction) * u.bytes);
        if (bytes < 1)
            return makeError("size.range", "'" + std::string(text) + "' is less than one byte.");
        if (bytes > kLargest)
            return makeError("size.range",
                             "'" + std::string(text) + "' is more than the largest size, 1 TB.");
        return std::uint64_t(bytes);
    }
    if (unit.empty())
        return makeError("size.syntax", "'" + std::string(text) +
                                            "' has no unit; write it like 10MB, 800KB or 2.5MB.");
    return syntaxError(text);
}

std::string formatByteSize(std::uint64_t bytes) {
    if (bytes < 1000)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static constexpr std::array<std::string_view, 4> names{"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1e3;
    std::size_t unit = 0;
    // Rounded first, so that 999,960 bytes reads "1.0 MB", not "1000 KB".
    auto rounded = [](double v) { return v < 9.95 ? std::round(v * 10) / 10 : std::round(v); };
    while (rounded(value) >= 1000 && unit + 1 < names.size()) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    if (rounded(value) < 10)
        std::snprintf(text, sizeof text, "%.1f %s", rounded(value), names[unit].data());
    else
        std::snprintf(text, sizeof text, "%.0f %s", rounded(value), names[unit].data());
    return text;
}

} // namespace flickbook
