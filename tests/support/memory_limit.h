#pragma once

// Runs a piece of a test in a child process whose address space is capped, so
// that code which would allocate without bound fails there (std::bad_alloc,
// or an abort if nothing catches it) instead of taking the test machine's
// memory.

#include <cstdint>
#include <functional>
#include <string>

namespace flickbook::testsupport {

struct ChildOutcome {
    bool exited = false; // false: ended by a signal (an abort, a crash)
    int status = 0;      // the exit status, or the signal number
    std::string describe() const;
};

// Forks; the child caps its address space at what it maps now plus
// `extraBytes`, runs body and exits with its result. The parent waits.
ChildOutcome runWithAddressSpaceLimit(std::uint64_t extraBytes, const std::function<int()>& body);

// Caps this process's address space at what it maps now plus extraBytes, and
// has the heap map large blocks afresh so that the cap applies to them; false
// when the system refuses. Only for a child of runWithAddressSpaceLimit.
bool capAddressSpace(std::uint64_t extraBytes);

// The address space this process maps now, in bytes.
std::uint64_t mappedBytes();

} // namespace flickbook::testsupport
