#include "export/BmpWriter.h"

#include "export/AtomicFile.h"

namespace orv {

namespace {

constexpr std::uint32_t kHeaderSize = 62;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const MonochromePicture& picture) {
    const auto side = static_cast<std::uint32_t>(picture.side());
    const auto imageSize = static_cast<std::uint32_t>(picture.bits().size());
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + imageSize);

    out.push_back('B');
    out.push_back('M');
    put32(out, kHeaderSize + imageSize);
    put16(out, 0);
    put16(out, 0);
    put32(out, kHeaderSize);

    put32(out, 40);
    put32(out, side);
    put32(out, side);
    put16(out, 1);
    put16(out, 1);
    put32(out, 0);
    put32(out, imageSize);
    for (int i = 0; i < 4; ++i) {
        put32(out, 0);
    }
    put32(out, 0x00000000);  // black
    put32(out, 0x00FFFFFF);  // white

    const auto rowBytes = static_cast<std::size_t>(picture.bytesPerRow());
    const auto bits = picture.bits();
    for (std::size_t row = side; row-- > 0;) {
        const auto first = bits.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
        out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(rowBytes));
    }
    return out;
}

void writeBmp(const MonochromePicture& picture, const std::string& path) {
    writeFileAtomically(path, encodeBmp(picture));
}

}  // namespace orv
