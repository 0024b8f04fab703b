#include "PngDecoding.h"

#include <png.h>

#include <stdexcept>
#include <string>

namespace orv::test {

DecodedPng decodePng(const std::vector<std::uint8_t>& file) {
    // The signature and the header chunk come first: 8 bytes, then length, type, width, height,
    // bit depth, colour type.
    if (file.size() < 33) {
        throw std::runtime_error("too short for a PNG file");
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0) {
        throw std::runtime_error(std::string("libpng: ") + image.message);
    }
    image.format = PNG_FORMAT_GRAY;
    DecodedPng decoded;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.bitDepth = file[24];
    decoded.colourType = file[25];
    decoded.grey.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, decoded.grey.data(), 0, nullptr) == 0) {
        throw std::runtime_error(std::string("libpng: ") + image.message);
    }
    return decoded;
}

}  // namespace orv::test
