#include "memory_limit.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace flickbook::testsupport {

std::string ChildOutcome::describe() const {
    return exited ? "exit status " + std::to_string(status) : "signal " + std::to_string(status);
}

std::uint64_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * std::uint64_t(sysconf(_SC_PAGESIZE));
}

bool capAddressSpace(std::uint64_t extraBytes) {
    // Free memory the heap kept from earlier tests would let the code under
    // test allocate past the cap without a new mapping. Handing it back and
    // mapping every block from 64 KiB up on its own makes the cap hold.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    malloc_trim(0);
    const rlim_t limit = mappedBytes() + extraBytes;
    const rlimit cap{limit, limit};
    return setrlimit(RLIMIT_AS, &cap) == 0;
}

ChildOutcome runWithAddressSpaceLimit(std::uint64_t extraBytes, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return {true, -1};
    if (child == 0) {
        if (!capAddressSpace(extraBytes))
            _exit(120);
        int status = 121;
        try {
            status = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child threw: %s\n", e.what());
            status = 122;
        }
        std::fflush(nullptr);
        _exit(status);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status))
        return {true, WEXITSTATUS(status)};
    return {false, WTERMSIG(status)};
}

} // namespace flickbook::testsupport
