#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "document/COrvDoc.h"
#include "document/ParameterBlock.h"
#include "document/ParameterFile.h"
#include "resources/Strings.h"
#include "ui/CMainFrame.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"

namespace orv::test {

// Where the test run keeps profiles: a temporary folder that main() sets up, so that no test
// ever reads or writes the user's own.
inline QString& runConfigFolder() {
    static QString folder;
    return folder;
}

// Profiles go to a fresh folder of their own while this lives.
class TemporaryProfile {
public:
    TemporaryProfile() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
    }
    ~TemporaryProfile() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, runConfigFolder());
    }
    TemporaryProfile(const TemporaryProfile&) = delete;
    TemporaryProfile& operator=(const TemporaryProfile&) = delete;

    QString path(const QString& name = {}) const {
        return name.isEmpty() ? folder_.path() : folder_.filePath(name);
    }
    QString folder() const { return path(QStringLiteral("Orv")); }
    QString file() const { return path(QStringLiteral("Orv/Orv.conf")); }

private:
    QTemporaryDir folder_;
};

// The running program in miniature: a new untitled document and its main frame, on screen.
struct OpenFrame {
    OpenFrame() {
        doc.ResetToDefaults();
        doc.setTitle(orv::res::kUntitled);
        frame = std::make_unique<orv::ui::CMainFrame>(doc);
        frame->show();
        QApplication::setActiveWindow(frame.get());
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(frame.get());
    }

    orv::COrvDoc doc;
    std::unique_ptr<orv::ui::CMainFrame> frame;
};

// A block with no map enabled, `iterations` explicit iterations and side 64 << sizeIndex.
inline orv::ParameterBlock emptyBlock(int sizeIndex, std::int32_t iterations) {
    orv::ParameterBlock block;
    block.sizeIndex = sizeIndex;
    block.autoIterations = 0;
    block.iterationCount = iterations;
    return block;
}

inline void setMap(orv::ParameterBlock& block, int k, orv::AffineMap map) {
    block.maps[k] = map;
    block.enabled[k] = 1;
}

// A render at the largest side with every map: whatever it makes differs from a smaller
// picture already in the document.
inline orv::ParameterBlock largeBlock() {
    orv::ParameterBlock block = emptyBlock(5, 32);
    for (int k = 0; k < orv::kMapCount; ++k) {
        setMap(block, k, {0.5, 0.0, 0.0, 0.5, 0.05 * k, 0.08 * k});
    }
    return block;
}

// Answers every message box and keeps the texts; restores the real box when it goes. The
// answers queued in `answers` are given first, OK after them.
class MessageLog {
public:
    MessageLog() {
        orv::ui::MessageBox::setAnswerer([this](const QString& text, auto) {
            texts.append(text);
            if (answers.empty()) {
                return QMessageBox::Ok;
            }
            const QMessageBox::StandardButton answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~MessageLog() { orv::ui::MessageBox::setAnswerer({}); }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList texts;
    std::deque<QMessageBox::StandardButton> answers;
};

// Answers every file dialog with `answer` and keeps the requests.
class FileDialogAnswers {
public:
    explicit FileDialogAnswers(QString answer) : answer_(std::move(answer)) {
        orv::ui::FileDialog::setAnswerer([this](const orv::ui::FileDialog::Request& request) {
            requests.push_back(request);
            return answer_;
        });
    }
    ~FileDialogAnswers() { orv::ui::FileDialog::setAnswerer({}); }
    FileDialogAnswers(const FileDialogAnswers&) = delete;
    FileDialogAnswers& operator=(const FileDialogAnswers&) = delete;

    std::vector<orv::ui::FileDialog::Request> requests;

private:
    QString answer_;
};

// The bytes a document file of `block` holds: blocks compare through them, never through
// their memory with its padding.
inline std::vector<std::uint8_t> documentBytes(const orv::ParameterBlock& block) {
    orv::Archive archive = orv::Archive::forStoring();
    orv::storeParameters(block, archive);
    return archive.bytes();
}

// The first visible top-level widget of type T, or null.
template <class T>
T* visibleWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* wanted = qobject_cast<T*>(widget); wanted != nullptr && wanted->isVisible()) {
            return wanted;
        }
    }
    return nullptr;
}

namespace detail {
template <class T>
void watchFor(std::function<void(T*)> action, int timeoutMs, bool required) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs, required] {
        T* found = visibleWindow<T>();
        if (found == nullptr && clock->elapsed() < timeoutMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (found != nullptr) {
            action(found);
        } else if (required) {
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " was shown";
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        }
    });
    timer->start(5);
}
}  // namespace detail

// Runs `action` on the first visible top-level widget of type T once one shows up: for modal
// windows whose exec() or render would otherwise block the test (their event loop runs the
// polling). If none shows up in time the test fails and any modal window is closed, so that
// a broken test cannot hang.
template <class T>
void whenShown(std::function<void(T*)> action, int timeoutMs = 10000) {
    detail::watchFor<T>(std::move(action), timeoutMs, true);
}

// The same for a window that should not appear: runs `action` if it does within the time.
template <class T>
void ifShown(std::function<void(T*)> action, int timeoutMs) {
    detail::watchFor<T>(std::move(action), timeoutMs, false);
}

// Runs `action` once, from the event loop, right after `window` is next shown. A render pumps
// events as soon as its progress window is up, so the action runs while the render is going,
// however fast the renderer.
inline void whenNextShown(QWidget* window, std::function<void()> action) {
    class ShowWatcher : public QObject {
    public:
        ShowWatcher(QWidget* watched, std::function<void()> onShow)
            : QObject(watched), onShow_(std::move(onShow)) {
            watched->installEventFilter(this);
        }

        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && onShow_) {
                watched->removeEventFilter(this);
                QTimer::singleShot(0, watched, std::exchange(onShow_, {}));
                deleteLater();
            }
            return false;
        }

    private:
        std::function<void()> onShow_;
    };
    new ShowWatcher(window, std::move(action));
}

}  // namespace orv::test
