#pragma once

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QTimer>
#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "document/ParameterBlock.h"
#include "ui/CParamsDlg.h"

// Readable failure messages for the texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{' << texts.join(QStringLiteral(" | ")).toStdString() << '}';
}

namespace orv::test::params {

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAutoIterations = 1047;
inline constexpr int kIterationCount = 1048;
// In template order, which is also the order of sizeIndex.
inline constexpr std::array<int, 6> kSizeButtons = {1043, 1044, 1045, 1046, 1049, 1050};

constexpr int enabledId(int map) {
    return 2001 + map;
}
constexpr int coefficientId(int map, int index) {
    return 3001 + 6 * map + index;
}

inline const QString kNumberMessage = QStringLiteral("Please enter a number.");
inline const QString kIntegerMessage = QStringLiteral("Please enter an integer.");
inline const QString kCountRangeMessage =
    QStringLiteral("Please enter an integer between 1 and 32.");
inline const QString kCoefficientRangeMessage =
    QStringLiteral("Please enter a number between -1.7e+308 and 1.7e+308.");

// Runs the dialog modally on `block`, as the Parameters command does. `whileOpen` runs once
// the dialog is on screen and active; a dialog it leaves open is then cancelled. Returns what
// exec() returned.
inline int runDialog(orv::ParameterBlock& block,
                     const std::function<void(orv::ui::CParamsDlg&)>& whileOpen,
                     QWidget* parent = nullptr) {
    orv::ui::CParamsDlg dialog(block, parent);
    QTimer::singleShot(0, &dialog, [&dialog, &whileOpen] {
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        whileOpen(dialog);
        if (dialog.isVisible()) {
            dialog.reject();
        }
    });
    return dialog.exec();
}

template <class T = QWidget>
T* control(const orv::ui::CParamsDlg& dialog, int id) {
    auto* found = qobject_cast<T*>(dialog.control(id));
    if (found == nullptr) {
        // Better to stop the whole run with a message than to dereference null.
        qFatal("the dialog has no control %d of the expected kind", id);
    }
    return found;
}

inline QLineEdit* edit(const orv::ui::CParamsDlg& dialog, int id) {
    return control<QLineEdit>(dialog, id);
}

// Replaces the edit's text the way a user does: select all, delete, type.
inline void retype(QLineEdit* target, const QString& text) {
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Backspace);
    QTest::keyClicks(target, text);
}

// Pastes `text` at the cursor with Ctrl+V.
inline void paste(QLineEdit* target, const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
}

inline void pressOk(const orv::ui::CParamsDlg& dialog) {
    QTest::mouseClick(control(dialog, kOk), Qt::LeftButton);
}

// Field by field, coefficients by bit pattern so that -0 and 0 differ.
inline ::testing::AssertionResult sameBlock(const orv::ParameterBlock& expected,
                                            const orv::ParameterBlock& actual) {
    for (int map = 0; map < orv::kMapCount; ++map) {
        for (int index = 0; index < 6; ++index) {
            const double want = orv::coefficient(expected, map, index);
            const double got = orv::coefficient(actual, map, index);
            if (std::bit_cast<std::uint64_t>(want) != std::bit_cast<std::uint64_t>(got)) {
                return ::testing::AssertionFailure() << "map " << map << " coefficient " << index
                                                     << ": " << got << " instead of " << want;
            }
        }
        if (expected.enabled[map] != actual.enabled[map]) {
            return ::testing::AssertionFailure()
                   << "enabled[" << map << "] is " << actual.enabled[map] << " instead of "
                   << expected.enabled[map];
        }
    }
    if (expected.autoIterations != actual.autoIterations ||
        expected.iterationCount != actual.iterationCount ||
        expected.sizeIndex != actual.sizeIndex) {
        return ::testing::AssertionFailure()
               << "auto/count/size are " << actual.autoIterations << "/" << actual.iterationCount
               << "/" << actual.sizeIndex << " instead of " << expected.autoIterations << "/"
               << expected.iterationCount << "/" << expected.sizeIndex;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace orv::test::params
