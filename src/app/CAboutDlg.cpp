#include "app/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "resources/Strings.h"
#include "ui/ApplicationIcon.h"

namespace orv::app {

namespace {

constexpr int kIconId = 1009;
constexpr int kOkId = 1;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    using orv::ui::dialogRectToPixels;
    setWindowTitle(QString::fromUtf8(orv::res::kAboutTitle));
    setFont(orv::ui::dialogFont(logicalDpiY()));
    baseUnits_ = orv::ui::baseUnitsOf(font());
    setFixedSize(orv::ui::dialogSizeToPixels({235, 55}, baseUnits_));

    auto* icon = new QLabel(this);
    icon->setObjectName(QString::number(kIconId));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    icon->setPixmap(orv::ui::applicationIcon().pixmap(iconSize, iconSize));
    // The icon is shown whole at the style's size: with a narrow font its 20 units are less.
    QRect iconRect = dialogRectToPixels({10, 11, 20, 20}, baseUnits_);
    iconRect.setSize(iconRect.size().expandedTo({iconSize, iconSize}));
    icon->setGeometry(iconRect);

    auto* text = new QLabel(QString::fromUtf8(orv::res::kAboutText), this);
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // The name does not fit on one line of 119 units; the control is two lines high for it.
    text->setWordWrap(true);
    text->setGeometry(dialogRectToPixels({50, 10, 119, 20}, baseUnits_));

    auto* ok = new QPushButton(QString::fromUtf8(orv::res::kOk), this);
    ok->setObjectName(QString::number(kOkId));
    ok->setDefault(true);
    ok->setGeometry(dialogRectToPixels({178, 7, 50, 14}, baseUnits_));
    connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);
    ok->setFocus();
}

QWidget* CAboutDlg::control(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

}  // namespace orv::app
