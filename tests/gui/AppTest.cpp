#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "GuiTestSupport.h"
#include "app/CAboutDlg.h"
#include "app/COrvApp.h"
#include "document/ParameterBlock.h"
#include "ui/ApplicationIcon.h"
#include "ui/CMainFrame.h"
#include "ui/DocumentFileCommands.h"

namespace {

using orv::test::documentBytes;
using orv::test::FileDialogAnswers;
using orv::test::MessageLog;

QStringList asStrings(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) {
        list.append(QString::fromUtf8(text));
    }
    return list;
}

// The program in a test: its own profile and working folder, documents written there.
class App : public ::testing::Test {
protected:
    App() : current_(QDir::currentPath()) { QDir::setCurrent(work.path()); }
    ~App() override { QDir::setCurrent(current_); }

    QString writeDocument(const QString& name, const orv::ParameterBlock& block) const {
        QFile file(work.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        const std::vector<std::uint8_t> bytes = documentBytes(block);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qsizetype>(bytes.size()));
        return file.fileName();
    }
    QString document(const QString& name) const {
        return writeDocument(name, orv::defaultParameters());
    }
    void writeProfile(const QMap<QString, QVariant>& values) const {
        QSettings file(profile.file(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it) {
            file.setValue(it.key(), it.value());
        }
    }
    QStringList profileKeys() const {
        return QSettings(profile.file(), QSettings::IniFormat).allKeys();
    }
    QVariant profileValue(const QString& key) const {
        return QSettings(profile.file(), QSettings::IniFormat).value(key);
    }

    // The recent-file items as the File menu shows them when it opens.
    QStringList recentItems(orv::app::COrvApp& app) const {
        QMenu* file = app.mainFrame()->menuBar()->actions().at(0)->menu();
        emit file->aboutToShow();
        QStringList texts;
        for (const QAction* item : file->actions()) {
            const int id = item->data().toInt();
            if (id >= orv::res::kIdFileRecent1 && id < orv::res::kIdFileRecent1 + 4) {
                texts.append(item->isEnabled() ? item->text()
                                               : QStringLiteral("(grayed) ") + item->text());
            }
        }
        return texts;
    }

    orv::test::TemporaryProfile profile;
    QTemporaryDir work;
    MessageLog messages;

private:
    QString current_;
};

TEST_F(App, StartsWithANewUntitledDocumentInAShownMainFrame) {
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({}));

    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Orv"));
    EXPECT_EQ(QApplication::organizationName(), QStringLiteral("Orv"));
    EXPECT_FALSE(QApplication::windowIcon().isNull());

    const orv::COrvDoc& doc = app.document();
    EXPECT_EQ(documentBytes(doc.parameters()), documentBytes(orv::defaultParameters()));
    EXPECT_EQ(doc.picture(), nullptr);
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(doc.pathName().empty());

    const orv::ui::CMainFrame* frame = app.mainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(),
              QStringLiteral("Untitled - Программа эмуляции системы итерированных функций"));
    EXPECT_EQ(frame->statusText(), QStringLiteral("Готово"));
    EXPECT_EQ(recentItems(app), asStrings({"(grayed) Недавно открытый файл"}));
    EXPECT_EQ(app.ExitInstance(), 0);
}

TEST(AppIcon, IsTheDrawnTriangle) {
    const QIcon icon = orv::ui::applicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(64, 64).toImage();
    ASSERT_EQ(image.size(), QSize(64, 64));
    // Filled at the right angle in the bottom left, empty in the opposite corner.
    EXPECT_GT(qAlpha(image.pixel(0, 63)), 0);
    EXPECT_EQ(qAlpha(image.pixel(63, 0)), 0);
}

TEST_F(App, TheProfileIsReadAtStartAndWrittenWholeAtExitWithItsGaps) {
    const QString first = document(QStringLiteral("first.orv"));
    const QString third = document(QStringLiteral("third.orv"));
    writeProfile({{QStringLiteral("Recent File List/File1"), first},
                  {QStringLiteral("Recent File List/File3"), third},
                  {QStringLiteral("Recent File List/Stale"), QStringLiteral("x")},
                  {QStringLiteral("Settings/PreviewPages"), 2}});
    {
        orv::app::COrvApp app;
        ASSERT_TRUE(app.InitInstance({}));
        // The menu stops at the gap.
        EXPECT_EQ(recentItems(app), QStringList{QStringLiteral("&1 first.orv")});
        QFile::remove(profile.file());
        app.ExitInstance();
    }
    EXPECT_EQ(profileValue(QStringLiteral("Recent File List/File1")).toString(), first);
    EXPECT_EQ(profileValue(QStringLiteral("Recent File List/File3")).toString(), third);
    EXPECT_EQ(profileValue(QStringLiteral("Settings/PreviewPages")).toInt(), 2);
    EXPECT_EQ(profileKeys().size(), 3) << profileKeys().join(' ').toStdString();
}

