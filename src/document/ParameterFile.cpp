#include "document/ParameterFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>

#include "document/DocumentError.h"
#include "export/FileDescriptor.h"

namespace orv {

// The flags and coefficients travel as raw blocks, straight between the file and the block.
static_assert(std::endian::native == std::endian::little, "the file is little-endian");
static_assert(sizeof(ParameterBlock::enabled) == 24);
static_assert(sizeof(ParameterBlock::maps) == 288);

void storeParameters(const ParameterBlock& block, Archive& archive) {
    archive.writeBlock(block.enabled.data(), sizeof block.enabled);
    archive.writeBlock(block.maps.data(), sizeof block.maps);
    archive.writeInt32(block.sizeIndex);
    archive.writeInt32(block.autoIterations);
    archive.writeInt32(block.iterationCount);
}

void loadParameters(ParameterBlock& block, Archive& archive) {
    archive.readBlock(block.enabled.data(), sizeof block.enabled);
    archive.readBlock(block.maps.data(), sizeof block.maps);
    block.sizeIndex = archive.readInt32();
    block.autoIterations = archive.readInt32();
    block.iterationCount = archive.readInt32();
    if (!isValidSizeIndex(block.sizeIndex)) {
        throw ArchiveError(ArchiveErrorCause::badSchema);
    }
}

std::vector<std::uint8_t> readParameterFileBytes(const std::string& path) {
    return readFileStart(path, kParameterFileSize);
}

std::vector<std::uint8_t> readFileStart(const std::string& path, std::size_t limit) {
    // Opened without blocking, as a FIFO that nobody writes would hold a blocking open
    // forever; then blocking again, so that a pipe whose writer is slow is waited for instead
    // of failing with EAGAIN.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const auto fail = [&path] { throw FileError(fileErrorCauseFromErrno(errno), path); };
    if (!file.isOpen() || !setBlocking(file.get())) {
        fail();
    }
    std::vector<std::uint8_t> bytes;
    std::size_t filled = 0;
    while (filled < limit) {
        // Grown as the bytes come, so that a small file costs no more than its size.
        bytes.resize(std::min(limit, std::max<std::size_t>(2 * filled, 4096)));
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            fail();
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace orv
