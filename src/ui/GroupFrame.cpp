#include "ui/GroupFrame.h"

#include <qdrawutil.h>
#include <QFontMetrics>
#include <QPainter>
#include <QRegion>
#include <QStyle>

namespace orv::ui {

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void GroupFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // The title starts one average character in from the corner, with a space's width of the
    // line left out on either side.
    const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
    const QRect titleRect(metrics.averageCharWidth(), 0,
                          metrics.horizontalAdvance(title()) + 2 * gap, metrics.height());

    painter.save();
    painter.setClipRegion(QRegion(rect()).subtracted(titleRect));
    const QRect frame = rect().adjusted(0, metrics.height() / 2, 0, 0);
    qDrawShadeRect(&painter, frame, palette(), /*sunken=*/true);
    painter.restore();

    style()->drawItemText(&painter, titleRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

}  // namespace orv::ui
