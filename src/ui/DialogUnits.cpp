#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

namespace orv::ui {

namespace {
constexpr int kDialogFontPoints = 8;
}  // namespace

int mulDiv(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t magnitude = (std::llabs(product) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    const bool negative = (product < 0) != (c < 0);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QFont dialogFont(int logicalDpiY) {
    QFont font;
    // "Microsoft Sans Serif" is the outline successor of the bitmap face. DejaVu Sans, with its
    // Cyrillic, is somewhat wider: 7 x 13 base units at 96 dpi against the original 6 x 13. The
    // layout widens with it, and every text still fits its control (the condensed cut, at 6 x 13,
    // would clip the long check box text).
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(mulDiv(kDialogFontPoints, logicalDpiY, 72));
    return font;
}

DialogBaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

QRect dialogRectToPixels(const QRect& units, DialogBaseUnits base) {
    return {mulDiv(units.x(), base.x, 4), mulDiv(units.y(), base.y, 8),
            mulDiv(units.width(), base.x, 4), mulDiv(units.height(), base.y, 8)};
}

QSize dialogSizeToPixels(const QSize& units, DialogBaseUnits base) {
    return {mulDiv(units.width(), base.x, 4), mulDiv(units.height(), base.y, 8)};
}

}  // namespace orv::ui
