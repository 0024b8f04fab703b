#include "export/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <stdexcept>

#include "export/AtomicFile.h"

namespace orv {

namespace {

// What the encoder needs, in plain data: libpng leaves encode() by longjmp on failure, which
// would skip the destructors of anything in its frame, so nothing there has one.
struct Image {
    const std::uint8_t* rows = nullptr;
    std::size_t rowBytes = 0;
    png_uint_32 side = 0;
    int bitDepth = 0;
};

// Where libpng's callbacks put the bytes and the reason of a failure. The vector lives in the
// caller's frame, out of reach of the jump.
struct Sink {
    std::vector<std::uint8_t>* bytes = nullptr;
    bool outOfMemory = false;
    char message[128] = {};
};

bool append(std::vector<std::uint8_t>& bytes, const png_byte* data, std::size_t length) noexcept {
    try {
        bytes.insert(bytes.end(), data, data + length);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void writeBytes(png_structp png, png_bytep data, std::size_t length) {
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    if (!append(*sink->bytes, data, length)) {
        sink->outOfMemory = true;
        png_error(png, "out of memory");
    }
}

void flushNothing(png_structp) {}

// libpng's default prints to stderr; the caller reports the failure once, in its own words.
[[noreturn]] void recordError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<Sink*>(png_get_error_ptr(png));
    std::strncpy(sink->message, message, sizeof sink->message - 1);
    // libpng's failed allocations say "Out of memory" or "Insufficient memory"; they are the
    // only failures valid rows can meet, and the caller reports them as such.
    if (std::strstr(message, "memory") != nullptr) {
        sink->outOfMemory = true;
    }
    png_longjmp(png, 1);
}

// Warnings are about input files; an encoder fed valid rows has nothing to warn of.
void ignoreWarning(png_structp, png_const_charp) {}

bool encode(const Image& image, Sink& sink) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, recordError, ignoreWarning);
    if (png == nullptr) {
        sink.outOfMemory = true;
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        sink.outOfMemory = true;
        return false;
    }
    // png and info are not changed after this point, so they hold their values after a jump.
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, writeBytes, flushNothing);
    png_set_IHDR(png, info, image.side, image.side, image.bitDepth, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (png_uint_32 row = 0; row < image.side; ++row) {
        png_write_row(png, image.rows + row * image.rowBytes);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::vector<std::uint8_t> encodeImage(const Image& image) {
    std::vector<std::uint8_t> bytes;
    Sink sink{.bytes = &bytes};
    if (!encode(image, sink)) {
        if (sink.outOfMemory) {
            throw std::bad_alloc();
        }
        throw std::runtime_error(std::string("the PNG encoder failed: ") + sink.message);
    }
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> encodePng(const MonochromePicture& picture) {
    return encodeImage({.rows = picture.bits().data(),
                        .rowBytes = static_cast<std::size_t>(picture.bytesPerRow()),
                        .side = static_cast<png_uint_32>(picture.side()),
                        .bitDepth = 1});
}

std::vector<std::uint8_t> encodePng(const GreyPicture& picture) {
    return encodeImage({.rows = picture.pixels.data(),
                        .rowBytes = static_cast<std::size_t>(picture.side),
                        .side = static_cast<png_uint_32>(picture.side),
                        .bitDepth = 8});
}

void writePng(const MonochromePicture& picture, const std::string& path) {
    writeFileAtomically(path, encodePng(picture));
}

void writePng(const GreyPicture& picture, const std::string& path) {
    writeFileAtomically(path, encodePng(picture));
}

}  // namespace orv
