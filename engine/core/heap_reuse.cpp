#include "core/heap_reuse.h"

#include <cstdlib> // says which C library this is
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace flickbook {

void reuseFreedPictureMemory() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // Pictures are made on one thread and dropped on another (a frame made
    // while the encoder takes the one before, a worker's copy of a frame);
    // in one shared heap, a block freed anywhere serves the next picture.
    mallopt(M_ARENA_MAX, 1);
#endif
}

} // namespace flickbook
