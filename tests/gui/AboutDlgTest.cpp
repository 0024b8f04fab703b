#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "GuiTestSupport.h"
#include "app/CAboutDlg.h"
#include "ui/DialogUnits.h"

namespace {

using orv::app::CAboutDlg;
using orv::ui::dialogRectToPixels;

QLabel* textLabel(const CAboutDlg& dialog) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            return label;
        }
    }
    return nullptr;
}

TEST(AboutDlg, LaysOutIconNameAndOkInDialogUnits) {
    const CAboutDlg dialog;
    const orv::ui::DialogBaseUnits base = dialog.baseUnits();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("О программе..."));
    const QSize size = orv::ui::dialogSizeToPixels({235, 55}, base);
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_FALSE(dialog.windowFlags() &
                 (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));

    auto* icon = qobject_cast<QLabel*>(dialog.control(1009));
    ASSERT_NE(icon, nullptr);
    const int iconSize = dialog.style()->pixelMetric(QStyle::PM_LargeIconSize);
    const QRect iconUnits = dialogRectToPixels({10, 11, 20, 20}, base);
    EXPECT_EQ(icon->geometry(),
              QRect(iconUnits.topLeft(), iconUnits.size().expandedTo({iconSize, iconSize})));
    EXPECT_EQ(icon->pixmap().deviceIndependentSize().toSize(), QSize(iconSize, iconSize));

    QLabel* text = textLabel(dialog);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Эмулятор системы итерированных функций"));
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_TRUE(text->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(text->geometry(), dialogRectToPixels({50, 10, 119, 20}, base));
    const QRect needed =
        QFontMetrics(text->font())
            .boundingRect(text->rect(), Qt::TextWordWrap | Qt::AlignHCenter, text->text());
    EXPECT_TRUE(text->rect().contains(needed)) << needed.width() << " x " << needed.height();

    auto* ok = qobject_cast<QPushButton*>(dialog.control(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), dialogRectToPixels({178, 7, 50, 14}, base));
}

TEST(AboutDlg, OpensCentredOverItsParentWithTheFocusOnOkAndClosesOnEnterOrEscape) {
    QWidget owner;
    owner.setGeometry(200, 150, 700, 500);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

    const struct {
        Qt::Key key;
        int result;
    } cases[] = {{Qt::Key_Return, QDialog::Accepted}, {Qt::Key_Escape, QDialog::Rejected}};
    for (const auto& c : cases) {
        CAboutDlg dialog(&owner);
        bool seen = false;
        orv::test::whenShown<CAboutDlg>([&](CAboutDlg* shown) {
            seen = true;
            EXPECT_TRUE(shown->isModal());
            EXPECT_LE((shown->frameGeometry().center() - owner.frameGeometry().center())
                          .manhattanLength(),
                      2);
            EXPECT_EQ(QApplication::focusWidget(), shown->control(1));
            QTest::keyClick(shown->focusWidget() != nullptr ? shown->focusWidget() : shown, c.key);
        });
        EXPECT_EQ(dialog.exec(), c.result) << c.key;
        EXPECT_TRUE(seen);
    }
}

}  // namespace
