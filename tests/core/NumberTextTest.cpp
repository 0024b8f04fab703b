#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "document/NumberText.h"

namespace orv {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

std::string describe(std::string_view text) {
    std::string shown = "'";
    for (const char c : text) {
        shown += c == '\t'   ? std::string("\\t")
                 : c == '\n' ? std::string("\\n")
                             : std::string(1, c);
    }
    return shown + "'";
}

TEST(NumberText, FormatsDoublesWithFifteenDigitsAndThreeDigitExponents) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {-1.0, "-1"},
        {0.5, "0.5"},
        {100.0, "100"},
        {123.456, "123.456"},
        {1.0 / 3.0, "0.333333333333333"},
        {-1.0 / 3.0, "-0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {0.1 + 0.2, "0.3"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {1e-5, "1e-005"},
        {-1.5e-10, "-1.5e-010"},
        {1e14, "100000000000000"},
        {99999999999999.9, "99999999999999.9"},
        {999999999999999.4, "999999999999999"},
        {999999999999999.9, "1e+015"},
        {1e15, "1e+015"},
        {123456789012345678.0, "1.23456789012346e+017"},
        {1e100, "1e+100"},
        {1.7e308, "1.7e+308"},
        {-1.7e308, "-1.7e+308"},
        {DBL_MAX, "1.79769313486232e+308"},
        {DBL_MIN, "2.2250738585072e-308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247e-324"},
        {1e-310, "9.99999999999997e-311"},  // a denormal keeps fewer digits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatDouble(c.value), c.text) << "value " << c.value;
    }
    EXPECT_EQ(formatDouble(-1.0 / 3.0).size(), 18U);
}

TEST(NumberText, FormatsIntegersPlainly) {
    EXPECT_EQ(formatInt(0), "0");
    EXPECT_EQ(formatInt(7), "7");
    EXPECT_EQ(formatInt(-32), "-32");
    EXPECT_EQ(formatInt(kIntMax), "2147483647");
    EXPECT_EQ(formatInt(kIntMin), "-2147483648");
}

TEST(NumberText, AcceptsIntegerTexts) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"0", 0},
        {"00", 0},
        {"07", 7},
        {" 7 ", 7},
        {"\t7\t", 7},
        {" \t 12 \t ", 12},
        {"+5", 5},
        {"-5", -5},
        {"1", 1},
        {"32", 32},
        {"33", 33},
        {"2147483647", kIntMax},
        {"2147483648", kIntMax},
        {"12345678901", kIntMax},
        {"99999999999999999999999999", kIntMax},
        {"-2147483648", kIntMin},
        {"-2147483649", kIntMin},
        {"-12345678901", kIntMin},
        {"\n5", 5},  // the conversion itself skips any white space after the blanks
    };
    for (const auto& c : cases) {
        const auto parsed = parseIntField(c.text);
        ASSERT_TRUE(parsed.has_value()) << describe(c.text);
        EXPECT_EQ(*parsed, c.value) << describe(c.text);
    }
}

TEST(NumberText, RefusesIntegerTexts) {
    for (const char* text : {"", " ", "\t", "-0", "+0", " -0 ", "-", "+", "--1", "+-1", "- 5",
                             "abc", "a5", "5a", "1 2", "1.5", "1.", "1e2", "0x10", "0-", "5\n",
                             "\n0", "\xd9\xa3" /* an Arabic-Indic digit */}) {
        EXPECT_FALSE(parseIntField(text).has_value()) << describe(text);
    }
}

