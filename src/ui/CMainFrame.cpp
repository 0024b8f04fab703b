#include "ui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

#include "document/COrvDoc.h"
#include "resources/Strings.h"
#include "ui/COrvView.h"
#include "ui/CProgressDlg.h"
#include "ui/DocumentCommands.h"
#include "ui/DocumentFileCommands.h"

namespace orv::ui {

namespace {

const orv::res::CommandText* findCommand(int commandId) {
    for (const auto& command : orv::res::kCommands) {
        if (command.id == commandId) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace

CMainFrame::CMainFrame(orv::COrvDoc& doc, QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      view_(new COrvView(doc, this)),
      progress_(new CProgressDlg(this)),
      commands_(std::make_unique<DocumentCommands>(doc, this)),
      fileCommands_(std::make_unique<DocumentFileCommands>(doc, this)) {
    setCentralWidget(view_);
    createMenus();
    createStatusBar();
    doc_.setViewUpdater([this] { view_->RedrawAll(); });
    doc_.setRenderProgress(&progress_->progress());
    doc_.setTitleUpdater([this] { OnUpdateFrameTitle(); });
    OnUpdateFrameTitle();
    resize(sizeHint());
    centreOnPrimaryScreen();
}

CMainFrame::~CMainFrame() {
    // The document outlives its windows.
    doc_.setViewUpdater({});
    doc_.setTitleUpdater({});
    doc_.setRenderProgress(nullptr);
}

QAction* CMainFrame::action(int commandId) const {
    for (QAction* candidate : findChildren<QAction*>()) {
        if (!candidate->isSeparator() && candidate->data().toInt() == commandId) {
            return candidate;
        }
    }
    return nullptr;
}

QString CMainFrame::statusText() const {
    return statusPane_->text();
}

void CMainFrame::OnUpdateFrameTitle() {
    const QString windowTitle = QString::fromUtf8(orv::res::kWindowTitle);
    const QString title = QString::fromStdString(doc_.title());
    setWindowTitle(title.isEmpty() ? windowTitle : title + QStringLiteral(" - ") + windowTitle);
}

bool CMainFrame::event(QEvent* event) {
    // A highlighted menu item sends its prompt here; popup titles and separators send an
    // empty one, and so does the menu bar when the mouse merely passes over it. Inside the
    // menus the pane shows exactly what comes, blank included; outside them it is idle.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        statusPane_->setText(tip);
        if (tip.isEmpty()) {
            showIdleStatusWhenMenusClose();
        }
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The render runs inside this window's lifetime; it has to end (or be cancelled) first.
    // Whatever closes the window (Exit, the close box, the end of the program), unsaved changes
    // are asked about first; Cancel, or a save that fails, keeps it open.
    if (progress_->isVisible() || (!questionAnswered_ && !fileCommands_->SaveModified())) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::createMenus() {
    using namespace orv::res;

    QMenu* file = fileMenu_ = menuBar()->addMenu(QString::fromUtf8(kMenuFile));
    addCommand(file, kIdFileNew);
    addCommand(file, kIdFileOpen);
    addCommand(file, kIdFileSave);
    addCommand(file, kIdFileSaveAs);
    addCommand(file, kIdSaveAsBmp);
    file->addSeparator();
    // Stands in for the recent files until there are some.
    addCommand(file, kIdFileRecent1)->setEnabled(false);
    file->addSeparator();
    addCommand(file, kIdAppExit);

    QMenu* ifs = menuBar()->addMenu(QString::fromUtf8(kMenuIfs));
    addCommand(ifs, kIdParameters);

    QMenu* help = menuBar()->addMenu(QString::fromUtf8(kMenuHelp));
    addCommand(help, kIdAppAbout);

    for (QMenu* menu : {file, ifs, help}) {
        connect(menu, &QMenu::aboutToHide, this, &CMainFrame::showIdleStatusWhenMenusClose);
    }
    connect(file, &QMenu::aboutToShow, this, [this] {
        if (recentFiles_) {
            showRecentFiles(recentFiles_());
        }
    });
}

void CMainFrame::showRecentFiles(const QStringList& itemTexts) {
    using orv::res::kIdFileRecent1;
    QAction* before = nullptr;
    const QList<QAction*> items = fileMenu_->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const int id = items[i]->data().toInt();
        if (id >= kIdFileRecent1 && id < kIdFileRecent1 + orv::res::kRecentFileCount) {
            before = items.value(i + 1);  // the next item that stays: the separator
            delete items[i];
        }
    }
    if (itemTexts.isEmpty()) {
        insertCommand(fileMenu_, before, kIdFileRecent1, {})->setEnabled(false);
        return;
    }
    for (qsizetype i = 0; i < itemTexts.size() && i < orv::res::kRecentFileCount; ++i) {
        insertCommand(fileMenu_, before, kIdFileRecent1 + static_cast<int>(i), itemTexts[i]);
    }
}

void CMainFrame::OnCommand(int commandId) {
    // A render pumps events while it runs; whatever slips through its modal window (a shortcut
    // on a window that was not deactivated) must not start a second command meanwhile.
    if (progress_->isVisible()) {
        return;
    }
    // A command means the session did not end after all: what it changes is asked about again.
    questionAnswered_ = false;
    switch (commandId) {
        case orv::res::kIdParameters:
            commands_->OnParameters();
            break;
        case orv::res::kIdSaveAsBmp:
            commands_->OnSaveAsBmp();
            break;
        case orv::res::kIdFileSave:
            fileCommands_->OnFileSave();
            break;
        case orv::res::kIdFileSaveAs:
            fileCommands_->OnFileSaveAs();
            break;
        case orv::res::kIdAppExit:
            close();
            break;
        default:
            if (applicationCommands_) {
                applicationCommands_(commandId);
            }
            break;
    }
}

QAction* CMainFrame::addCommand(QMenu* menu, int commandId) {
    return insertCommand(menu, nullptr, commandId, {});
}

QAction* CMainFrame::insertCommand(QMenu* menu, QAction* before, int commandId,
                                   const QString& text) {
    // The recent files share the first one's prompt.
    const int textId = commandId > orv::res::kIdFileRecent1 &&
                               commandId < orv::res::kIdFileRecent1 + orv::res::kRecentFileCount
                           ? orv::res::kIdFileRecent1
                           : commandId;
    const orv::res::CommandText* command = findCommand(textId);
    Q_ASSERT(command != nullptr);
    auto* item = new QAction(text.isEmpty() ? QString::fromUtf8(command->caption) : text, menu);
    item->setData(commandId);
    item->setShortcut(QKeySequence(QString::fromLatin1(command->shortcut)));
    item->setStatusTip(QString::fromUtf8(command->prompt));
    menu->insertAction(before, item);
    connect(item, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    return item;
}

void CMainFrame::createStatusBar() {
    statusPane_ = new QLabel(QString::fromUtf8(orv::res::kIdleStatus), this);
    statusBar()->addWidget(statusPane_, 1);
}

void CMainFrame::showIdleStatusWhenMenusClose() {
    // Moving from one popup to the next closes the first before the second opens: wait until
    // the hand-over is done and only then decide whether the menus are closed.
    QTimer::singleShot(0, this, [this] {
        if (QApplication::activePopupWidget() == nullptr) {
            statusPane_->setText(QString::fromUtf8(orv::res::kIdleStatus));
        }
    });
}

void CMainFrame::centreOnPrimaryScreen() {
    // There is no main window yet to centre on.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

}  // namespace orv::ui
