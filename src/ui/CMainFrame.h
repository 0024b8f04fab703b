#pragma once

#include <QMainWindow>
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

// The one top-level window: menu, a status bar with one stretching pane, and the view. It wires
// the document to the view (redraws) and to the progress window (renders) for as long as it
// lives, and routes the menu commands to their handlers.
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
    void showIdleStatusWhenMenusClose();

    orv::COrvDoc& doc_;
    COrvView* view_ = nullptr;
    CProgressDlg* progress_ = nullptr;
    QLabel* statusPane_ = nullptr;
    std::unique_ptr<DocumentCommands> commands_;
};

}  // namespace orv::ui
