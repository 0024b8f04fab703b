// The Parameters dialog's number texts. Any text is read by both field parsers without harm; a
// decimal value shown by formatDouble reads back as the value rounded to 15 significant digits,
// which then shows and reads back unchanged; an integer shown by formatInt reads back exactly.
// The values come from the texts the parsers accept and from the input's bytes taken as a
// double and as an integer, so every bit pattern is shown, also non-finite ones.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "document/NumberText.h"

namespace {

using namespace orv;

[[noreturn]] void fail(const char* what, const std::string& shown) {
    std::fprintf(stderr, "%s: '%s'\n", what, shown.c_str());
    std::abort();
}

// The value rounded to 15 significant digits, by the C library's own correctly rounded
// conversions; an independent way to the number the dialog's text stands for.
double roundedTo15Digits(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.14e", value);
    return std::strtod(text, nullptr);
}

void checkDecimalRoundTrip(double value) {
    const std::string shown = formatDouble(value);
    if (shown.size() > kFieldTextLimit) {
        fail("a formatted value does not fit the edit field", shown);
    }
    if (!std::isfinite(value)) {
        const auto read = parseDoubleField(shown);
        if (read && std::isfinite(*read)) {
            fail("a non-finite value reads back as a finite one", shown);
        }
        return;
    }
    const auto read = parseDoubleField(shown);
    if (!read) {
        fail("a formatted finite value is refused", shown);
    }
    // Beyond 1.79769313486231e+308 the rounding is an infinity, which the caller's range check
    // refuses; strtod rounds the same way.
    if (*read != roundedTo15Digits(value)) {
        fail("a formatted value does not read back as its 15-digit rounding", shown);
    }
    if (std::isfinite(*read)) {
        if (formatDouble(*read) != shown) {
            fail("the rounding of a value is not shown as the value was", shown);
        }
        const auto again = parseDoubleField(formatDouble(*read));
        if (!again || *again != *read) {
            fail("a 15-digit value does not read back unchanged", shown);
        }
    }
}

void checkIntegerRoundTrip(std::int32_t value) {
    const std::string shown = formatInt(value);
    const auto read = parseIntField(shown);
    if (!read || *read != value) {
        fail("a formatted integer does not read back exactly", shown);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto value = parseIntField(text)) {
        checkIntegerRoundTrip(*value);
    }
    if (const auto value = parseDoubleField(text)) {
        if (std::isfinite(*value)) {
            checkDecimalRoundTrip(*value);
        }
    }
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        checkDecimalRoundTrip(value);
    }
    if (size >= sizeof(std::int32_t)) {
        std::int32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        checkIntegerRoundTrip(value);
    }
    return 0;
}
