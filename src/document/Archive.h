#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orv {

// A little-endian byte stream in one direction, as the document's fields are exchanged with a
// file. Block reads are forgiving (they copy what is there), integer reads are not (a missing
// integer raises ArchiveError with cause endOfFile): a short file overwrites what it holds and
// then fails at the first integer it lacks.
class Archive {
public:
    static Archive forLoading(std::span<const std::uint8_t> bytes);
    static Archive forStoring();

    bool isStoring() const { return storing_; }

    // Loading: copies up to `size` bytes into `destination`, returns how many were copied.
    std::size_t readBlock(void* destination, std::size_t size);
    std::int32_t readInt32();

    void writeBlock(const void* source, std::size_t size);
    void writeInt32(std::int32_t value);

    // Storing: everything written so far.
    const std::vector<std::uint8_t>& bytes() const { return stored_; }

private:
    explicit Archive(bool storing) : storing_(storing) {}

    bool storing_;
    std::span<const std::uint8_t> input_;
    std::size_t position_ = 0;
    std::vector<std::uint8_t> stored_;
};

}  // namespace orv
