#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace orv::ui {

// Dialog layouts are drawn in dialog units so that they scale with the dialog font: a horizontal
// unit is a quarter of the font's average character width, a vertical unit an eighth of its
// height. These are the two "base units" in pixels.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

// a * b / c rounded to the nearest integer, halves away from zero (the rounding the layouts were
// drawn with; truncation would shift controls by a pixel).
int mulDiv(int a, int b, int c);

// The dialogs are laid out for an 8-point "MS Sans Serif". Where that font is missing (anything
// but Windows) its successor or a sans of similar metrics stands in; the size in pixels is the
// point size at the given logical resolution, rounded as the layouts expect.
QFont dialogFont(int logicalDpiY);

// The average width is measured over the 52 Latin letters, not taken from the font's own
// average, because that is what the layouts' widths were chosen against.
DialogBaseUnits baseUnitsOf(const QFont& font);

// Each coordinate is scaled on its own, so a control's width does not depend on where it starts.
QRect dialogRectToPixels(const QRect& units, DialogBaseUnits base);
QSize dialogSizeToPixels(const QSize& units, DialogBaseUnits base);

}  // namespace orv::ui
