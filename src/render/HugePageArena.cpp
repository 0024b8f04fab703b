#include "render/HugePageArena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace orv {

// The block comes from calloc, which clears only memory it reuses: a large block is mapped
// afresh, zero-filled and untouched. (Freeing it also tells the allocator that blocks this
// large come and go, so it keeps the smaller ones a render leaves, such as its picture, for
// the next one instead of handing their pages back.) A huge block asks for one more huge page
// than it needs, so that a 2 MiB boundary lies inside it; the slack is never touched.
HugePageArena::HugePageArena(std::size_t bytes, std::size_t hugeFrom) {
    const bool huge = bytes >= hugeFrom;
    capacity_ = huge ? (bytes + kHugePage - 1) / kHugePage * kHugePage : bytes;
    const std::size_t block = huge ? capacity_ + kHugePage : capacity_;
    block_ = std::calloc(block == 0 ? 1 : block, 1);
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
