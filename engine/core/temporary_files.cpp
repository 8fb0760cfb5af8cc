#include "core/temporary_files.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace flickbook::temporary {

namespace fs = std::filesystem;

namespace {

// A fixed table the signal handler can read without locks or allocation:
// a slot is free (0), being filled or emptied (1), or holds a path (2).
struct Slot {
    std::atomic<int> state{0};
    std::array<char, 4096> path{};
};
constexpr std::size_t kSlots = 256;
std::array<Slot, kSlots> slots;

extern "C" void removeAndExit(int signal) {
    for (Slot& slot : slots)
        if (slot.state.load() == 2)
            ::unlink(slot.path.data());
    ::_exit(128 + signal);
}

// Seconds since the epoch at which process `pid` started, from /proc.
std::optional<double> processStart(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses: fields count from
    // the last ')'. Field 22 (start time, clock ticks after boot) is the
    // 20th after it.
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    if (!fields)
        return std::nullopt;
    std::ifstream system("/proc/stat");
    std::string key;
    double boot = -1;
    while (system >> key)
        if (key == "btime" && system >> boot)
            break;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (boot < 0 || ticks <= 0)
        return std::nullopt;
    return boot + std::stod(field) / double(ticks);
}

} // namespace

bool track(const fs::path& file) {
    const std::string& text = file.native();
    if (text.size() >= std::tuple_size_v<decltype(Slot::path)>)
        return false;
    for (Slot& slot : slots) {
        int expected = 0;
        if (!slot.state.compare_exchange_strong(expected, 1))
            continue;
        std::memcpy(slot.path.data(), text.c_str(), text.size() + 1);
        slot.state.store(2);
        return true;
    }
    return false;
}

void untrack(const fs::path& file) {
    for (Slot& slot : slots) {
        int expected = 2;
        if (!slot.state.compare_exchange_strong(expected, 1))
            continue;
        if (file.native() == slot.path.data()) {
            slot.state.store(0);
            return;
        }
        slot.state.store(2);
    }
}

void removeTemporaryFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = removeAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

std::optional<pid_t> ownerOf(const std::string& name) {
    auto number = [](const std::string& digits) -> std::optional<pid_t> {
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        return pid_t(std::stol(digits));
    };
    // ".<name>.<pid>-XXXXXX.part": read from the end, the name may hold
    // anything.
    if (name.ends_with(".part")) {
        const auto dash = name.rfind('-');
        const auto dot = dash == std::string::npos ? dash : name.rfind('.', dash);
        if (dot == std::string::npos)
            return std::nullopt;
        return number(name.substr(dot + 1, dash - dot - 1));
    }
    // "<prefix>-<pid>-…"
    const auto first = name.find('-');
    const auto second = first == std::string::npos ? first : name.find('-', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    return number(name.substr(first + 1, second - first - 1));
}

bool ownerMayBeRunning(pid_t pid, fs::file_time_type modified) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM))
        return false;
    const auto started = processStart(pid);
    if (!started)
        return true; // running, and nothing says it is another process
    const auto written =
        std::chrono::duration<double>(std::chrono::file_clock::to_sys(modified).time_since_epoch())
            .count();
    // Start times are in clock ticks: allow a second of rounding.
    return *started <= written + 1.0;
}

} // namespace flickbook::temporary
