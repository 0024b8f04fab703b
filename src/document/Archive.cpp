#include "document/Archive.h"

#include <algorithm>
#include <cstring>

#include "document/DocumentError.h"

namespace orv {

Archive Archive::forLoading(std::span<const std::uint8_t> bytes) {
    Archive archive(false);
    archive.input_ = bytes;
    return archive;
}

Archive Archive::forStoring() {
    return Archive(true);
}

std::size_t Archive::readBlock(void* destination, std::size_t size) {
    const std::size_t count = std::min(size, input_.size() - position_);
    if (count > 0) {
        std::memcpy(destination, input_.data() + position_, count);
    }
    position_ += count;
    return count;
}

std::int32_t Archive::readInt32() {
    if (input_.size() - position_ < 4) {
        throw ArchiveError(ArchiveErrorCause::endOfFile);
    }
    const std::uint8_t* p = input_.data() + position_;
    position_ += 4;
    const std::uint32_t value = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    return static_cast<std::int32_t>(value);
}

void Archive::writeBlock(const void* source, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(source);
    stored_.insert(stored_.end(), bytes, bytes + size);
}

void Archive::writeInt32(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        stored_.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
}

}  // namespace orv
