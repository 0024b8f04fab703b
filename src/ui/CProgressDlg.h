#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <atomic>
#include <memory>

#include "render/RenderProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orv::ui {

// The small captionless window that stands for a running render: a line of text, a bar from 0 to
// 100 and a Cancel button. The render runs on the GUI thread and polls this window, which is
// when events get pumped; the window is application-modal while it is up, so nothing but the
// repaints and its own Cancel can happen meanwhile.
class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* owner = nullptr);
    ~CProgressDlg() override;

    // What a render reports to. (QWidget's own open() and close() mean something else, so the
    // progress interface is a separate object.)
    orv::RenderProgress& progress();

    int position() const;

public slots:
    // Escape, the Cancel button and a close request stop the render; the window itself goes
    // away only when the render closes it.
    void reject() override;

private:
    class Reporter;

    void begin();
    void setPosition(int percent);
    void end();
    bool pollForCancel();

    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::atomic<bool> cancelled_{false};
    QElapsedTimer sincePump_;
    std::unique_ptr<Reporter> reporter_;
};

}  // namespace orv::ui
