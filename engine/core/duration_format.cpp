#include "core/duration_format.h"

#include <cstdio>

namespace flickbook {

std::string formatDuration(std::int64_t seconds) {
    const std::int64_t minutes = (seconds / 60) % 60;
    const std::int64_t secs = seconds - (seconds / 60) * 60;
    char text[64];
    if (seconds > 3599 || seconds < -3599)
        std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld", (long long)(seconds / 3600),
                      (long long)minutes, (long long)secs);
    else
        std::snprintf(text, sizeof text, "%.2lld:%.2lld", (long long)minutes, (long long)secs);
    return text;
}

} // namespace flickbook
