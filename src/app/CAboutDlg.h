#pragma once

#include <QDialog>

#include "ui/DialogUnits.h"

namespace orv::app {

// "О программе...": the program's icon and name, and OK. It changes nothing. Run it with exec():
// QDialog shows it centred over its parent's window (the main window), kept on the screen.
// OK and Enter accept, Escape and the close box reject.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // The control with this template id (1009 the icon, 1 OK), or null.
    QWidget* control(int id) const;

    // The pixels per dialog unit the layout was made with.
    orv::ui::DialogBaseUnits baseUnits() const { return baseUnits_; }

private:
    orv::ui::DialogBaseUnits baseUnits_;
};

}  // namespace orv::app
