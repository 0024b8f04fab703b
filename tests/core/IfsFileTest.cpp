// The .ifs reader on the layouts found in the wild and on every kind of fault, and the writer
// read back by the reader.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "document/IfsFile.h"

namespace orv {
namespace {

struct Layout {
    const char* what;
    const char* text;
    std::vector<std::string> names;
    std::vector<std::size_t> mapCounts;
};

TEST(IfsReader, ReadsEveryLayout) {
    const Layout layouts[] = {
        {"one map a line, probabilities",
         "fern {\n 0 0 0 .16 0 0 .01\n .85 .04 -.04 .85 0 1.6 .85\n}\n",
         {"fern"},
         {2}},
        {"commas, tabs and no probability", "a{\n1,0,0,1,0,0\n\t0.5,\t0\t0 0.5 1 1\n}", {"a"}, {2}},
        {"braces on the lines of the maps", "b { 1 0 0 1 0 0\n1 0 0 1 0 0 }", {"b"}, {2}},
        {"comments everywhere",
         "; head\nc ; name\n{ ; open\n1 0 0 1 0 0 ; map\n} ; end",
         {"c"},
         {1}},
        {"CRLF and blank lines", "\r\nd {\r\n\r\n1 0 0 1 0 0\r\n}\r\n", {"d"}, {1}},
        {"two entries, name with blanks",
         "x y {\n1 0 0 1 0 0\n}\nz {\n1 0 0 1 0 0\n}",
         {"x y", "z"},
         {1, 1}},
        {"3-D: twelve numbers and p",
         "fern3d (3D) {\n1 2 3 4 5 6 7 8 9 10 11 12 0.5\n}",
         {"fern3d (3D)"},
         {1}},
        {"seven maps",
         "seven {\n1 0 0 1 0 0\n1 0 0 1 0 0\n1 0 0 1 0 0\n1 0 0 1 0 0\n1 0 0 1 0 0\n"
         "1 0 0 1 0 0\n1 0 0 1 0 0\n}",
         {"seven"},
         {7}},
        {"empty file", "", {}, {}},
        {"comments only", "; nothing\n;{ }\n", {}, {}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        const auto entries = parseIfs(layout.text);
        ASSERT_EQ(entries.size(), layout.names.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].name, layout.names[i]);
            EXPECT_EQ(entries[i].mapCount, layout.mapCounts[i]);
            EXPECT_EQ(entries[i].maps.size(),
                      entries[i].threeDimensional ? 0 : layout.mapCounts[i]);
        }
    }
}

TEST(IfsReader, NumbersAreReadInCSyntaxIntoTheRightCoefficients) {
    const auto entries = parseIfs("n {\n+1.5 -.25 2e-3 0x1.8p1 -0X10 1E+2 9\n0 0 0 0 5. -0 }");
    ASSERT_EQ(entries.size(), 1u);
    const AffineMap& m = entries[0].maps[0];
    EXPECT_EQ(m.a, 1.5);
    EXPECT_EQ(m.b, -0.25);
    EXPECT_EQ(m.c, 2e-3);
    EXPECT_EQ(m.d, 3.0);
    EXPECT_EQ(m.e, -16.0);
    EXPECT_EQ(m.f, 100.0);
    EXPECT_EQ(entries[0].maps[1].e, 5.0);
    EXPECT_TRUE(std::signbit(entries[0].maps[1].f));
    EXPECT_EQ(entries[0].line, 1);
}

TEST(IfsReader, RefusesMalformedTextWithTheLineOfTheFault) {
    const struct {
        const char* text;
        int line;
        const char* reason;
    } faults[] = {
        {"a {\n1 0 0 1 0\n}", 2, "has a map of 5 numbers; a map here has 6, or 7"},
        {"a {\n1 0 0 1 0 0 1 2\n}", 2, "has a map of 8 numbers"},
        {"s (3D) {\n1 0 0 1 0 0 1\n}", 2, "a map here has 12, or 13"},
        {"a {\n\n1 0 0 1 x 0\n}", 3, "'x' in entry 'a' is not a finite number"},
        {"a {\n1 0 0 1 inf 0\n}", 2, "'inf' in entry 'a' is not a finite number"},
        {"a {\n1 0 0 1 nan 0\n}", 2, "is not a finite number"},
        {"a {\n1 0 0 1 1e999 0\n}", 2, "'1e999' in entry 'a' is not a finite number"},
        {"a {\n1 0 0 1 +-1 0\n}", 2, "is not a finite number"},
        {"a {\n1 0 0 1 0x 0\n}", 2, "is not a finite number"},
        {"\n\nfern {\n1 0 0 1 0 0\n", 3, "entry 'fern' is not closed with '}'"},
        {"a {\n1 0 0 1 0 0\n}\n\nb", 5, "'b' is not followed by '{'"},
        {"\n{ 1 0 0 1 0 0 }", 2, "a '{' without an entry name"},
        {"a {\n1 0 0 1 0 0\n{\n}", 3, "a '{' inside entry 'a'"},
        {"a {\n1 0 0 1 0 0\n}\n}", 4, "a '}' with no entry to close"},
        {"x\n\nempty { ; nothing\n}", 1, "entry 'x empty' has no maps"},
        // Bytes that would steer a terminal are not echoed.
        {"a {\n1 0 0 1 \x1b[2J\x07 0\n}", 2, "'?[2J?' in entry 'a'"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.text);
        try {
            parseIfs(fault.text);
            ADD_FAILURE() << "accepted";
        } catch (const IfsSyntaxError& error) {
            EXPECT_EQ(error.line(), fault.line);
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("line " + std::to_string(fault.line) + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(fault.reason), std::string::npos) << message;
        }
    }
}

TEST(IfsReader, LongTextIsShownCutBeforeAWholeCharacter) {
    EXPECT_EQ(printableText("abc\tdef", 64), "abc?def");
    EXPECT_EQ(printableText("abcdef", 3), "abc...");
    EXPECT_EQ(printableText("ab\u0416\u0416", 3), "ab\u0416...");  // two bytes each
    EXPECT_EQ(printableText("abc", 3), "abc");
}

TEST(IfsReader, FindsEntriesWithoutRegardToCaseAndSaysWhichCannotBeDrawn) {
    std::string text =
        "Fern {\n1 0 0 1 0 0\n}\nfern {\n1 0 0 1 1 1\n}\nsp (3d) {\n"
        "1 0 0 0 1 0 0 0 1 0 0 0\n}\nseven {\n";
    for (int i = 0; i < 7; ++i) {
        text += "1 0 0 1 0 0\n";
    }
    const auto entries = parseIfs(text + "}\n");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(findEntry(entries, "FERN"), &entries[0]);  // the first of that name
    EXPECT_EQ(findEntry(entries, ""), &entries[0]);
    EXPECT_EQ(findEntry(entries, "SP (3D)"), &entries[2]);
    EXPECT_EQ(findEntry(entries, "fer"), nullptr);
    EXPECT_EQ(whyNotDrawable(entries[0]), std::nullopt);
    EXPECT_TRUE(entries[2].threeDimensional);
    EXPECT_EQ(whyNotDrawable(entries[2]),
              "it is three-dimensional; Orv draws systems of the plane");
    EXPECT_EQ(whyNotDrawable(entries[3]), "it has 7 maps; Orv draws at most 6");
}

TEST(IfsWriter, EntriesReadBackAsTheSameDoubles) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    const std::vector<AffineMap> maps = {{1.0 / 3.0, -0.0, 1e-300, 0.1, 2.0 / 3.0, tiny},
                                         {0, 0, 0, 0.16, 0, 0},
                                         {-1.7976931348623157e308, 5e-324, 0.5, 1, -2, 3}};
    const auto entries = parseIfs(formatIfsEntry("round trip", maps));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "round trip");
    ASSERT_EQ(entries[0].maps.size(), maps.size());
    for (std::size_t i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(std::memcmp(&entries[0].maps[i], &maps[i], sizeof(AffineMap)), 0) << i;
    }
}

