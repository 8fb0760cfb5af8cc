#pragma once

// Memory for whole pictures. Blocks of a megabyte or more are aligned to
// 2 MiB and offered to the kernel for huge pages, so a 1080p picture costs a
// couple of page faults when first written instead of some 760; on a
// virtual machine those faults cost more than decoding the frame. Elements
// are left uninitialised on resize: pictures are always written in full
// before they are read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace flickbook::media {

template <typename T> struct PlaneAllocator {
    using value_type = T;

    PlaneAllocator() = default;
    template <typename U> PlaneAllocator(const PlaneAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        void* block = nullptr;
        if (bytes >= kLargeBytes) {
            block = std::aligned_alloc(kHugePage, rounded(bytes));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
            if (block)
                madvise(block, rounded(bytes), MADV_HUGEPAGE);
#endif
        } else {
            block = std::malloc(bytes ? bytes : 1);
        }
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* p, std::size_t) noexcept {
        std::free(p);
    }

    // Default-initialises: resize() leaves new bytes as they are.
    template <typename U> void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U> bool operator==(const PlaneAllocator<U>&) const noexcept {
        return true;
    }

    // The memory a block of n elements takes.
    static std::size_t footprint(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        return bytes >= kLargeBytes ? rounded(bytes) : bytes;
    }

private:
    static constexpr std::size_t kLargeBytes = std::size_t(1) << 20;
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;
    static std::size_t rounded(std::size_t bytes) {
        return (bytes + kHugePage - 1) / kHugePage * kHugePage;
    }
};

using PlaneBytes = std::vector<std::uint8_t, PlaneAllocator<std::uint8_t>>;

} // namespace flickbook::media