TEST(NumberText, AcceptsDecimalTexts) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"0", 0.0},
        {"00", 0.0},
        {"0.0", 0.0},
        {"0.000", 0.0},
        {"0e5", 0.0},
        {"00.5", 0.5},
        {" 0.5 ", 0.5},
        {"\t0.5\t", 0.5},
        {" \t-0.5\t ", -0.5},
        {"-0.5", -0.5},
        {".5", 0.5},
        {"-.5", -0.5},
        {"5.", 5.0},
        {"+3", 3.0},
        {"1e2", 100.0},
        {"1E2", 100.0},
        {"1d2", 100.0},
        {"1D2", 100.0},
        {"1e+2", 100.0},
        {"1.e2", 100.0},
        {"1e-2", 0.01},
        {"1d-2", 0.01},
        {"0.1", 0.1},
        {"0.333333333333333", 0.333333333333333},
        {"1.7e308", 1.7e308},
        {"-1.7e308", -1.7e308},
        {"1.75e308", 1.75e308},
        {"1e400", kInfinity},  // the range check refuses it, not the reading
        {"-1e400", -kInfinity},
        {"4.9e-324", std::numeric_limits<double>::denorm_min()},
        {"1e-310", 1e-310},
        {"123456789012345678901234567890", 1.2345678901234568e29},
    };
    for (const auto& c : cases) {
        const auto parsed = parseDoubleField(c.text);
        ASSERT_TRUE(parsed.has_value()) << describe(c.text);
        EXPECT_EQ(*parsed, c.value) << describe(c.text);
        EXPECT_EQ(std::signbit(*parsed), std::signbit(c.value)) << describe(c.text);
    }
}

TEST(NumberText, RefusesDecimalTexts) {
    for (const char* text :
         {"",         " ",     "\t",  "-0",  "+0",   ".0",      "-.0",    "+0.0",    "-0e5",
          "0,5",      "1,000", "1e",  "1e+", "1d",   "1 2",     "abc",    "inf",     "-inf",
          "infinity", "INF",   "nan", "NaN", "0x10", "0x1p3",   "1e-400", "-1e-400", "2e-324",
          ".",        "-",     "+",   "e5",  ".e5",  "1..2",    "1.2.3",  "1ee5",    "1e5e",
          "1e5.5",    "5-",    "--5", "\n5", "1f",   "\xd9\xa3"}) {
        EXPECT_FALSE(parseDoubleField(text).has_value()) << describe(text);
    }
}

// An edit is read through a 32-character buffer, so whatever stands beyond character 31 is
// never judged.
TEST(NumberText, ReadsOnlyTheFirstThirtyOneCharacters) {
    const std::string number = "1" + std::string(30, ' ');
    ASSERT_EQ(number.size(), kFieldTextLimit);
    EXPECT_EQ(parseIntField(number + "x"), 1);
    EXPECT_EQ(parseDoubleField(number + "x"), 1.0);
    const std::string shorter = "1" + std::string(29, ' ');
    EXPECT_FALSE(parseIntField(shorter + "x").has_value());
    EXPECT_FALSE(parseDoubleField(shorter + "x").has_value());
    // Digits past the limit do not count either.
    EXPECT_EQ(parseIntField(std::string(30, '0') + "12"), 1);
    EXPECT_EQ(parseDoubleField("0." + std::string(28, '0') + "1" + "999"), 1e-29);
}

// What the dialog shows is what it reads back on OK, except for digits beyond the fifteenth.
TEST(NumberText, FormattedValuesReadBackAsTheirFifteenDigitRounding) {
    for (const double value : {0.0, 1.0, -0.5, 0.1, 1e-5, 1e15, 1.7e308, -1.7e308, 123.456,
                               std::numeric_limits<double>::denorm_min()}) {
        EXPECT_EQ(parseDoubleField(formatDouble(value)), value) << formatDouble(value);
    }
    const auto third = parseDoubleField(formatDouble(1.0 / 3.0));
    ASSERT_TRUE(third.has_value());
    EXPECT_NE(*third, 1.0 / 3.0);
    EXPECT_EQ(*third, 0.333333333333333);
    for (const std::int32_t value : {0, 1, 32, -1, kIntMax, kIntMin}) {
        EXPECT_EQ(parseIntField(formatInt(value)), value);
    }
}

// A block can carry values the dialog would never accept (from a file, or left by a refused OK
// that was then cancelled). They are shown in some form and refused again on the next OK.
TEST(NumberText, NonFiniteValuesAreShownButNotReadBack) {
    for (const double value : {kInfinity, -kInfinity, std::numeric_limits<double>::quiet_NaN()}) {
        const std::string text = formatDouble(value);
        EXPECT_FALSE(text.empty());
        const auto parsed = parseDoubleField(text);
        EXPECT_FALSE(parsed.has_value() && std::isfinite(*parsed)) << text;
    }
}

}  // namespace
}  // namespace orv
