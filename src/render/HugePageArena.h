#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

namespace orv {

// One block of memory for a render's large buffers (rasters, counts, their landed bits, the
// marks), handed out piece by piece. A fresh process pays for every 4 KiB page it touches
// first, and on a virtual machine that is dear: about 10 us a page here, 20 ms for the 8 MiB
// of a dense render, as much as the rest of it. In 2 MiB pages the same memory costs a few
// faults. So a block of `hugeFrom` bytes or more starts on a 2 MiB boundary, spans whole 2 MiB
// pages and asks for transparent huge pages; a smaller one, whose render is short anyway,
// keeps ordinary pages (a huge page would cost more to clear than it saves). Where the system
// gives no huge pages, the advice changes nothing. Pieces come zero-filled or, where the caller
// writes every value before reading it, as the memory was: a block the allocator hands out a
// second time holds what the render before left, and clearing all of it cost 0.4 ms a render.
class HugePageArena {
public:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    static constexpr std::size_t kAlignment = 64;  // pieces start this far apart

    // Room for at least `bytes` bytes of pieces (each rounded up to kAlignment). Throws
    // std::bad_alloc when the system gives no memory.
    explicit HugePageArena(std::size_t bytes, std::size_t hugeFrom = std::size_t{1} << 20);
    ~HugePageArena();
    HugePageArena(const HugePageArena&) = delete;
    HugePageArena& operator=(const HugePageArena&) = delete;

    // The bytes a piece of `count` T takes from the arena.
    template <typename T>
    static std::size_t footprint(std::size_t count) {
        return (count * sizeof(T) + kAlignment - 1) / kAlignment * kAlignment;
    }

    // What is left for further pieces.
    std::size_t room() const { return capacity_ - used_; }

    // `count` zero-valued T. Throws std::bad_alloc when they do not fit in room().
    template <typename T>
    std::span<T> take(std::size_t count) {
        const std::span<T> piece = takeUnset<T>(count);
        std::memset(piece.data(), 0, piece.size_bytes());
        return piece;
    }

    // `count` T of unspecified value, each to be written before it is read. Throws
    // std::bad_alloc when they do not fit in room().
    template <typename T>
    std::span<T> takeUnset(std::size_t count) {
        static_assert(std::is_trivial_v<T>, "pieces are plain values");
        if (footprint<T>(count) > room()) {
            throw std::bad_alloc();
        }
        T* first = reinterpret_cast<T*>(start_ + used_);
        used_ += footprint<T>(count);
        // Starts the objects' lifetimes without writing.
        std::uninitialized_default_construct_n(first, count);
#if defined(ORV_POISON_UNSET_MEMORY)
        // Checking builds fill such pieces with a pattern, so that a value read before it is
        // written shows in the pictures instead of reading as the zeros of fresh pages.
        std::memset(static_cast<void*>(first), 0xA5, count * sizeof(T));
#endif
        return {first, count};
    }

private:
    void* block_ = nullptr;
    std::byte* start_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
};

}  // namespace orv
