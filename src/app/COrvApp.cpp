#include "app/COrvApp.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>

#include "app/CAboutDlg.h"
#include "app/CommandLineInfo.h"
#include "app/Profile.h"
#include "resources/Strings.h"
#include "ui/ApplicationIcon.h"
#include "ui/CMainFrame.h"
#include "ui/DocumentFileCommands.h"
#include "ui/MessageBox.h"

namespace orv::app {

COrvApp::COrvApp() = default;

COrvApp::~COrvApp() = default;

bool COrvApp::InitInstance(const QStringList& arguments) {
    // Also names the profile and the message boxes.
    QApplication::setApplicationName(QString::fromUtf8(orv::res::kApplicationName));
    QApplication::setOrganizationName(QString::fromUtf8(orv::res::kRegistryKey));
    QApplication::setWindowIcon(orv::ui::applicationIcon());
    // Lets the desktop match the windows to the installed menu entry and its icon; under
    // Wayland nothing else tells it.
    QGuiApplication::setDesktopFileName(QStringLiteral(ORV_APP_ID));

    LoadStdProfileSettings();
    if (!ProcessShellCommand(ParseCommandLine(arguments))) {
        frame_.reset();
        return false;
    }
    frame_->show();
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame_.get(),
                     [this](QSessionManager& manager) {
                         if (!QueryEndSession(manager.allowsInteraction())) {
                             manager.cancel();
                         }
                         manager.release();
                     });
    return true;
}

int COrvApp::ExitInstance() {
    SaveStdProfileSettings();
    return exitStatus_;
}

void COrvApp::LoadStdProfileSettings() {
    const std::unique_ptr<QSettings> profile = openProfile();
    recentFiles_.ReadList(*profile);
    previewPages_ = readPreviewPages(*profile);
}

void COrvApp::SaveStdProfileSettings() const {
    if (unregistered_) {
        return;
    }
    const std::unique_ptr<QSettings> profile = openProfile();
    recentFiles_.WriteList(*profile);
    writePreviewPages(*profile, previewPages_);
}

bool COrvApp::ProcessShellCommand(const CCommandLineInfo& info) {
    switch (info.shellCommand) {
        case CCommandLineInfo::FileNew:
        case CCommandLineInfo::FileDDE:  // nobody to talk to: an ordinary start
            createFrame();
            return true;
        case CCommandLineInfo::FileOpen:
            createFrame();
            // A render the user stopped is not a failure: the program starts with the new
            // document it had before.
            if (frame_->fileCommands().OpenDocumentFile(info.fileName) ==
                orv::ui::OpenOutcome::failed) {
                exitStatus_ = 1;
                return false;
            }
            return true;
        case CCommandLineInfo::FilePrint:
        case CCommandLineInfo::FilePrintTo:
            // There is no printing: the file is loaded and rendered, no window shown, and the
            // program ends.
            createFrame();
            if (info.fileName.isEmpty() || frame_->fileCommands().OpenDocumentFile(info.fileName) !=
                                               orv::ui::OpenOutcome::opened) {
                exitStatus_ = 1;
            }
            return false;
        case CCommandLineInfo::AppUnregister:
            removeProfile();
            unregistered_ = true;
            if (!info.runEmbedded) {
                orv::ui::MessageBox::show(nullptr, QString::fromUtf8(orv::res::kUnregistered));
            }
            return false;
    }
    return false;
}

void COrvApp::createFrame() {
    doc_.setTitle(orv::res::kUntitled);
    doc_.ResetToDefaults();
    frame_ = std::make_unique<orv::ui::CMainFrame>(doc_);
    frame_->setApplicationCommandHandler(
        [this](int commandId) { OnApplicationCommand(commandId); });
    frame_->setRecentFileSource([this] { return recentFiles_.MenuItemTexts(QDir::currentPath()); });
    frame_->fileCommands().setRecentFileAdder(
        [this](const QString& path) { recentFiles_.Add(path); });
}

void COrvApp::OnApplicationCommand(int commandId) {
    using namespace orv::res;
    if (commandId >= kIdFileRecent1 && commandId < kIdFileRecent1 + kRecentFileCount) {
        OnOpenRecentFile(commandId - kIdFileRecent1);
        return;
    }
    switch (commandId) {
        case kIdFileNew:
            OnFileNew();
            break;
        case kIdFileOpen:
            OnFileOpen();
            break;
        case kIdAppAbout:
            OnAppAbout();
            break;
        default:
            break;
    }
}

void COrvApp::OnFileNew() {
    frame_->fileCommands().OnFileNew();
}

void COrvApp::OnFileOpen() {
    frame_->fileCommands().OnFileOpen();
}

void COrvApp::OnOpenRecentFile(int index) {
    if (index < 0 || index >= recentFiles_.size() || recentFiles_[index].isEmpty()) {
        return;
    }
    // Only a file that fails to open leaves the list; a No to the question keeps it.
    if (frame_->fileCommands().OpenDocumentFile(recentFiles_[index]) ==
        orv::ui::OpenOutcome::failed) {
        recentFiles_.Remove(index);
    }
}

void COrvApp::OnAppAbout() {
    CAboutDlg about(frame_.get());
    about.exec();
}

bool COrvApp::QueryEndSession(bool mayAsk) {
    if (frame_ == nullptr) {
        return true;
    }
    if (doc_.isModified() && (!mayAsk || !frame_->fileCommands().SaveModified())) {
        return false;
    }
    // The session may end the process without another word: the program's own end comes now.
    frame_->closeWithoutQuestions();
    SaveStdProfileSettings();
    return true;
}

}  // namespace orv::app
