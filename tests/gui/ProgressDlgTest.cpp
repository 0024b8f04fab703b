#include <gtest/gtest.h>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

#include "GuiTestSupport.h"
#include "render/MonochromePicture.h"
#include "ui/CParamsDlg.h"
#include "ui/CProgressDlg.h"

namespace {

using orv::test::OpenFrame;
using orv::ui::CProgressDlg;

std::vector<std::uint8_t> bitsOf(const orv::MonochromePicture* picture) {
    const auto bits = picture->bits();
    return {bits.begin(), bits.end()};
}

// A document that shows the new document's 128 x 128 square, about to render something slow.
class ProgressTest : public ::testing::Test {
protected:
    ProgressTest() {
        EXPECT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
        oldPicture = open.doc.picture();
        oldBits = bitsOf(oldPicture);
        open.doc.parameters() = orv::test::largeBlock();
    }

    void expectOldPictureKept() const {
        EXPECT_EQ(open.doc.picture(), oldPicture);
        EXPECT_EQ(open.doc.side(), 128);
        EXPECT_EQ(bitsOf(open.doc.picture()), oldBits);
    }

    CProgressDlg& window() const { return open.frame->progressWindow(); }

    OpenFrame open;
    const orv::MonochromePicture* oldPicture = nullptr;
    std::vector<std::uint8_t> oldBits;
};

TEST_F(ProgressTest, ShowsWhileTheRenderRunsAndEscapeCancelsKeepingTheOldPicture) {
    EXPECT_FALSE(window().isVisible());
    bool seen = false;
    orv::test::whenNextShown(&window(), [&] {
        CProgressDlg* shown = &window();
        seen = true;
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shown->windowModality(), Qt::ApplicationModal);
        EXPECT_TRUE(shown->windowFlags().testFlag(Qt::FramelessWindowHint));
        const auto* text = shown->findChild<QLabel*>();
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text(), QStringLiteral("Идёт итерационный процесс СИФ"));
        EXPECT_TRUE(text->alignment().testFlag(Qt::AlignHCenter));
        const auto* bar = shown->findChild<QProgressBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_LT(bar->value(), 100);
        // Small, centred on the screen, everything inside it.
        EXPECT_GT(shown->width(), 200);
        EXPECT_LT(shown->width(), 450);
        EXPECT_LT(shown->height(), 160);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((shown->geometry().center() - area.center()).manhattanLength(), 2);
        for (const QWidget* child : shown->findChildren<QWidget*>()) {
            EXPECT_TRUE(
                shown->rect().contains(QRect(child->mapTo(shown, QPoint(0, 0)), child->size())))
                << child->metaObject()->className();
        }
        QTest::keyClick(shown, Qt::Key_Escape);
    });

    EXPECT_EQ(open.doc.Render(), orv::RenderOutcome::stopped);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(window().isVisible());
    expectOldPictureKept();
}

TEST_F(ProgressTest, CancelButtonStopsTheRender) {
    orv::test::whenNextShown(&window(), [this] {
        auto* cancel = window().findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    EXPECT_EQ(open.doc.Render(), orv::RenderOutcome::stopped);
    expectOldPictureKept();

    // The next render starts afresh, not cancelled by the last one.
    open.doc.parameters() = orv::defaultParameters();
    open.doc.parameters().sizeIndex = 0;
    EXPECT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    EXPECT_EQ(open.doc.side(), 64);
}

// Where a click on the "&СИФ" title lands in the main window, and a click there delivered as
// the window system would (so that modality applies).
QPoint ifsTitle(orv::ui::CMainFrame* frame) {
    QMenuBar* menuBar = frame->menuBar();
    return menuBar->mapTo(frame, menuBar->actionGeometry(menuBar->actions().at(1)).center());
}

void clickAt(orv::ui::CMainFrame* frame, QPoint position) {
    QTest::mouseClick(frame->windowHandle(), Qt::LeftButton, {}, position);
}

// Nothing else can run while a render is going: the main window takes no shortcuts, no clicks
// and no close request until the progress window is gone.
TEST_F(ProgressTest, MainWindowIgnoresShortcutsClicksAndClosingMeanwhile) {
    auto* frame = open.frame.get();
    bool parametersOpened = false;
    bool menuOpened = false;
    orv::test::whenNextShown(&window(), [&] {
        // Should the dialog open after all, close it so that the test ends.
        orv::test::ifShown<orv::ui::CParamsDlg>(
            [&](orv::ui::CParamsDlg* dialog) {
                parametersOpened = true;
                dialog->reject();
            },
            500);
        QTest::keyClick(frame->windowHandle(), Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(frame, Qt::Key_P, Qt::ControlModifier);
        clickAt(frame, ifsTitle(frame));
        QTest::qWait(100);
        menuOpened = QApplication::activePopupWidget() != nullptr;
        frame->close();
        EXPECT_TRUE(frame->isVisible());
        QTest::keyClick(&window(), Qt::Key_Escape);
    });
    EXPECT_EQ(open.doc.Render(), orv::RenderOutcome::stopped);
    // Long enough for a dialog opened by a late shortcut to show up.
    QTest::qWait(600);
    EXPECT_FALSE(parametersOpened);
    EXPECT_FALSE(menuOpened);
    expectOldPictureKept();

    // Once the render is over the same click opens the menu.
    clickAt(frame, ifsTitle(frame));
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QApplication::activePopupWidget()->close();
}

TEST(Progress, BarFollowsTheIterationsAndNeverReaches100) {
    OpenFrame open;
    auto* bar = open.frame->progressWindow().findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    // Ten iterations, each moving the square one pixel to the right, so each changes the
    // raster and is reported.
    orv::ParameterBlock block = orv::test::emptyBlock(0, 10);
    orv::test::setMap(block, 0, {1, 0, 0, 1, 1.0 / 64, 0});
    open.doc.parameters() = block;
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);

    // Again, now that the bar has moved: it starts over at 0, then steps 100 * t / 10.
    QSignalSpy positions(bar, &QProgressBar::valueChanged);
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    QList<int> seen;
    for (const QList<QVariant>& position : positions) {
        seen.append(position.at(0).toInt());
    }
    EXPECT_EQ(seen, (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(open.frame->progressWindow().position(), 90);
    EXPECT_FALSE(open.frame->progressWindow().isVisible());
}

}  // namespace