TEST(IfsWriter, ProbabilitiesFollowTheAreaWithAFloor) {
    // The fern: the stem has area 0, the rest 0.7241, 0.1038 and 0.1088.
    const std::vector<AffineMap> fern = {{0, 0, 0, 0.16, 0, 0},
                                         {0.85, 0.04, -0.04, 0.85, 0, 1.6},
                                         {0.2, -0.26, 0.23, 0.22, 0, 1.6},
                                         {-0.15, 0.28, 0.26, 0.24, 0, 0.44}};
    const auto p = ifsProbabilities(fern);
    const double total = 0.7241 + 0.1038 + 0.1088;
    const double floored = total + total / 100;
    EXPECT_NEAR(p[0], (total / 100) / floored, 1e-12);
    EXPECT_NEAR(p[1], 0.7241 / floored, 1e-12);
    EXPECT_NEAR(p[0] + p[1] + p[2] + p[3], 1.0, 1e-12);
    const std::vector<AffineMap> flat = {{0, 0, 0, 0, 1, 1}, {1, 1, 1, 1, 0, 0}};
    EXPECT_EQ(ifsProbabilities(flat), (std::vector<double>{0.5, 0.5}));
    // Written with four decimals, the stem still has a chance.
    EXPECT_NE(formatIfsEntry("f", fern).find(" 0.0099\n"), std::string::npos);
}

TEST(IfsWriter, EntryNamesComeFromTheFileName) {
    EXPECT_EQ(ifsEntryName("out/fern.ifs"), "fern");
    EXPECT_EQ(ifsEntryName("my fern{1};x.ifs"), "my_fern_1__x");
    EXPECT_EQ(ifsEntryName(".ifs"), ".ifs");
    EXPECT_EQ(ifsEntryName("dir/"), "orv");
    EXPECT_EQ(ifsEntryName("a.b.c"), "a.b");
}

}  // namespace
}  // namespace orv
