#pragma once

#include <QIcon>

namespace orv::ui {

// The program's icon (a Sierpinski triangle), for the windows and the About box.
QIcon applicationIcon();

}  // namespace orv::ui
