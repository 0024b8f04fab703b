#include "ui/MessageBox.h"

namespace orv::ui {

namespace {
MessageBox::Answerer& answerer() {
    static MessageBox::Answerer instance;
    return instance;
}
}  // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::Icon icon) {
    if (answerer()) {
        return answerer()(text, buttons);
    }
    QMessageBox box(icon, caption(), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

const QString& MessageBox::caption() {
    static const QString name = QStringLiteral("Orv");
    return name;
}

}  // namespace orv::ui
