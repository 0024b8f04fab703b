#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "TestSupport.h"
#include "document/COrvDoc.h"
#include "document/DocumentError.h"
#include "document/ParameterFile.h"

namespace orv {
namespace {

void putDouble(std::vector<std::uint8_t>& bytes, std::size_t offset, double value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

void putInt(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
}

TEST(ParameterFile, DefaultDocumentHasTheDocumentedBytes) {
    const auto bytes = test::stored(defaultParameters());
    std::vector<std::uint8_t> expected(kParameterFileSize, 0);
    expected[0] = 0x01;       // map 0 enabled
    expected[24 + 6] = 0xF0;  // map 0 a = 1.0
    expected[24 + 7] = 0x3F;
    expected[48 + 6] = 0xF0;  // map 0 d = 1.0
    expected[48 + 7] = 0x3F;
    expected[312] = expected[316] = expected[320] = 0x01;  // size 1, automatic, count 1
    EXPECT_EQ(bytes, expected);
}

TEST(ParameterFile, FieldsGoToTheirOffsetsInFileOrder) {
    ParameterBlock block = test::emptyBlock(4, -7);
    block.autoIterations = 2;
    block.enabled = {0, 1, -1, 0, 0, 0x12345678};
    block.maps[2].c = -0.0;
    block.maps[5].f = 1e300;
    const auto bytes = test::stored(block);

    std::vector<std::uint8_t> expected(kParameterFileSize, 0);
    putInt(expected, 4, 1);
    putInt(expected, 8, -1);
    putInt(expected, 20, 0x12345678);
    putDouble(expected, 24 + 8 * (6 * 2 + 2), -0.0);
    putDouble(expected, 24 + 8 * (6 * 5 + 5), 1e300);
    putInt(expected, 312, 4);
    putInt(expected, 316, 2);
    putInt(expected, 320, -7);
    EXPECT_EQ(bytes, expected);
}

TEST(ParameterFile, RoundTripKeepsEveryBitIncludingNonFiniteValues) {
    ParameterBlock block = test::emptyBlock(5, 2147483647);
    block.enabled = {3, 0, -5, 1, 0, 1};
    const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::infinity(),
                             -0.0,
                             1.0 / 3.0,
                             std::numeric_limits<double>::denorm_min(),
                             -1.7e308};
    for (int k = 0; k < kMapCount; ++k) {
        for (int j = 0; j < 6; ++j) {
            coefficient(block, k, j) = values[(k + j) % 6];
        }
    }
    const auto bytes = test::stored(block);
    ParameterBlock read = test::emptyBlock(0, 0);
    Archive archive = Archive::forLoading(bytes);
    loadParameters(read, archive);
    EXPECT_EQ(test::stored(read), bytes);
}

TEST(ParameterFile, ShortFileOverwritesWhatItHoldsThenFailsAtTheMissingInteger) {
    ParameterBlock source = test::emptyBlock(3, 9);
    source.autoIterations = 0;
    source.enabled = {1, 1, 1, 0, 0, 0};
    source.maps[5].f = 0.25;
    const auto full = test::stored(source);

    struct Case {
        std::size_t length;
        bool sizeRead, autoRead;
    };
    for (const Case c : {Case{323, true, true}, Case{319, true, false}, Case{312, false, false},
                         Case{100, false, false}, Case{1, false, false}}) {
        SCOPED_TRACE(c.length);
        ParameterBlock block = defaultParameters();
        const std::vector<std::uint8_t> bytes(full.begin(), full.begin() + c.length);
        Archive archive = Archive::forLoading(bytes);
        try {
            loadParameters(block, archive);
            FAIL() << "a short file must not load";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.cause(), ArchiveErrorCause::endOfFile);
            EXPECT_STREQ(failureMessage(e, "x.orv", kFailedToOpenDocument).c_str(),
                         "Unexpected file format.");
        }
        EXPECT_EQ(block.sizeIndex, c.sizeRead ? 3 : 1);
        EXPECT_EQ(block.autoIterations, c.autoRead ? 0 : 1);
        EXPECT_EQ(block.iterationCount, 1);  // never reached
        // Every byte the file had is in the block, the rest is as it was.
        auto now = test::stored(block);
        const auto before = test::stored(defaultParameters());
        for (std::size_t i = 0; i < 312; ++i) {
            ASSERT_EQ(now[i], i < c.length ? full[i] : before[i]) << "byte " << i;
        }
    }
}

TEST(ParameterFile, BytesAfterTheBlockAreIgnored) {
    ParameterBlock source = test::emptyBlock(0, 5);
    source.enabled[2] = 1;
    auto bytes = test::stored(source);
    bytes.resize(400, 0xAB);
    ParameterBlock block;
    Archive archive = Archive::forLoading(bytes);
    loadParameters(block, archive);
    EXPECT_EQ(test::stored(block), test::stored(source));
}

TEST(ParameterFile, SizeIndexOutsideTheSixSizesIsNotADocument) {
    for (const std::int32_t sizeIndex : {-1, 6, 10, 26, -2147483647 - 1, 2147483647}) {
        SCOPED_TRACE(sizeIndex);
        auto bytes = test::stored(defaultParameters());
        putInt(bytes, 312, sizeIndex);
        ParameterBlock block;
        Archive archive = Archive::forLoading(bytes);
        try {
            loadParameters(block, archive);
            FAIL() << "accepted";
        } catch (const ArchiveError& e) {
            EXPECT_STREQ(failureMessage(e, "x.orv", kFailedToOpenDocument).c_str(),
                         "Unexpected file format.");
        }
    }
}

TEST(ParameterFile, LoadingADocumentRendersIt) {
    ParameterBlock source = test::emptyBlock(0, 0);  // no iteration: all black
    const auto bytes = test::stored(source);
    COrvDoc doc;
    Archive archive = Archive::forLoading(bytes);
    EXPECT_EQ(doc.TransferParameters(archive), RenderOutcome::completed);
    ASSERT_NE(doc.picture(), nullptr);
    EXPECT_EQ(doc.side(), 64);
    EXPECT_EQ(doc.shift(), 6);
    EXPECT_EQ(test::countBlack(*doc.picture()), 64 * 64);
}

TEST(ParameterFile, ARejectedDocumentIsNotRendered) {
    auto bytes = test::stored(test::emptyBlock(9, 1));
    COrvDoc doc;
    Archive archive = Archive::forLoading(bytes);
    EXPECT_THROW(doc.TransferParameters(archive), ArchiveError);
    EXPECT_EQ(doc.picture(), nullptr);
}

TEST(ParameterFile, ReadingTakesAtMostTheBlockFromDisk) {
    test::TempDir dir;
    std::vector<std::uint8_t> big(100000, 7);
    test::writeAll(dir.file("big.orv"), big);
    EXPECT_EQ(readParameterFileBytes(dir.file("big.orv")).size(), kParameterFileSize);
    test::writeAll(dir.file("empty.orv"), {});
    EXPECT_TRUE(readParameterFileBytes(dir.file("empty.orv")).empty());
    test::writeAll(dir.file("short.orv"), {1, 2, 3});
    EXPECT_EQ(readParameterFileBytes(dir.file("short.orv")), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ParameterFile, UnreadableFilesRaiseFileErrorsNamingThePath) {
    test::TempDir dir;
    struct Case {
        std::string path;
        FileErrorCause cause;
        std::string message;
    };
    const std::string missing = dir.file("missing.orv");
    const std::string viaFile = dir.file("plain") + "/x.orv";
    test::writeAll(dir.file("plain"), {1});
    for (const Case& c :
         {Case{missing, FileErrorCause::fileNotFound, missing + " was not found."},
          Case{viaFile, FileErrorCause::badPath, viaFile + " contains an invalid path."},
          Case{dir.path(), FileErrorCause::accessDenied,
               "Access to " + dir.path() + " was denied."}}) {
        SCOPED_TRACE(c.path);
        try {
            readParameterFileBytes(c.path);
            FAIL() << "read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.cause(), c.cause);
            EXPECT_EQ(e.path(), c.path);
            EXPECT_EQ(failureMessage(e, "other", kFailedToOpenDocument), c.message);
        }
    }
}

}  // namespace
}  // namespace orv
