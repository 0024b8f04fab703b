#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "TestSupport.h"
#include "document/DocumentError.h"
#include "export/BmpWriter.h"

namespace orv {
namespace {

std::vector<std::uint8_t> whiteRaster(int side) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(side) * side, 1);
}

TEST(MonochromePicture, PacksRowsTopFirstWithTheLeftmostPixelInTheHighBit) {
    struct Case {
        int x, y;
        std::size_t byte;
        std::uint8_t value;
    };
    const int n = 64;
    for (const Case& c : {Case{0, 0, (n - 1) * 8, 0x7F}, Case{n - 1, n - 1, 7, 0xFE},
                          Case{9, 0, (n - 1) * 8 + 1, 0xBF}, Case{0, n - 1, 0, 0x7F},
                          Case{n - 1, 0, n * 8 - 1, 0xFE}}) {
        auto raster = whiteRaster(n);
        raster[c.y * n + c.x] = 0;
        const auto picture = packRaster(raster, n);
        ASSERT_EQ(picture.bits().size(), 512u);
        for (std::size_t i = 0; i < picture.bits().size(); ++i) {
            ASSERT_EQ(picture.bits()[i], i == c.byte ? c.value : 0xFF)
                << "pixel (" << c.x << ", " << c.y << "), byte " << i;
        }
        EXPECT_TRUE(picture.isBlack(c.x, c.y));
        EXPECT_EQ(test::countBlack(picture), 1);
    }
}

TEST(MonochromePicture, RefusesBitsThatDoNotMatchItsSide) {
    EXPECT_THROW(MonochromePicture(64, std::vector<std::uint8_t>(511)), std::invalid_argument);
    EXPECT_THROW(MonochromePicture(0, {}), std::invalid_argument);
}

TEST(BmpWriter, HeaderAndSizesForEverySide) {
    const std::size_t sizes[] = {574, 2110, 8254, 32830, 131134, 524350};
    for (int sizeIndex = 0; sizeIndex < kSizeCount; ++sizeIndex) {
        const int n = 64 << sizeIndex;
        const auto bmp = encodeBmp(packRaster(whiteRaster(n), n));
        ASSERT_EQ(bmp.size(), sizes[sizeIndex]);
        const auto u32 = [&](std::size_t at) {
            return std::uint32_t{bmp[at]} | std::uint32_t{bmp[at + 1]} << 8 |
                   std::uint32_t{bmp[at + 2]} << 16 | std::uint32_t{bmp[at + 3]} << 24;
        };
        const auto u16 = [&](std::size_t at) { return bmp[at] | bmp[at + 1] << 8; };
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(bmp[1], 'M');
        EXPECT_EQ(u32(2), sizes[sizeIndex]);
        EXPECT_EQ(u32(6), 0u);
        EXPECT_EQ(u32(10), 62u);
        EXPECT_EQ(u32(14), 40u);
        EXPECT_EQ(u32(18), static_cast<std::uint32_t>(n));
        EXPECT_EQ(u32(22), static_cast<std::uint32_t>(n));
        EXPECT_EQ(u16(26), 1);
        EXPECT_EQ(u16(28), 1);
        EXPECT_EQ(u32(30), 0u);
        EXPECT_EQ(u32(34), sizes[sizeIndex] - 62);
        for (std::size_t at = 38; at < 54; at += 4) {
            EXPECT_EQ(u32(at), 0u) << at;
        }
        EXPECT_EQ(u32(54), 0x00000000u);
        EXPECT_EQ(u32(58), 0x00FFFFFFu);
    }
}

TEST(BmpWriter, StoresRowsBottomFirst) {
    const int n = 64;
    auto raster = whiteRaster(n);
    raster[0] = 0;                // bottom-left
    raster[(n - 1) * n + 9] = 0;  // top row, column 9
    const auto bmp = encodeBmp(packRaster(raster, n));
    for (std::size_t i = 62; i < bmp.size(); ++i) {
        const std::uint8_t expected = i == 62 ? 0x7F : i == 62 + 63 * 8 + 1 ? 0xBF : 0xFF;
        ASSERT_EQ(bmp[i], expected) << "offset " << i;
    }

    const auto black = encodeBmp(packRaster(std::vector<std::uint8_t>(n * n, 0), n));
    EXPECT_TRUE(std::all_of(black.begin() + 62, black.end(), [](auto b) { return b == 0; }));
}