TEST_F(App, FilesOpenedAreListedNewestFirstAndOpenFromTheMenu) {
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({}));
    for (const char* name : {"a.orv", "b.orv", "c&d.orv", "e.orv", "f.orv"}) {
        app.mainFrame()->fileCommands().OpenDocumentFile(document(QString::fromUtf8(name)));
    }
    EXPECT_EQ(recentItems(app), asStrings({"&1 f.orv", "&2 e.orv", "&3 c&&d.orv", "&4 b.orv"}));
    for (int id = orv::res::kIdFileRecent1; id < orv::res::kIdFileRecent1 + 4; ++id) {
        EXPECT_EQ(app.mainFrame()->action(id)->statusTip(),
                  QStringLiteral("Открыть этот документ"));
    }

    // The second item, through the menu command: it moves to the top.
    app.mainFrame()->OnCommand(orv::res::kIdFileRecent1 + 1);
    EXPECT_EQ(app.document().title(), "e.orv");
    EXPECT_EQ(recentItems(app), asStrings({"&1 e.orv", "&2 f.orv", "&3 c&&d.orv", "&4 b.orv"}));

    // Elsewhere than the working folder, the path is shown, shortened to 30 characters.
    QDir::setCurrent(QDir::rootPath());
    EXPECT_EQ(recentItems(app).value(0),
              QStringLiteral("&1 ") + orv::app::AbbreviateName(work.filePath("e.orv"), 30));
    app.ExitInstance();
}

// Only a file that fails to open leaves the list: declining the save question keeps it.
TEST_F(App, ARecentFileThatNoLongerOpensIsDroppedAfterItsMessage) {
    const QString kept = document(QStringLiteral("kept.orv"));
    const QString gone = document(QStringLiteral("gone.orv"));
    writeProfile({{QStringLiteral("Recent File List/File1"), gone},
                  {QStringLiteral("Recent File List/File2"), kept}});
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({}));
    app.document().setModified(true);
    messages.answers = {QMessageBox::Cancel};
    app.OnOpenRecentFile(1);
    EXPECT_EQ(recentItems(app), asStrings({"&1 gone.orv", "&2 kept.orv"}));

    ASSERT_TRUE(QFile::remove(gone));
    messages.answers = {QMessageBox::No};
    app.OnOpenRecentFile(0);
    EXPECT_EQ(messages.texts, (QStringList{QStringLiteral("Save changes to Untitled?"),
                                           QStringLiteral("Save changes to Untitled?"),
                                           gone + QStringLiteral(" was not found.")}));
    EXPECT_EQ(recentItems(app), asStrings({"&1 kept.orv"}));
    app.ExitInstance();
    EXPECT_EQ(profileKeys(), QStringList{QStringLiteral("Recent File List/File1")});
}

TEST_F(App, AFileOnTheCommandLineIsOpenedAndOnlyTheFirstCounts) {
    orv::ParameterBlock block = orv::defaultParameters();
    block.sizeIndex = 0;
    const QString first = writeDocument(QStringLiteral("first.orv"), block);
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({first, document(QStringLiteral("second.orv"))}));
    EXPECT_EQ(app.document().title(), "first.orv");
    ASSERT_NE(app.document().picture(), nullptr);
    EXPECT_EQ(app.document().side(), 64);
    EXPECT_TRUE(app.mainFrame()->isVisible());
    EXPECT_EQ(recentItems(app), asStrings({"&1 first.orv"}));
    EXPECT_EQ(app.ExitInstance(), 0);
}

