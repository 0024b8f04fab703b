#include "export/BmpWriter.h"

#include <array>
#include <span>

#include "export/AtomicFile.h"

namespace orv {

namespace {

constexpr std::uint32_t kHeaderSize = 62;
using Header = std::array<std::uint8_t, kHeaderSize>;

Header headerOf(const MonochromePicture& picture) {
    const auto side = static_cast<std::uint32_t>(picture.side());
    const auto imageSize = static_cast<std::uint32_t>(picture.bits().size());
    Header header{};
    std::size_t at = 0;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value >>= 8) {
            header[at++] = static_cast<std::uint8_t>(value);
        }
    };
    put('B', 1);
    put('M', 1);
    put(kHeaderSize + imageSize, 4);
    put(0, 4);  // reserved
    put(kHeaderSize, 4);
    put(40, 4);
    put(side, 4);
    put(side, 4);
    put(1, 2);  // planes
    put(1, 2);  // bits per pixel
    put(0, 4);  // no compression
    put(imageSize, 4);
    put(0, 16);          // resolutions and colour counts
    put(0x00000000, 4);  // black
    put(0x00FFFFFF, 4);  // white
    return header;
}

// The header, then the picture's rows bottom row first: the file's bytes, in pieces.
std::vector<std::span<const std::uint8_t>> piecesOf(const Header& header,
                                                    const MonochromePicture& picture) {
    std::vector<std::span<const std::uint8_t>> pieces{header};
    const auto rowBytes = static_cast<std::size_t>(picture.bytesPerRow());
    const auto bits = picture.bits();
    for (std::size_t row = static_cast<std::size_t>(picture.side()); row-- > 0;) {
        pieces.push_back(bits.subspan(row * rowBytes, rowBytes));
    }
    return pieces;
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const MonochromePicture& picture) {
    const Header header = headerOf(picture);
    std::vector<std::uint8_t> out;
    out.reserve(header.size() + picture.bits().size());
    for (const std::span<const std::uint8_t> piece : piecesOf(header, picture)) {
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

// Straight from the picture's rows: no copy of the whole file is made in memory.
void writeBmp(const MonochromePicture& picture, const std::string& path) {
    const Header header = headerOf(picture);
    writeFileAtomically(path, piecesOf(header, picture));
}

}  // namespace orv
