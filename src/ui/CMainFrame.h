#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace orv {
class COrvDoc;
}

namespace orv::ui {

class COrvView;
class CProgressDlg;
class DocumentCommands;
class DocumentFileCommands;

// The one top-level window: menu, a status bar with one stretching pane, and the view. It wires
// the document to the view (redraws), to the caption (titles) and to the progress window
// (renders) for as long as it lives, and routes the menu commands to their handlers: the
// document's own here, the application's (New, Open, the recent files, About) to the handler
// the application installs.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(orv::COrvDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The menu item that bears a command id; null for an unknown id.
    QAction* action(int commandId) const;

    COrvView& view() const { return *view_; }
    CProgressDlg& progressWindow() const { return *progress_; }
    DocumentCommands& documentCommands() const { return *commands_; }
    DocumentFileCommands& fileCommands() const { return *fileCommands_; }

    // Where the commands the frame does not handle itself go.
    void setApplicationCommandHandler(std::function<void(int commandId)> handler) {
        applicationCommands_ = std::move(handler);
    }
    // Asked for the recent-file items ("&1 name", ...) each time the File menu opens.
    void setRecentFileSource(std::function<QStringList()> source) {
        recentFiles_ = std::move(source);
    }
    // Shows these items in place of the recent-file placeholder, or the grayed placeholder
    // when there are none; item i bears the command of recent file i.
    void showRecentFiles(const QStringList& itemTexts);

    // The session is ending and its question has been answered: close without asking again,
    // unless another command comes first.
    void closeWithoutQuestions() { questionAnswered_ = true; }

    // What the status pane shows now.
    QString statusText() const;

    // Carries out a menu command; refused while a render is running.
    void OnCommand(int commandId);

    // "<document title> - <window title>"; call when the document's title changes.
    void OnUpdateFrameTitle();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createStatusBar();
    void centreOnPrimaryScreen();
    QAction* addCommand(QMenu* menu, int commandId);
    QAction* insertCommand(QMenu* menu, QAction* before, int commandId, const QString& text);
    void showIdleStatusWhenMenusClose();

    orv::COrvDoc& doc_;
    COrvView* view_ = nullptr;
    CProgressDlg* progress_ = nullptr;
    QLabel* statusPane_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    std::unique_ptr<DocumentCommands> commands_;
    std::unique_ptr<DocumentFileCommands> fileCommands_;
    std::function<void(int)> applicationCommands_;
    std::function<QStringList()> recentFiles_;
    bool questionAnswered_ = false;
};

}  // namespace orv::ui