TEST_F(App, AStartThatCannotOpenItsFileEndsAfterTheMessageAndStillWritesTheProfile) {
    const QString listed = document(QStringLiteral("listed.orv"));
    writeProfile({{QStringLiteral("Recent File List/File1"), listed}});
    QFile::remove(listed);  // the list is written back as it was read, whatever its files
    orv::app::COrvApp app;
    EXPECT_FALSE(app.InitInstance({QStringLiteral("missing.orv")}));
    EXPECT_EQ(messages.texts, QStringList{work.filePath("missing.orv") + " was not found."});
    EXPECT_EQ(app.mainFrame(), nullptr);
    QFile::remove(profile.file());
    EXPECT_EQ(app.ExitInstance(), 1);
    EXPECT_EQ(profileValue(QStringLiteral("Recent File List/File1")).toString(), listed);
}

TEST_F(App, PrintLoadsTheFileWithoutAWindowAndEnds) {
    const QString printed = document(QStringLiteral("printed.orv"));
    orv::app::COrvApp app;
    EXPECT_FALSE(app.InitInstance({QStringLiteral("-pt"), printed, QStringLiteral("printer")}));
    EXPECT_EQ(app.recentFiles()[0], printed);
    EXPECT_NE(app.document().picture(), nullptr);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(profileValue(QStringLiteral("Recent File List/File1")).toString(), printed);
}

TEST_F(App, UnregisterRemovesTheProfileSaysSoUnlessEmbeddedAndWritesNothingAtExit) {
    for (const bool embedded : {false, true}) {
        writeProfile({{QStringLiteral("Recent File List/File1"), document("x.orv")}});
        messages.texts.clear();
        orv::app::COrvApp app;
        QStringList arguments{QStringLiteral("-UNREGSERVER")};
        if (embedded) {
            arguments.append(QStringLiteral("-embedding"));
        }
        EXPECT_FALSE(app.InitInstance(arguments));
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_FALSE(QFile::exists(profile.file()));
        EXPECT_FALSE(QDir(profile.folder()).exists());
        EXPECT_EQ(messages.texts,
                  embedded ? QStringList()
                           : QStringList{QStringLiteral(
                                 "System registry entries have been removed and the INI file (if "
                                 "any) was deleted.")});
    }
}

TEST_F(App, F1ShowsTheAboutBox) {
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({}));
    QApplication::setActiveWindow(app.mainFrame());
    bool shown = false;
    orv::test::whenShown<orv::app::CAboutDlg>([&](orv::app::CAboutDlg* about) {
        shown = about->parentWidget() == app.mainFrame();
        QTest::keyClick(about, Qt::Key_Escape);
    });
    QTest::keyClick(app.mainFrame(), Qt::Key_F1);
    EXPECT_TRUE(shown);
    app.ExitInstance();
}

// The close box, Exit and the end of the session all ask about unsaved changes first.
TEST_F(App, ClosingAModifiedDocumentAsksAndCancelKeepsTheProgramRunning) {
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({}));
    app.document().setModified(true);
    messages.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(app.mainFrame()->close());
    EXPECT_TRUE(app.mainFrame()->isVisible());

    messages.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(app.QueryEndSession(true));
    EXPECT_FALSE(app.QueryEndSession(false));  // may not ask: keeps the changes

    messages.answers = {QMessageBox::No};
    app.mainFrame()->OnCommand(orv::res::kIdAppExit);
    EXPECT_FALSE(app.mainFrame()->isVisible());
    EXPECT_EQ(messages.texts, QStringList(3, QStringLiteral("Save changes to Untitled?")));
    app.ExitInstance();
}

TEST_F(App, AnAgreedSessionEndWritesTheProfileAndClosesWithoutAskingAgain) {
    orv::app::COrvApp app;
    ASSERT_TRUE(app.InitInstance({}));
    app.mainFrame()->fileCommands().OpenDocumentFile(document(QStringLiteral("doc.orv")));
    app.document().setModified(true);
    messages.answers = {QMessageBox::No};
    EXPECT_TRUE(app.QueryEndSession(true));
    EXPECT_EQ(profileValue(QStringLiteral("Recent File List/File1")).toString(),
              work.filePath(QStringLiteral("doc.orv")));
    EXPECT_TRUE(app.mainFrame()->close());
    EXPECT_EQ(messages.texts.size(), 1);

    // A session end that was called off: the next close asks again.
    app.mainFrame()->show();
    messages.answers = {QMessageBox::No};
    ASSERT_TRUE(app.QueryEndSession(true));
    app.mainFrame()->OnCommand(orv::res::kIdFileRecent1 + 3);  // any command: here an empty slot
    messages.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(app.mainFrame()->close());
    EXPECT_EQ(messages.texts.size(), 3);
    app.ExitInstance();
}

}  // namespace
