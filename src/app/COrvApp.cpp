#include "app/COrvApp.h"

#include <QApplication>

#include "resources/Strings.h"
#include "ui/ApplicationIcon.h"
#include "ui/CMainFrame.h"

namespace orv::app {

COrvApp::COrvApp() = default;

COrvApp::~COrvApp() = default;

bool COrvApp::InitInstance() {
    // Also names the settings and the message boxes.
    QApplication::setApplicationName(QString::fromUtf8(orv::res::kApplicationName));
    QApplication::setOrganizationName(QString::fromUtf8(orv::res::kApplicationName));
    QApplication::setWindowIcon(orv::ui::applicationIcon());

    doc_.ResetToDefaults();
    doc_.setTitle(orv::res::kUntitled);
    frame_ = std::make_unique<orv::ui::CMainFrame>(doc_);
    frame_->show();
    return true;
}

}  // namespace orv::app
