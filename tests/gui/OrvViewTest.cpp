#include <gtest/gtest.h>
#include <QImage>

#include "GuiTestSupport.h"
#include "document/COrvDoc.h"
#include "render/MonochromePicture.h"
#include "ui/COrvView.h"

namespace {

using orv::test::emptyBlock;
using orv::test::setMap;
using orv::ui::pictureOrigin;

TEST(ViewOffset, CentresRoundingTowardMinusInfinity) {
    struct Case {
        QSize client;
        int side;
        QPoint origin;
    };
    const Case cases[] = {
        {{2049, 2049}, 2048, {0, 0}},     {{2050, 2050}, 2048, {1, 1}},
        {{2047, 2047}, 2048, {-1, -1}},   {{2046, 2045}, 2048, {-1, -2}},
        {{800, 600}, 2048, {-624, -724}}, {{129, 130}, 128, {0, 1}},
        {{64, 64}, 64, {0, 0}},           {{0, 0}, 64, {-32, -32}},
        {{1000, 700}, 512, {244, 94}},    {{63, 1}, 64, {-1, -32}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pictureOrigin(c.client, c.side), c.origin)
            << c.client.width() << "x" << c.client.height() << " side " << c.side;
    }
}

TEST(PictureImage, KeepsTheBitsRowsAndSense) {
    // Top row: only the leftmost pixel black; bottom row: only the rightmost pixel black.
    const int side = 64;
    std::vector<std::uint8_t> bits(side * side / 8, 0xFF);
    bits[0] = 0x7F;
    bits[bits.size() - 1] = 0xFE;
    const QImage image = orv::ui::pictureImage(orv::MonochromePicture(side, bits));
    ASSERT_EQ(image.size(), QSize(side, side));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(side - 1, side - 1), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(side - 2, side - 1), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(0, side - 1), qRgb(255, 255, 255));
}

// A view on its own, so that the tests choose its size.
class ViewTest : public ::testing::Test {
protected:
    ViewTest() : view_(doc) {
        doc.ResetToDefaults();
        doc.setViewUpdater([this] { view_.RedrawAll(); });
        view_.resize(200, 200);
        view_.show();
    }

    void render(const orv::ParameterBlock& block) {
        doc.parameters() = block;
        ASSERT_EQ(doc.Render(), orv::RenderOutcome::completed);
    }

    // What the user sees in the view, after the pending repaint.
    QImage shown() {
        QApplication::processEvents();
        return view_.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    orv::ui::COrvView& view() { return view_; }

    orv::COrvDoc doc;

private:
    orv::ui::COrvView view_;
};

bool isBlack(const QImage& image, int x, int y) {
    return image.pixel(x, y) == qRgb(0, 0, 0);
}
bool isWhite(const QImage& image, int x, int y) {
    return image.pixel(x, y) == qRgb(255, 255, 255);
}

int countBlack(const QImage& image) {
    int black = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            black += isBlack(image, x, y) ? 1 : 0;
        }
    }
    return black;
}

TEST_F(ViewTest, NewDocumentShowsPlainWhite) {
    const QImage image = shown();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(countBlack(image), 0);
    EXPECT_TRUE(isWhite(image, image.width() / 2, image.height() / 2));
}

TEST_F(ViewTest, RasterOriginIsTheBottomLeftPixelOfTheCentredSquare) {
    // Every pixel lands on (0, 0): one black pixel at the bottom left of the picture.
    auto block = emptyBlock(0, 1);
    setMap(block, 0, {});
    render(block);
    view().resize(200, 150);
    const QPoint origin = pictureOrigin({200, 150}, 64);
    ASSERT_EQ(origin, QPoint(68, 43));

    const QImage image = shown();
    ASSERT_EQ(image.size(), QSize(200, 150));
    EXPECT_EQ(countBlack(image), 1);
    EXPECT_TRUE(isBlack(image, origin.x(), origin.y() + 63));
}

