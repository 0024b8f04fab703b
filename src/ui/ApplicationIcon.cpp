#include "ui/ApplicationIcon.h"

#include "resources/Strings.h"

// The resources live in a static library, whose registration the linker would otherwise drop;
// the macro must be used outside any namespace.
static void registerResources() {
    Q_INIT_RESOURCE(orv);
}

namespace orv::ui {

QIcon applicationIcon() {
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    return QIcon(QString::fromLatin1(orv::res::kApplicationIcon));
}

}  // namespace orv::ui
