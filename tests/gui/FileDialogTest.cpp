#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTemporaryDir>

#include "GuiTestSupport.h"
#include "ui/FileDialog.h"

namespace {

using orv::ui::FileDialog;

const QStringList kBmpFilters = {QStringLiteral("Файлы Windows Bitmap (*.bmp)"),
                                 QStringLiteral("Все файлы (*.*)")};

QString askToSave() {
    return FileDialog::ask(nullptr,
                           {FileDialog::Mode::save, kBmpFilters, QStringLiteral("bmp"), {}, {}});
}

// What the user sees in the dialog's list of file types.
QStringList shownFilters(QFileDialog* dialog) {
    QStringList shown;
    const auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; types != nullptr && i < types->count(); ++i) {
        shown.append(types->itemText(i));
    }
    return shown;
}

// The real dialog, driven as a user would: the seam must hand it the filters, the default
// suffix and the overwrite question.
class RealFileDialog : public ::testing::Test {
protected:
    QString pathIn(const QString& name) const { return QDir(directory.path()).filePath(name); }

    QTemporaryDir directory;
};

TEST_F(RealFileDialog, SavingOffersTheFiltersAndAddsTheDefaultSuffix) {
    QStringList offered;
    orv::test::whenShown<QFileDialog>([&](QFileDialog* dialog) {
        offered = shownFilters(dialog);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->setDirectory(directory.path());
        dialog->selectFile(QStringLiteral("picture"));
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const QString chosen = askToSave();
    EXPECT_EQ(offered, kBmpFilters);
    EXPECT_EQ(QFileInfo(chosen).absoluteFilePath(),
              QFileInfo(pathIn(QStringLiteral("picture.bmp"))).absoluteFilePath());
}

TEST_F(RealFileDialog, SavingOverAnExistingFileAsksFirst) {
    const QString existing = pathIn(QStringLiteral("old.bmp"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    bool asked = false;
    orv::test::whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(directory.path());
        orv::test::whenShown<QMessageBox>([&](QMessageBox* question) {
            asked = true;
            question->button(QMessageBox::No)->click();
            // Declining the replacement leaves the file dialog open; give up there too.
            orv::test::whenShown<QFileDialog>([](QFileDialog* stillOpen) { stillOpen->reject(); });
        });
        dialog->selectFile(QStringLiteral("old.bmp"));
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const QString chosen = askToSave();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(chosen.isEmpty());
}

// "*.*" is shown as it is written but lists every file, names without a dot as well.
TEST_F(RealFileDialog, OpeningShowsTitleAndFiltersAndAllFilesMeansAll) {
    FileDialog::Request request{
        FileDialog::Mode::open,
        {QStringLiteral("Файлы параметров СИФ (*.orv)"), QStringLiteral("All Files (*.*)")},
        QStringLiteral("orv"),
        QStringLiteral("Open"),
        {}};
    QStringList shown;
    QString title;
    QStringList firstPatterns;
    QStringList allPatterns;
    orv::test::whenShown<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        shown = shownFilters(dialog);
        const auto* model = dialog->findChild<QFileSystemModel*>();
        firstPatterns = model != nullptr ? model->nameFilters() : QStringList();
        dialog->selectNameFilter(dialog->nameFilters().value(1));
        allPatterns = model != nullptr ? model->nameFilters() : QStringList();
        dialog->reject();
    });
    EXPECT_TRUE(FileDialog::ask(nullptr, request).isEmpty());
    EXPECT_EQ(title, QStringLiteral("Open"));
    EXPECT_EQ(shown, request.nameFilters);
    EXPECT_EQ(firstPatterns, QStringList{QStringLiteral("*.orv")});
    EXPECT_EQ(allPatterns, QStringList{QStringLiteral("*")});
}

TEST_F(RealFileDialog, SavingStartsAtTheProposedName) {
    const QString proposed = pathIn(QStringLiteral("fern.orv"));
    QString title;
    QString folder;
    orv::test::whenShown<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString chosen =
        FileDialog::ask(nullptr, {FileDialog::Mode::save, kBmpFilters, QStringLiteral("orv"),
                                  QStringLiteral("Save As"), proposed});
    EXPECT_EQ(title, QStringLiteral("Save As"));
    EXPECT_EQ(folder, QDir(directory.path()).absolutePath());
    EXPECT_EQ(QFileInfo(chosen).absoluteFilePath(), QFileInfo(proposed).absoluteFilePath());
}

TEST(FileDialogFilters, OnlyTheCatchAllPatternIsWidened) {
    EXPECT_EQ(FileDialog::matchingFilter(QStringLiteral("All Files (*.*)")),
              QStringLiteral("All Files (*.*) (*)"));
    EXPECT_EQ(FileDialog::matchingFilter(QStringLiteral("Файлы (*.orv)")),
              QStringLiteral("Файлы (*.orv) (*.orv)"));
    EXPECT_EQ(FileDialog::matchingFilter(QStringLiteral("Pictures (*.bmp *.*)")),
              QStringLiteral("Pictures (*.bmp *.*) (*.bmp *)"));
    EXPECT_EQ(FileDialog::matchingFilter(QStringLiteral("no patterns")),
              QStringLiteral("no patterns"));
}

TEST_F(RealFileDialog, CancelGivesAnEmptyName) {
    orv::test::whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(askToSave().isEmpty());
}

}  // namespace
