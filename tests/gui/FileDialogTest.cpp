#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>

#include "GuiTestSupport.h"
#include "ui/FileDialog.h"

namespace {

using orv::ui::FileDialog;

const QStringList kBmpFilters = {QStringLiteral("Файлы Windows Bitmap (*.bmp)"),
                                 QStringLiteral("Все файлы (*.*)")};

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
        offered = dialog->nameFilters();
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->setDirectory(directory.path());
        dialog->selectFile(QStringLiteral("picture"));
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const QString chosen = FileDialog::getSaveFileName(nullptr, kBmpFilters, QStringLiteral("bmp"));
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
    const QString chosen = FileDialog::getSaveFileName(nullptr, kBmpFilters, QStringLiteral("bmp"));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(chosen.isEmpty());
}

TEST_F(RealFileDialog, CancelGivesAnEmptyName) {
    orv::test::whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(FileDialog::getSaveFileName(nullptr, kBmpFilters, QStringLiteral("bmp")).isEmpty());
}

}  // namespace
