#include "render/HugePageArena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace orv {

HugePageArena::HugePageArena(std::size_t bytes, std::size_t hugeFrom) {
    if (bytes < hugeFrom) {
        // calloc clears only memory it reuses; fresh pages come zeroed and untouched.
        capacity_ = bytes;
        start_ = static_cast<std::byte*>(std::calloc(capacity_ == 0 ? 1 : capacity_, 1));
        if (start_ == nullptr) {
            throw std::bad_alloc();
        }
        return;
    }
    capacity_ = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    // A mapping starts on a 4 KiB boundary; room for one more huge page leaves a 2 MiB one
    // inside it. The slack is never touched, so it never takes memory.
    mapped_ = capacity_ + kHugePage;
    mapping_ = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        throw std::bad_alloc();
    }
    const auto address = reinterpret_cast<std::uintptr_t>(mapping_);
    start_ = static_cast<std::byte*>(mapping_) + (kHugePage - address % kHugePage) % kHugePage;
    ::madvise(start_, capacity_, MADV_HUGEPAGE);
}

HugePageArena::~HugePageArena() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mapped_);
    } else {
        std::free(start_);
    }
}

}  // namespace orv
