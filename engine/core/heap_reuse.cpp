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
#endif
}

} // namespace flickbook
