#include "args.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace flickbook::cli {

namespace {

// Options come before "--"; everything after it is a file name.
std::vector<std::string>::iterator optionsEnd(std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), std::string("--"));
}

} // namespace

bool takeFlag(std::vector<std::string>& args, const std::string& flag) {
    for (auto it = args.begin(); it != optionsEnd(args); ++it) {
        if (*it == flag) {
            args.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<std::string> takeValue(std::vector<std::string>& args, const std::string& option,
                                     bool& missingValue) {
    for (auto it = args.begin(); it != optionsEnd(args); ++it) {
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

std::optional<std::string> unknownOption(std::vector<std::string>& args) {
    const auto end = optionsEnd(args);
    for (auto it = args.begin(); it != end; ++it)
        if (it->size() > 1 && (*it)[0] == '-')
            return *it;
    if (end != args.end())
        args.erase(end);
    return std::nullopt;
}

std::optional<long long> parseWholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(text);
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
