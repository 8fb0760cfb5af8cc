#include "args.h"

#include <cmath>
#include <cstdlib>

namespace flickbook::cli {

bool takeFlag(std::vector<std::string>& args, const std::string& flag) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == flag) {
            args.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<std::string> takeValue(std::vector<std::string>& args, const std::string& option,
                                     bool& missingValue) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it != option)
            continue;
        if (it + 1 == args.end()) {
            missingValue = true;
            args.erase(it);
            return std::nullopt;
        }
        std::string value = *(it + 1);
        args.erase(it, it + 2);
        return value;
    }
    return std::nullopt;
}

std::optional<std::string> unknownOption(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a.size() > 1 && a[0] == '-')
            return a;
    return std::nullopt;
}

std::optional<double> parseSeconds(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace flickbook::cli
