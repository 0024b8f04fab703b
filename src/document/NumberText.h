#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

// How numbers look in the Parameters dialog (and in `orv-render --info`), and how the dialog
// reads them back. Everything here is locale-independent: the decimal separator is always '.'.

// An edit field is read into a 32-character buffer: only its first 31 characters are seen.
inline constexpr std::size_t kFieldTextLimit = 31;

// "%.*g" at precision 15, with the exponent written with at least three digits ("1e-005",
// "1.7e+308") and negative zero written "0".
std::string formatDouble(double value);

// "%d".
std::string formatInt(std::int32_t value);

// The dialog's integer reading: blanks and tabs around an optionally signed decimal integer,
// saturating at the 32-bit limits. A zero result is accepted only when the text starts (after
// blanks and tabs) with the digit '0', so empty text, "-0" and "+0" are refused.
std::optional<std::int32_t> parseIntField(std::string_view text);

// The dialog's decimal reading: blanks and tabs around an optionally signed decimal number
// with an optional exponent introduced by e, E, d or D. Too large a magnitude gives an
// infinity (which the caller's range check refuses), too small a zero. As for integers, a
// zero result needs a leading '0' digit, so "-0", ".0" and "1e-400" are refused.
std::optional<double> parseDoubleField(std::string_view text);

}  // namespace orv
