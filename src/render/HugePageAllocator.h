#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace orv {

// An allocator for the renderer's few large buffers (the counts: a byte a pixel, 4 MiB at the
// largest size). A fresh process pays for every 4 KiB page it touches first, and on a virtual
// machine that costs about as much as the render's later iterations of a simple picture; in
// 2 MiB pages the same memory costs a few faults. So the buffer starts on a 2 MiB boundary and
// asks for transparent huge pages over its whole 2 MiB pages only, so that its tail, touched
// like the rest, never claims a huge page of which it would use a sliver. Where the system
// gives no huge pages, the advice changes nothing.
template <typename T>
struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;

    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kHugePage) {
            return static_cast<T*>(::operator new(bytes));
        }
        void* memory = nullptr;
        if (::posix_memalign(&memory, kHugePage, bytes) != 0) {
            throw std::bad_alloc();
        }
        ::madvise(memory, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
        return static_cast<T*>(memory);
    }

    void deallocate(T* memory, std::size_t count) noexcept {
        if (count * sizeof(T) < kHugePage) {
            ::operator delete(memory);
        } else {
            std::free(memory);
        }
    }

    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace orv
