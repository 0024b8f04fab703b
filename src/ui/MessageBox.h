#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace orv::ui {

// Every message the program shows goes through here: caption "Orv", the exclamation icon
// unless the caller chooses another. Tests install an answerer that records the text and
// answers in place of the user, so no modal box blocks them.
class MessageBox {
public:
    using Answerer = std::function<QMessageBox::StandardButton(
        const QString& text, QMessageBox::StandardButtons buttons)>;

    static QMessageBox::StandardButton show(QWidget* parent, const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::Icon icon = QMessageBox::Warning);

    // Replaces the real box until called again with an empty function.
    static void setAnswerer(Answerer answerer);

    static const QString& caption();
};

}  // namespace orv::ui
