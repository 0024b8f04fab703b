#include "render/HugePageArena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace orv {

// The block comes from malloc: the first large block is mapped afresh and untouched. Freeing
// it tells the allocator that blocks this large come and go, so it keeps them, and the smaller
// ones a render leaves, such as its picture, for the next render instead of handing their
// pages back: the next render finds its pages at hand but holding old values, which only the
// pieces taken zero-filled are cleared of. A huge block asks for one more huge page than it
// needs, so that a 2 MiB boundary lies inside it; the slack is never touched.
HugePageArena::HugePageArena(std::size_t bytes, std::size_t hugeFrom) {
    const bool huge = bytes >= hugeFrom;
    capacity_ = huge ? (bytes + kHugePage - 1) / kHugePage * kHugePage : bytes;
    const std::size_t block = huge ? capacity_ + kHugePage : capacity_;
    block_ = std::malloc(block == 0 ? 1 : block);
    if (block_ == nullptr) {
        throw std::bad_alloc();
    }
    start_ = static_cast<std::byte*>(block_);
    if (huge) {
        const auto address = reinterpret_cast<std::uintptr_t>(block_);
        start_ += (kHugePage - address % kHugePage) % kHugePage;
        ::madvise(start_, capacity_, MADV_HUGEPAGE);
    }
}

HugePageArena::~HugePageArena() {
    std::free(block_);
}

}  // namespace orv