TEST_F(ViewTest, PictureLargerThanTheViewIsClippedOnBothSides) {
    // A single map a = d = 0.5, e = f = 0.25, one iteration: the black square of side N/2 in
    // the middle of the picture, raster columns and rows 32 to 95 of 128.
    auto block = emptyBlock(1, 1);
    setMap(block, 0, {0.5, 0, 0, 0.5, 0.25, 0.25});
    render(block);
    view().resize(100, 99);
    const QPoint origin = pictureOrigin({100, 99}, 128);
    ASSERT_EQ(origin, QPoint(-14, -15));

    const QImage image = shown();
    // Picture row r is raster row 127 - r: rows 32..95 are shown at 32..95 as well.
    const int left = origin.x() + 32, right = origin.x() + 95;
    const int top = origin.y() + 32, bottom = origin.y() + 95;
    EXPECT_EQ(countBlack(image), 64 * 64);
    EXPECT_TRUE(isBlack(image, left, top));
    EXPECT_TRUE(isBlack(image, right, bottom));
    EXPECT_TRUE(isWhite(image, left - 1, top));
    EXPECT_TRUE(isWhite(image, left, top - 1));
    EXPECT_TRUE(isWhite(image, right + 1, bottom));
    EXPECT_TRUE(isWhite(image, right, bottom + 1));
}

TEST_F(ViewTest, ResizingRecentres) {
    auto block = emptyBlock(0, 1);
    setMap(block, 0, {});
    render(block);
    for (const QSize size : {QSize(300, 300), QSize(65, 63), QSize(64, 64), QSize(64, 62)}) {
        view().resize(size);
        const QPoint origin = pictureOrigin(size, 64);
        const QImage image = shown();
        EXPECT_EQ(countBlack(image), origin.y() + 63 < size.height() ? 1 : 0);
        if (origin.y() + 63 < size.height()) {
            EXPECT_TRUE(isBlack(image, origin.x(), origin.y() + 63)) << size.width();
        }
    }
}

TEST_F(ViewTest, EachRenderReplacesWhatIsShownAndANewDocumentClearsIt) {
    auto corner = emptyBlock(0, 1);
    setMap(corner, 0, {});
    render(corner);
    const QPoint origin = pictureOrigin({200, 200}, 64);
    ASSERT_TRUE(isBlack(shown(), origin.x(), origin.y() + 63));

    // The identity at the same size: the whole square.
    auto full = emptyBlock(0, 1);
    setMap(full, 0, {1, 0, 0, 1, 0, 0});
    render(full);
    EXPECT_EQ(countBlack(shown()), 64 * 64);

    render(corner);
    EXPECT_EQ(countBlack(shown()), 1);

    doc.ResetToDefaults();
    EXPECT_EQ(countBlack(shown()), 0);
}

// On a scaled screen (the CTest entry runs these with QT_SCALE_FACTOR=2) a picture pixel is
// still one device pixel, centred in the client area as counted in device pixels.
class HighDpiView : public ViewTest {};

TEST_F(HighDpiView, EachPicturePixelIsOneDevicePixel) {
    const qreal ratio = view().devicePixelRatioF();
    if (ratio == 1.0) {
        GTEST_SKIP() << "the screen is not scaled; the HighDpiView CTest entry runs this with "
                        "QT_SCALE_FACTOR=2";
    }
    // The black square of side N/2 in the middle of a 128-pixel picture, as above.
    auto block = emptyBlock(1, 1);
    setMap(block, 0, {0.5, 0, 0, 0.5, 0.25, 0.25});
    render(block);
    // Sizes whose device-pixel centring differs from a scaled logical one; the square stays
    // whole in each, the picture only in the last.
    for (const QSize size : {QSize(101, 77), QSize(60, 61), QSize(200, 150)}) {
        view().resize(size);
        const QImage image = shown();
        const QSize device = (QSizeF(size) * ratio).toSize();
        ASSERT_EQ(image.size(), device);
        const QPoint origin = pictureOrigin(device, 128);
        const int left = origin.x() + 32, right = origin.x() + 95;
        const int top = origin.y() + 32, bottom = origin.y() + 95;
        EXPECT_EQ(countBlack(image), 64 * 64) << size.width();
        EXPECT_TRUE(isBlack(image, left, top)) << size.width();
        EXPECT_TRUE(isBlack(image, right, bottom)) << size.width();
        EXPECT_TRUE(isWhite(image, left - 1, top)) << size.width();
        EXPECT_TRUE(isWhite(image, left, top - 1)) << size.width();
        EXPECT_TRUE(isWhite(image, right + 1, bottom)) << size.width();
        EXPECT_TRUE(isWhite(image, right, bottom + 1)) << size.width();
    }
}

}  // namespace
