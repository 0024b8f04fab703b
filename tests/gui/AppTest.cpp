#include <gtest/gtest.h>
#include <QApplication>
#include <cstring>

#include "app/COrvApp.h"
#include "document/ParameterBlock.h"
#include "ui/ApplicationIcon.h"
#include "ui/CMainFrame.h"

namespace {

TEST(App, StartsWithANewUntitledDocumentInAShownMainFrame) {
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance());

    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Orv"));
    EXPECT_EQ(QApplication::organizationName(), QStringLiteral("Orv"));
    EXPECT_FALSE(QApplication::windowIcon().isNull());

    const orv::COrvDoc& doc = app.document();
    const orv::ParameterBlock defaults = orv::defaultParameters();
    EXPECT_EQ(std::memcmp(&doc.parameters(), &defaults, sizeof defaults), 0);
    EXPECT_EQ(doc.picture(), nullptr);
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(doc.pathName().empty());

    const orv::ui::CMainFrame* frame = app.mainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(),
              QStringLiteral("Untitled - Программа эмуляции системы итерированных функций"));
    EXPECT_EQ(frame->statusText(), QStringLiteral("Готово"));
}

TEST(App, IconIsTheDrawnTriangle) {
    const QIcon icon = orv::ui::applicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(64, 64).toImage();
    ASSERT_EQ(image.size(), QSize(64, 64));
    // Filled at the right angle in the bottom left, empty in the opposite corner.
    EXPECT_GT(qAlpha(image.pixel(0, 63)), 0);
    EXPECT_EQ(qAlpha(image.pixel(63, 0)), 0);
}

}  // namespace
