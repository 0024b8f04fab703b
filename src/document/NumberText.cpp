#include "document/NumberText.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

namespace orv {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The C library's notion of white space, which the integer conversion skips after the blanks.
bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    return at;
}

// Only blanks and tabs may follow the number.
bool onlyBlanksFrom(std::string_view text, std::size_t at) {
    return skipBlanks(text, at) == text.size();
}

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

}  // namespace

std::string formatDouble(double value) {
    if (value == 0.0) {
        return "0";
    }
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, error == std::errc{} ? end : buffer);
    const auto e = text.find('e');
    if (e != std::string::npos) {
        const std::size_t digits = text.size() - (e + 2);  // after 'e' and the sign
        if (digits < 3) {
            text.insert(e + 2, 3 - digits, '0');
        }
    }
    return text;
}

std::string formatInt(std::int32_t value) {
    return std::to_string(value);
}

std::optional<std::int32_t> parseIntField(std::string_view text) {
    text = text.substr(0, kFieldTextLimit);
    std::size_t at = skipBlanks(text, 0);
    const char first = at < text.size() ? text[at] : '\0';
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    std::int64_t magnitude = 0;
    while (at < text.size() && isDigit(text[at])) {
        magnitude =
            std::min<std::int64_t>(magnitude * 10 + (text[at] - '0'), std::int64_t{1} << 32);
        ++at;
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    value = std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    if (value == 0 && first != '0') {
        return std::nullopt;
    }
    if (!onlyBlanksFrom(text, at)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<double> parseDoubleField(std::string_view text) {
    text = text.substr(0, kFieldTextLimit);
    const std::size_t start = skipBlanks(text, 0);
    const char first = start < text.size() ? text[start] : '\0';

    // Scan the longest prefix that is a number and copy it in the form strtod reads.
    std::string number;
    std::size_t at = start;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number += text[at++];
    }
    std::size_t mantissaDigits = 0;
    bool point = false;
    while (at < text.size() && (isDigit(text[at]) || (text[at] == '.' && !point))) {
        point = point || text[at] == '.';
        mantissaDigits += isDigit(text[at]) ? 1 : 0;
        number += text[at++];
    }
    std::size_t end = start;  // where the number ends; start when there is none
    double value = 0.0;
    if (mantissaDigits > 0) {
        end = at;
        if (at < text.size() &&
            (text[at] == 'e' || text[at] == 'E' || text[at] == 'd' || text[at] == 'D')) {
            std::size_t exponentAt = at + 1;
            std::string exponent = "e";
            if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-')) {
                exponent += text[exponentAt++];
            }
            const std::size_t exponentDigits = exponentAt;
            while (exponentAt < text.size() && isDigit(text[exponentAt])) {
                exponent += text[exponentAt++];
            }
            if (exponentAt > exponentDigits) {
                number += exponent;
                end = exponentAt;
            }
        }
        value = strtod_l(number.c_str(), nullptr, cLocale());
    }
    if (value == 0.0 && first != '0') {
        return std::nullopt;
    }
    if (!onlyBlanksFrom(text, end)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace orv
