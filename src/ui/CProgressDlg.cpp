#include "ui/CProgressDlg.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "resources/Strings.h"
#include "ui/DialogUnits.h"

namespace orv::ui {

namespace {

// Often enough to keep the windows painted and see Escape at once, rarely enough not to slow
// the render down.
constexpr qint64 kPumpIntervalMs = 30;

}  // namespace

class CProgressDlg::Reporter final : public orv::RenderProgress {
public:
    explicit Reporter(CProgressDlg& window) : window_(window) {}

    void open() override { window_.begin(); }
    void setPosition(int percent) override { window_.setPosition(percent); }
    void close() override { window_.end(); }
    bool stopRequested() override { return window_.pollForCancel(); }

private:
    CProgressDlg& window_;
};

CProgressDlg::CProgressDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      reporter_(std::make_unique<Reporter>(*this)) {
    setWindowModality(Qt::ApplicationModal);

    // Without a caption the window needs a border of its own to stand out from the one below.
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);

    setFont(dialogFont(logicalDpiY()));
    const DialogBaseUnits base = baseUnitsOf(font());
    const auto place = [base](int x, int y, int width, int height) {
        return dialogRectToPixels(QRect(x, y, width, height), base);
    };
    text_ = new QLabel(QString::fromUtf8(orv::res::kProgressText), frame);
    text_->setAlignment(Qt::AlignCenter);
    text_->setGeometry(place(6, 10, 175, 8));
    bar_ = new QProgressBar(frame);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setGeometry(place(15, 30, 155, 10));
    cancel_ = new QPushButton(QString::fromUtf8(orv::res::kCancel), frame);
    cancel_->setAutoDefault(false);  // Enter must not stop a long render by accident
    cancel_->setGeometry(place(68, 46, 50, 14));
    connect(cancel_, &QPushButton::clicked, this, &CProgressDlg::reject);

    // The template's 187 x 52 units, made taller for the Cancel button below the bar.
    setFixedSize(dialogSizeToPixels(QSize(187, 66), base));
}

CProgressDlg::~CProgressDlg() = default;

orv::RenderProgress& CProgressDlg::progress() {
    return *reporter_;
}

int CProgressDlg::position() const {
    return bar_->value();
}

void CProgressDlg::reject() {
    cancelled_ = true;
}

void CProgressDlg::begin() {
    cancelled_ = false;
    bar_->setValue(0);
    const QWidget* owner = parentWidget();
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    QCoreApplication::processEvents();
    sincePump_.start();
}

void CProgressDlg::setPosition(int percent) {
    bar_->setValue(percent);
}

void CProgressDlg::end() {
    hide();
}

bool CProgressDlg::pollForCancel() {
    if (sincePump_.elapsed() >= kPumpIntervalMs) {
        QCoreApplication::processEvents();
        sincePump_.restart();
    }
    return cancelled_;
}

}  // namespace orv::ui
