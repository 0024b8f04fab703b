#include <sys/resource.h>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>

#include "GuiTestSupport.h"
#include "export/BmpWriter.h"
#include "render/MonochromePicture.h"
#include "ui/CParamsDlg.h"
#include "ui/CProgressDlg.h"
#include "ui/DocumentCommands.h"

namespace {

using orv::test::FileDialogAnswers;
using orv::test::MessageLog;
using orv::test::OpenFrame;
using orv::ui::CParamsDlg;

// The Parameters dialog's controls, by their template ids.
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kAutoIterations = 1047;
constexpr int kIterationCount = 1048;
constexpr int kFirstCoefficient = 3001;

void click(CParamsDlg* dialog, int id) {
    auto* button = qobject_cast<QAbstractButton*>(dialog->control(id));
    ASSERT_NE(button, nullptr) << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

void type(CParamsDlg* dialog, int id, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(dialog->control(id));
    ASSERT_NE(edit, nullptr) << id;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

bool allBlack(const orv::MonochromePicture& picture) {
    for (std::uint8_t byte : picture.bits()) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

class ParametersCommand : public ::testing::Test {
protected:
    void runParameters(std::function<void(CParamsDlg*)> user) {
        orv::test::whenShown<CParamsDlg>(std::move(user));
        open.frame->documentCommands().OnParameters();
    }

    OpenFrame open;
    MessageLog messages;
};

TEST_F(ParametersCommand, OkWithoutChangesRendersAndLeavesTheDocumentUnmodified) {
    ASSERT_EQ(open.doc.picture(), nullptr);
    runParameters([](CParamsDlg* dialog) { click(dialog, kOk); });

    EXPECT_FALSE(open.doc.isModified());
    EXPECT_EQ(orv::test::documentBytes(open.doc.parameters()),
              orv::test::documentBytes(orv::defaultParameters()));
    ASSERT_NE(open.doc.picture(), nullptr);
    EXPECT_EQ(open.doc.side(), 128);
    EXPECT_TRUE(allBlack(*open.doc.picture()));
    EXPECT_TRUE(messages.texts.isEmpty());
}

// Values from a file that 15 digits do not show exactly: untouched, they come back bit for bit
// and the document stays unmodified.
TEST_F(ParametersCommand, OkKeepsUntouchedCoefficientsExactly) {
    orv::ParameterBlock& block = open.doc.parameters();
    block.maps[0] = {1.0 / 3.0, 0.1 + 0.2, -2.0 / 3.0, 1.0 / 3.0, 0.1 + 0.2, -0.0};
    block.maps[3] = {std::nextafter(0.5, 1.0), 1.0 / 7.0, 0.0, 0.7, 1e-7 / 3.0, 12345.678901234567};
    block.enabled[3] = 1;
    const orv::ParameterBlock before = block;
    runParameters([](CParamsDlg* dialog) { click(dialog, kOk); });

    EXPECT_EQ(orv::test::documentBytes(block), orv::test::documentBytes(before));
    EXPECT_FALSE(open.doc.isModified());
    EXPECT_NE(open.doc.picture(), nullptr);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(ParametersCommand, ChangingTheUnusedCountMarksModifiedThoughThePictureIsTheSame) {
    runParameters([](CParamsDlg* dialog) {
        // The count edit is disabled while the automatic count is on.
        click(dialog, kAutoIterations);
        type(dialog, kIterationCount, QStringLiteral("2"));
        click(dialog, kAutoIterations);
        click(dialog, kOk);
    });

    EXPECT_TRUE(open.doc.isModified());
    EXPECT_EQ(open.doc.parameters().iterationCount, 2);
    EXPECT_EQ(open.doc.parameters().autoIterations, 1);
    ASSERT_NE(open.doc.picture(), nullptr);
    EXPECT_TRUE(allBlack(*open.doc.picture()));
}

TEST_F(ParametersCommand, OkDoesNotClearAnEarlierModification) {
    open.doc.setModified(true);
    runParameters([](CParamsDlg* dialog) { click(dialog, kOk); });
    EXPECT_TRUE(open.doc.isModified());
    EXPECT_NE(open.doc.picture(), nullptr);
}

TEST_F(ParametersCommand, NewSizeIsRenderedAtOnce) {
    runParameters([](CParamsDlg* dialog) {
        click(dialog, kAutoIterations);
        type(dialog, kIterationCount, QStringLiteral("1"));
        type(dialog, kFirstCoefficient, QStringLiteral("0.5"));      // a
        type(dialog, kFirstCoefficient + 3, QStringLiteral("0.5"));  // d
        click(dialog, kOk);
    });
    EXPECT_TRUE(open.doc.isModified());
    ASSERT_NE(open.doc.picture(), nullptr);
    // One iteration of the halving map: the bottom-left quarter.
    const orv::MonochromePicture& picture = *open.doc.picture();
    EXPECT_TRUE(picture.isBlack(0, 0));
    EXPECT_TRUE(picture.isBlack(63, 63));
    EXPECT_FALSE(picture.isBlack(64, 63));
    EXPECT_FALSE(picture.isBlack(63, 64));
}

// Cancel after OK was refused: the refused pass has already written fields into the block,
// but the document must come out exactly as it went in.
TEST_F(ParametersCommand, CancelAfterARefusedOkRestoresTheBlockAndNeverRenders) {
    bool refusedPassWrote = false;
    runParameters([&](CParamsDlg* dialog) {
        click(dialog, kAutoIterations);
        type(dialog, kIterationCount, QStringLiteral("33"));
        click(dialog, kOk);
        // The count is stored before its range is checked.
        refusedPassWrote =
            open.doc.parameters().iterationCount == 33 && open.doc.parameters().autoIterations == 0;
        type(dialog, kIterationCount, QStringLiteral("3"));
        type(dialog, kFirstCoefficient, QStringLiteral("0.25"));
        type(dialog, kFirstCoefficient + 1, QStringLiteral("abc"));
        click(dialog, kOk);
        refusedPassWrote = refusedPassWrote && open.doc.parameters().maps[0].a == 0.25;
        click(dialog, kCancel);
    });

    EXPECT_TRUE(refusedPassWrote);
    EXPECT_EQ(messages.texts,
              (QStringList{QStringLiteral("Please enter an integer between 1 and 32."),
                           QStringLiteral("Please enter a number.")}));
    EXPECT_EQ(orv::test::documentBytes(open.doc.parameters()),
              orv::test::documentBytes(orv::defaultParameters()));
    EXPECT_FALSE(open.doc.isModified());
    EXPECT_EQ(open.doc.picture(), nullptr);
}

// Opening the dialog clears flags outside 0..2 in the block itself; a cancelled run undoes
// what the user did after that, not the clearing.
TEST_F(ParametersCommand, CancelKeepsTheFlagsTheDialogClearedOnOpening) {
    orv::ParameterBlock& block = open.doc.parameters();
    block.enabled[2] = 5;
    block.autoIterations = -3;
    block.iterationCount = 7;
    runParameters([](CParamsDlg* dialog) {
        type(dialog, kFirstCoefficient, QStringLiteral("0.25"));
        type(dialog, kFirstCoefficient + 1, QStringLiteral("x"));
        click(dialog, kOk);  // refused at b, after a = 0.25 was written
        click(dialog, kCancel);
    });
    orv::ParameterBlock expected = orv::defaultParameters();
    expected.autoIterations = 0;
    expected.iterationCount = 7;
    EXPECT_EQ(orv::test::documentBytes(block), orv::test::documentBytes(expected));
    EXPECT_FALSE(open.doc.isModified());
    EXPECT_EQ(open.doc.picture(), nullptr);
}

TEST_F(ParametersCommand, EscapeKeepsTheOldPicture) {
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    const orv::MonochromePicture* before = open.doc.picture();
    runParameters([](CParamsDlg* dialog) {
        type(dialog, kFirstCoefficient, QStringLiteral("0.5"));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(open.doc.picture(), before);
    EXPECT_EQ(open.doc.parameters().maps[0].a, 1.0);
    EXPECT_FALSE(open.doc.isModified());
}

// The picture and the parameters always go together: a render stopped after OK takes back
// what the dialog accepted, the modified flag included.
TEST_F(ParametersCommand, CancelledRenderAfterOkLeavesTheDocumentAsItWas) {
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    const orv::MonochromePicture* before = open.doc.picture();
    // A render long enough to be stopped.
    open.doc.parameters() = orv::test::largeBlock();
    orv::ui::CProgressDlg* progress = &open.frame->progressWindow();
    orv::test::whenNextShown(progress, [progress] { QTest::keyClick(progress, Qt::Key_Escape); });
    runParameters([](CParamsDlg* dialog) {
        type(dialog, kFirstCoefficient, QStringLiteral("0.25"));
        click(dialog, kOk);
    });
    EXPECT_EQ(open.doc.picture(), before);
    EXPECT_EQ(open.doc.side(), 128);
    EXPECT_EQ(orv::test::documentBytes(open.doc.parameters()),
              orv::test::documentBytes(orv::test::largeBlock()));
    EXPECT_FALSE(open.doc.isModified());
}

class SaveAsBmpCommand : public ::testing::Test {
protected:
    QString pathIn(const QString& name) const { return QDir(directory.path()).filePath(name); }

    QByteArray contentsOf(const QString& path) const {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    void write(const QString& path, const QByteArray& bytes) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void exportPicture() { open.frame->documentCommands().OnSaveAsBmp(); }

    OpenFrame open;
    MessageLog messages;
    QTemporaryDir directory;
};

TEST_F(SaveAsBmpCommand, WithoutAPictureNothingHappensAtAll) {
    FileDialogAnswers answers(pathIn(QStringLiteral("picture.bmp")));
    exportPicture();
    EXPECT_TRUE(answers.requests.empty());
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_FALSE(QFile::exists(pathIn(QStringLiteral("picture.bmp"))));
}

TEST_F(SaveAsBmpCommand, WritesThePictureAsBmp) {
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    const QString path = pathIn(QStringLiteral("picture.bmp"));
    FileDialogAnswers answers(path);
    exportPicture();

    ASSERT_EQ(answers.requests.size(), 1u);
    const auto& request = answers.requests.front();
    EXPECT_EQ(request.mode, orv::ui::FileDialog::Mode::save);
    EXPECT_EQ(request.nameFilters, (QStringList{QStringLiteral("Файлы Windows Bitmap (*.bmp)"),
                                                QStringLiteral("Все файлы (*.*)")}));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("bmp"));

    const std::vector<std::uint8_t> expected = orv::encodeBmp(*open.doc.picture());
    const QByteArray written = contentsOf(path);
    ASSERT_EQ(written.size(), 62 + 128 * 128 / 8);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(expected.data()),
                         static_cast<qsizetype>(expected.size())),
              written);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_FALSE(open.doc.isModified());
}

TEST_F(SaveAsBmpCommand, CancelledDialogWritesNothing) {
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    FileDialogAnswers answers(QString{});
    exportPicture();
    EXPECT_EQ(answers.requests.size(), 1u);
    EXPECT_TRUE(QDir(directory.path()).isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(SaveAsBmpCommand, MissingFolderIsReported) {
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    const QString path = pathIn(QStringLiteral("no such folder/picture.bmp"));
    FileDialogAnswers answers(path);
    exportPicture();
    EXPECT_EQ(messages.texts, QStringList{path + QStringLiteral(" was not found.")});
}

// A write that fails part-way (here: the file-size limit, which holds even for root) is
// reported with the file error's text and leaves the file that was there as it was.
TEST_F(SaveAsBmpCommand, FailedWriteIsReportedAndTheOldFileSurvives) {
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    const QString path = pathIn(QStringLiteral("old.bmp"));
    const QByteArray old("the old picture");
    write(path, old);
    FileDialogAnswers answers(path);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;  // the BMP of 128 x 128 is 2110 bytes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    exportPicture();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Disk full while accessing ") + path +
                                          QStringLiteral(".")});
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.bmp")});
}

}  // namespace