// The names made in or moved to a folder while this watches it.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& folder)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO), 0);
    }
    ~FolderWatch() { ::close(fd_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    std::vector<std::string> names() const {
        std::vector<std::string> names;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (const char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                names.emplace_back(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

private:
    int fd_;
};

class BmpFile : public ::testing::Test {
protected:
    const MonochromePicture picture = packRaster(whiteRaster(64), 64);
    test::TempDir dir;

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(BmpFile, WritesTheEncodedBytesAndReplacesAnOldFile) {
    const std::string path = dir.file("out.bmp");
    test::writeAll(path, std::vector<std::uint8_t>(100000, 0x55));
    ::chmod(path.c_str(), 0640);
    writeBmp(picture, path);
    EXPECT_EQ(test::readAll(path), encodeBmp(picture));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), std::vector<std::string>{"out.bmp"});
}

TEST_F(BmpFile, ANewFileAppearsOnlyUnderItsOwnName) {
    const FolderWatch watch(dir.path());
    writeBmp(picture, dir.file("new.bmp"));
    EXPECT_EQ(watch.names(), std::vector<std::string>{"new.bmp"});
}

TEST_F(BmpFile, WritesThroughASymbolicLink) {
    const std::string target = dir.file("target.bmp");
    test::writeAll(target, {1, 2, 3});
    std::filesystem::create_symlink(target, dir.file("link.bmp"));
    writeBmp(picture, dir.file("link.bmp"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bmp")));
    EXPECT_EQ(test::readAll(target), encodeBmp(picture));
}

TEST_F(BmpFile, ADanglingLinkIsKeptAndTheFileMadeWhereItLeads) {
    struct Case {
        std::string link;
        std::string leadsTo;
        std::string made;
    };
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink("end.bmp", dir.file("sub/next.bmp"));
    for (const Case& c : {Case{"relative.bmp", "sub/new.bmp", "sub/new.bmp"},
                          Case{"absolute.bmp", dir.file("new.bmp"), "new.bmp"},
                          Case{"chain.bmp", "sub/next.bmp", "sub/end.bmp"}}) {
        SCOPED_TRACE(c.link);
        std::filesystem::create_symlink(c.leadsTo, dir.file(c.link));
        writeBmp(picture, dir.file(c.link));
        EXPECT_TRUE(std::filesystem::is_symlink(dir.file(c.link)));
        EXPECT_EQ(test::readAll(dir.file(c.made)), encodeBmp(picture));
    }
}

TEST_F(BmpFile, FailuresNameTheCauseAndLeaveNothingBehind) {
    struct Case {
        std::string path;
        FileErrorCause cause;
    };
    std::filesystem::create_directory(dir.file("sub"));
    for (const Case& c : {Case{dir.file("missing/out.bmp"), FileErrorCause::fileNotFound},
                          Case{dir.file("sub"), FileErrorCause::accessDenied}}) {
        SCOPED_TRACE(c.path);
        try {
            writeBmp(picture, c.path);
            FAIL() << "written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.cause(), c.cause);
            EXPECT_EQ(e.path(), c.path);
        }
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"sub"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("sub")));
}

TEST_F(BmpFile, ALargePictureIsWrittenRowByRowInOrder) {
    // 2048 rows go to the file straight from the picture, more than one system call takes;
    // a pattern that differs on every row shows a row out of place.
    constexpr int n = 2048;
    std::vector<std::uint8_t> raster(static_cast<std::size_t>(n) * n, 1);
    for (int y = 0; y < n; ++y) {
        raster[static_cast<std::size_t>(y) * n + static_cast<std::size_t>(y)] = 0;
        raster[static_cast<std::size_t>(y) * n + static_cast<std::size_t>((y * 7) % n)] = 0;
    }
    const MonochromePicture large = packRaster(raster, n);
    const std::string path = dir.file("large.bmp");
    writeBmp(large, path);
    EXPECT_EQ(test::readAll(path), encodeBmp(large));
}

TEST_F(BmpFile, AWriteCutShortKeepsTheOldFile) {
    // A file-size limit below the picture makes the write itself fail part-way, as a full disk
    // would; the old file must survive and no partial file may remain.
    const std::string path = dir.file("old.bmp");
    const std::vector<std::uint8_t> old(300, 0x42);
    test::writeAll(path, old);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 400;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const FolderWatch watch(dir.path());
    bool failed = false;
    try {
        writeBmp(picture, path);  // 574 bytes
    } catch (const FileError& e) {
        failed = true;
        EXPECT_EQ(e.cause(), FileErrorCause::diskFull);
        EXPECT_EQ(std::string(e.what()), "Disk full while accessing " + path + ".");
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(failed);
    EXPECT_EQ(test::readAll(path), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.bmp"});
    EXPECT_EQ(watch.names(), std::vector<std::string>{}) << "a name appeared for a while";
}

}  // namespace
}  // namespace orv
