#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

#include "GuiTestSupport.h"
#include "app/COrvApp.h"
#include "export/BmpWriter.h"
#include "render/MonochromePicture.h"
#include "ui/CProgressDlg.h"
#include "ui/DocumentCommands.h"
#include "ui/DocumentFileCommands.h"

namespace {

using orv::test::documentBytes;
using orv::test::FileDialogAnswers;
using orv::test::MessageLog;
using orv::test::OpenFrame;
using orv::ui::OpenOutcome;

const QString kWindowTitle = QStringLiteral("Программа эмуляции системы итерированных функций");

// Sierpinski's triangle at 64 pixels: quick, and unlike the defaults.
orv::ParameterBlock triangle() {
    orv::ParameterBlock block = orv::test::emptyBlock(0, 8);
    orv::test::setMap(block, 0, {0.5, 0, 0, 0.5, 0, 0});
    orv::test::setMap(block, 1, {0.5, 0, 0, 0.5, 0.5, 0});
    orv::test::setMap(block, 2, {0.5, 0, 0, 0.5, 0, 0.5});
    return block;
}

QByteArray asBytes(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

// Holds the file-size limit below `bytes` for its lifetime (it binds root too); the signal
// the limit raises is ignored, so that writes fail with EFBIG instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

class FileCommands : public ::testing::Test {
protected:
    FileCommands() {
        commands().setRecentFileAdder([this](const QString& path) { recent.append(path); });
    }

    orv::ui::DocumentFileCommands& commands() { return open.frame->fileCommands(); }
    orv::COrvDoc& doc() { return open.doc; }

    // Joined by hand: QDir would take a name starting with ':' for a resource.
    QString pathIn(const QString& name) const { return directory.path() + QLatin1Char('/') + name; }
    QString write(const QString& name, const QByteArray& bytes) const {
        QFile file(pathIn(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QString writeDocument(const QString& name, const orv::ParameterBlock& block) const {
        return write(name, asBytes(documentBytes(block)));
    }
    static QByteArray contentsOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    QStringList filesLeft() const {
        return QDir(directory.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    QString docPath() { return QString::fromStdString(doc().pathName()); }
    QString caption() const { return open.frame->windowTitle(); }

    // An edited document that came from `name`: parameters changed, picture rendered.
    void editedDocumentFrom(const QString& name) {
        ASSERT_EQ(commands().OpenDocumentFile(writeDocument(name, triangle())),
                  OpenOutcome::opened);
        doc().parameters().maps[0].a = 0.25;
        doc().setModified(true);
    }

    OpenFrame open;
    MessageLog messages;
    QTemporaryDir directory;
    QStringList recent;
};

TEST_F(FileCommands, SavingANewDocumentProposesUntitledAndNamesTheDocumentAfterTheFile) {
    const QString chosen = pathIn(QStringLiteral("fern.orv"));
    FileDialogAnswers answers(chosen);
    ASSERT_TRUE(commands().OnFileSave());

    ASSERT_EQ(answers.requests.size(), 1u);
    const auto& request = answers.requests.front();
    EXPECT_EQ(request.mode, orv::ui::FileDialog::Mode::save);
    EXPECT_EQ(request.title, QStringLiteral("Save As"));
    EXPECT_EQ(request.initialPath, QStringLiteral("Untitled.orv"));
    EXPECT_EQ(request.nameFilters, (QStringList{QStringLiteral("Файлы параметров СИФ (*.orv)"),
                                                QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("orv"));

    EXPECT_EQ(contentsOf(chosen), asBytes(documentBytes(orv::defaultParameters())));
    EXPECT_EQ(docPath(), chosen);
    EXPECT_EQ(caption(), QStringLiteral("fern.orv - ") + kWindowTitle);
    EXPECT_FALSE(doc().isModified());
    EXPECT_EQ(recent, QStringList{chosen});
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(FileCommands, SaveAsProposesTheDocumentsOwnPathAndSaveWritesThereWithoutAsking) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    FileDialogAnswers answers(pathIn(QStringLiteral("copy.orv")));
    ASSERT_TRUE(commands().OnFileSave());
    EXPECT_TRUE(answers.requests.empty());
    EXPECT_EQ(contentsOf(path), asBytes(documentBytes(doc().parameters())));

    ASSERT_TRUE(commands().OnFileSaveAs());
    ASSERT_EQ(answers.requests.size(), 1u);
    EXPECT_EQ(answers.requests.front().initialPath, path);
    EXPECT_EQ(docPath(), pathIn(QStringLiteral("copy.orv")));
    // Every successful save puts its file on top of the recent files.
    EXPECT_EQ(recent, (QStringList{path, path, pathIn(QStringLiteral("copy.orv"))}));
}

TEST_F(FileCommands, OpeningLoadsRendersAndNamesTheDocument) {
    const QString path = writeDocument(QStringLiteral("tri"), triangle());  // any extension
    EXPECT_EQ(commands().OpenDocumentFile(path), OpenOutcome::opened);

    EXPECT_EQ(documentBytes(doc().parameters()), documentBytes(triangle()));
    ASSERT_NE(doc().picture(), nullptr);
    EXPECT_EQ(doc().side(), 64);
    EXPECT_TRUE(doc().picture()->isBlack(0, 0));
    EXPECT_FALSE(doc().picture()->isBlack(63, 63));
    EXPECT_EQ(docPath(), path);
    EXPECT_EQ(caption(), QStringLiteral("tri - ") + kWindowTitle);
    EXPECT_FALSE(doc().isModified());
    EXPECT_EQ(recent, QStringList{path});
}

TEST_F(FileCommands, TheOpenDialogAsksForAnExistingDocumentAndItsCancelAsksNothing) {
    doc().setModified(true);
    FileDialogAnswers answers(QString{});
    commands().OnFileOpen();
    ASSERT_EQ(answers.requests.size(), 1u);
    EXPECT_EQ(answers.requests.front().mode, orv::ui::FileDialog::Mode::open);
    EXPECT_EQ(answers.requests.front().title, QStringLiteral("Open"));
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE(doc().isModified());
}

// Quotes, relative names and symbolic links all name the document's own file: it is not read
// again and nothing is asked, even with unsaved changes.
TEST_F(FileCommands, TheDocumentsOwnFileIsNeitherAskedAboutNorReadAgain) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    ASSERT_TRUE(QFile::link(path, pathIn(QStringLiteral("link.orv"))));
    const QString current = QDir::currentPath();
    QDir::setCurrent(directory.path());
    const QStringList names = {path, QLatin1Char('"') + path + QLatin1Char('"'),
                               QStringLiteral("tri.orv"), QStringLiteral("./x/../tri.orv"),
                               pathIn(QStringLiteral("link.orv"))};
    for (const QString& name : names) {
        EXPECT_EQ(commands().OpenDocumentFile(name), OpenOutcome::opened) << name.toStdString();
    }
    QDir::setCurrent(current);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(doc().parameters().maps[0].a, 0.25);
    EXPECT_TRUE(doc().isModified());
    EXPECT_EQ(recent, QStringList{path});
}

// To Qt a name starting with ':' is a resource; here it is a file like any other, and a
// relative one is kept with its folder.
TEST_F(FileCommands, ARelativeNameStartingWithAColonIsAFileInTheCurrentFolder) {
    const QString path = writeDocument(QStringLiteral(":tri.orv"), triangle());
    const QString current = QDir::currentPath();
    QDir::setCurrent(directory.path());
    const OpenOutcome outcome = commands().OpenDocumentFile(QStringLiteral(":tri.orv"));
    QDir::setCurrent(current);
    EXPECT_EQ(outcome, OpenOutcome::opened);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(docPath(), path);
    EXPECT_EQ(doc().title(), ":tri.orv");
    EXPECT_EQ(recent, QStringList{path});
}

TEST_F(FileCommands, ASymbolicLinkOpensTheFileItPointsTo) {
    const QString target = writeDocument(QStringLiteral("target.orv"), triangle());
    ASSERT_TRUE(QFile::link(target, pathIn(QStringLiteral("link.orv"))));
    EXPECT_EQ(commands().OpenDocumentFile(pathIn(QStringLiteral("link.orv"))), OpenOutcome::opened);
    EXPECT_EQ(docPath(), target);
    EXPECT_EQ(caption(), QStringLiteral("target.orv - ") + kWindowTitle);
}

TEST_F(FileCommands, TheSaveQuestionNamesTheFileAndItsAnswersDecide) {
    const QString other = writeDocument(QStringLiteral("other.orv"), orv::defaultParameters());

    // Cancel: nothing happens.
    editedDocumentFrom(QStringLiteral("tri.orv"));
    messages.answers = {QMessageBox::Cancel};
    EXPECT_EQ(commands().OpenDocumentFile(other), OpenOutcome::declined);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Save changes to tri.orv?")});
    EXPECT_EQ(docPath(), pathIn(QStringLiteral("tri.orv")));
    EXPECT_TRUE(doc().isModified());

    // No: the changes are dropped and the other file opens.
    messages.answers = {QMessageBox::No};
    EXPECT_EQ(commands().OpenDocumentFile(other), OpenOutcome::opened);
    EXPECT_EQ(contentsOf(pathIn(QStringLiteral("tri.orv"))), asBytes(documentBytes(triangle())));
    EXPECT_EQ(docPath(), other);

    // Yes: saved first, then the other file opens.
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const std::vector<std::uint8_t> edited = documentBytes(doc().parameters());
    messages.answers = {QMessageBox::Yes};
    EXPECT_EQ(commands().OpenDocumentFile(other), OpenOutcome::opened);
    EXPECT_EQ(contentsOf(pathIn(QStringLiteral("tri.orv"))), asBytes(edited));
    EXPECT_EQ(docPath(), other);
}

TEST_F(FileCommands, YesForAnUntitledDocumentAsksForANameAndItsCancelCancelsTheNew) {
    ASSERT_EQ(doc().Render(), orv::RenderOutcome::completed);
    doc().setModified(true);
    const orv::MonochromePicture* picture = doc().picture();
    FileDialogAnswers answers(QString{});
    messages.answers = {QMessageBox::Yes};
    EXPECT_FALSE(commands().OnFileNew());
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Save changes to Untitled?")});
    EXPECT_EQ(answers.requests.size(), 1u);
    EXPECT_EQ(doc().picture(), picture);
    EXPECT_TRUE(doc().isModified());

    messages.answers = {QMessageBox::No};
    EXPECT_TRUE(commands().OnFileNew());
    EXPECT_EQ(doc().picture(), nullptr);
    EXPECT_FALSE(doc().isModified());
    EXPECT_EQ(caption(), QStringLiteral("Untitled - ") + kWindowTitle);
}

TEST_F(FileCommands, NewAfterAFileForgetsItsNameAndParameters) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    doc().setModified(false);
    EXPECT_TRUE(commands().OnFileNew());
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE(docPath().isEmpty());
    EXPECT_EQ(documentBytes(doc().parameters()), documentBytes(orv::defaultParameters()));
    EXPECT_EQ(doc().picture(), nullptr);
    EXPECT_EQ(caption(), QStringLiteral("Untitled - ") + kWindowTitle);
}

TEST_F(FileCommands, AZeroLengthFileIsTakenWithoutReading) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const std::vector<std::uint8_t> edited = documentBytes(doc().parameters());
    const orv::MonochromePicture* picture = doc().picture();
    const QString empty = write(QStringLiteral("empty.orv"), {});
    messages.answers = {QMessageBox::No};
    EXPECT_EQ(commands().OpenDocumentFile(empty), OpenOutcome::opened);
    EXPECT_EQ(documentBytes(doc().parameters()), edited);
    EXPECT_EQ(doc().picture(), picture);
    EXPECT_EQ(docPath(), empty);
    EXPECT_FALSE(doc().isModified());
}

// A short file has overwritten part of the block by the time it fails: the document becomes
// a new one.
TEST_F(FileCommands, AShortFileIsReportedAndLeavesANewUntitledDocument) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    doc().setModified(false);
    const QByteArray bytes = asBytes(documentBytes(triangle()));
    const QString shortFile = write(QStringLiteral("short.orv"), bytes.left(323));
    EXPECT_EQ(commands().OpenDocumentFile(shortFile), OpenOutcome::failed);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Unexpected file format.")});
    EXPECT_EQ(documentBytes(doc().parameters()), documentBytes(orv::defaultParameters()));
    EXPECT_EQ(doc().picture(), nullptr);
    EXPECT_TRUE(docPath().isEmpty());
    EXPECT_EQ(caption(), QStringLiteral("Untitled - ") + kWindowTitle);
    EXPECT_FALSE(doc().isModified());
    EXPECT_EQ(recent, QStringList{pathIn(QStringLiteral("tri.orv"))});
}

// A file that cannot be read leaves everything as it was, the modified flag included.
TEST_F(FileCommands, AFileThatCannotBeReadChangesNothing) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const std::vector<std::uint8_t> edited = documentBytes(doc().parameters());
    const orv::MonochromePicture* picture = doc().picture();
    ASSERT_TRUE(QDir(directory.path()).mkdir(QStringLiteral("folder.orv")));
    const QString missing = pathIn(QStringLiteral("missing.orv"));
    const QString folder = pathIn(QStringLiteral("folder.orv"));

    messages.answers = {QMessageBox::No, QMessageBox::Ok, QMessageBox::No, QMessageBox::Ok};
    EXPECT_EQ(commands().OpenDocumentFile(missing), OpenOutcome::failed);
    EXPECT_EQ(commands().OpenDocumentFile(folder), OpenOutcome::failed);
    EXPECT_EQ(messages.texts, (QStringList{QStringLiteral("Save changes to tri.orv?"),
                                           missing + QStringLiteral(" was not found."),
                                           QStringLiteral("Save changes to tri.orv?"),
                                           QStringLiteral("Access to ") + folder +
                                               QStringLiteral(" was denied.")}));
    EXPECT_EQ(documentBytes(doc().parameters()), edited);
    EXPECT_EQ(doc().picture(), picture);
    EXPECT_EQ(docPath(), pathIn(QStringLiteral("tri.orv")));
    EXPECT_EQ(caption(), QStringLiteral("tri.orv - ") + kWindowTitle);
    EXPECT_TRUE(doc().isModified());
}

TEST_F(FileCommands, AFileNamingNoPictureSizeIsNotADocument) {
    orv::ParameterBlock block = triangle();
    block.sizeIndex = 6;
    EXPECT_EQ(commands().OpenDocumentFile(writeDocument(QStringLiteral("big.orv"), block)),
              OpenOutcome::failed);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Unexpected file format.")});
    EXPECT_TRUE(docPath().isEmpty());
}

TEST_F(FileCommands, ARenderStoppedDuringAnOpenLeavesTheDocumentAsItWas) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const std::vector<std::uint8_t> edited = documentBytes(doc().parameters());
    const orv::MonochromePicture* picture = doc().picture();
    const QString large = writeDocument(QStringLiteral("large.orv"), orv::test::largeBlock());
    orv::ui::CProgressDlg* progress = &open.frame->progressWindow();
    orv::test::whenNextShown(progress, [progress] { QTest::keyClick(progress, Qt::Key_Escape); });
    messages.answers = {QMessageBox::No};

    EXPECT_EQ(commands().OpenDocumentFile(large), OpenOutcome::declined);
    EXPECT_EQ(documentBytes(doc().parameters()), edited);
    EXPECT_EQ(doc().picture(), picture);
    EXPECT_EQ(doc().side(), 64);
    EXPECT_EQ(docPath(), pathIn(QStringLiteral("tri.orv")));
    EXPECT_EQ(caption(), QStringLiteral("tri.orv - ") + kWindowTitle);
    EXPECT_TRUE(doc().isModified());
    EXPECT_EQ(recent, QStringList{pathIn(QStringLiteral("tri.orv"))});
}

TEST_F(FileCommands, SaveOfAReadOnlyOrVanishedFileAsksForANewName) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    const QByteArray before = contentsOf(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    FileDialogAnswers answers(QString{});
    EXPECT_FALSE(commands().OnFileSave());
    EXPECT_EQ(answers.requests.size(), 1u);
    EXPECT_EQ(contentsOf(path), before);

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(commands().OnFileSave());
    EXPECT_EQ(answers.requests.size(), 2u);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(doc().isModified());
    EXPECT_TRUE(messages.texts.isEmpty());
}

// Failed stores: the message names the cause, the file that was there keeps its bytes, no
// other file is left, and the document keeps its name and its changes.
TEST_F(FileCommands, AFailedSaveAsChangesNoFileAndKeepsTheDocumentModified) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString readOnly = writeDocument(QStringLiteral("locked.orv"), orv::defaultParameters());
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner));
    ASSERT_TRUE(QDir(directory.path()).mkdir(QStringLiteral("folder.orv")));
    const QStringList before = filesLeft();
    const QByteArray lockedBytes = contentsOf(readOnly);
    struct Case {
        QString chosen;
        QString message;
    };
    const Case cases[] = {
        {readOnly, QStringLiteral("Access to ") + readOnly + QStringLiteral(" was denied.")},
        {pathIn(QStringLiteral("folder.orv")), QStringLiteral("Access to ") +
                                                   pathIn(QStringLiteral("folder.orv")) +
                                                   QStringLiteral(" was denied.")},
        {pathIn(QStringLiteral("no folder/x.orv")),
         pathIn(QStringLiteral("no folder/x.orv")) + QStringLiteral(" was not found.")},
    };
    for (const Case& c : cases) {
        messages.texts.clear();
        FileDialogAnswers answers(c.chosen);
        EXPECT_FALSE(commands().OnFileSaveAs());
        EXPECT_EQ(messages.texts, QStringList{c.message});
    }
    EXPECT_EQ(contentsOf(readOnly), lockedBytes);
    EXPECT_EQ(filesLeft(), before);
    EXPECT_EQ(docPath(), pathIn(QStringLiteral("tri.orv")));
    EXPECT_TRUE(doc().isModified());
}

TEST_F(FileCommands, AFullDiskKeepsTheOldFileWholeAndLeavesNoNewOne) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    const QByteArray old = contentsOf(path);
    {
        FileSizeLimit limit(100);
        ASSERT_FALSE(commands().OnFileSave());
        FileDialogAnswers answers(pathIn(QStringLiteral("new.orv")));
        ASSERT_FALSE(commands().OnFileSaveAs());
    }
    EXPECT_EQ(messages.texts,
              (QStringList{QStringLiteral("Disk full while accessing ") + path + QLatin1Char('.'),
                           QStringLiteral("Disk full while accessing ") +
                               pathIn(QStringLiteral("new.orv")) + QLatin1Char('.')}));
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_EQ(filesLeft(), QStringList{QStringLiteral("tri.orv")});
    EXPECT_TRUE(doc().isModified());
    EXPECT_EQ(docPath(), path);
}

// The folder chosen in the dialog is gone by the time the file is written.
TEST_F(FileCommands, AFolderThatVanishesAfterTheDialogIsReportedForDocumentAndPicture) {
    ASSERT_EQ(doc().Render(), orv::RenderOutcome::completed);
    const QString folder = pathIn(QStringLiteral("gone"));
    orv::ui::FileDialog::setAnswerer([&](const orv::ui::FileDialog::Request& request) {
        QDir(folder).removeRecursively();
        return folder +
               (request.title.isEmpty() ? QStringLiteral("/x.bmp") : QStringLiteral("/x.orv"));
    });
    for (const auto& command : std::vector<std::function<void()>>{
             [&] { commands().OnFileSaveAs(); },
             [&] { open.frame->documentCommands().OnSaveAsBmp(); }}) {
        ASSERT_TRUE(QDir(directory.path()).mkdir(QStringLiteral("gone")));
        command();
    }
    orv::ui::FileDialog::setAnswerer({});
    EXPECT_EQ(messages.texts, (QStringList{folder + QStringLiteral("/x.orv was not found."),
                                           folder + QStringLiteral("/x.bmp was not found.")}));
    EXPECT_TRUE(filesLeft().isEmpty());
    EXPECT_TRUE(docPath().isEmpty());
}

TEST_F(FileCommands, SavingKeepsPermissionsAndWritesThroughASymbolicLink) {
    const QString target = writeDocument(QStringLiteral("target.orv"), orv::defaultParameters());
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    const QString link = pathIn(QStringLiteral("link.orv"));
    ASSERT_TRUE(QFile::link(target, link));
    doc().parameters() = triangle();
    FileDialogAnswers answers(link);
    ASSERT_TRUE(commands().OnFileSaveAs());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contentsOf(target), asBytes(documentBytes(triangle())));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(FileCommands, APipeIsWrittenNotReplaced) {
    const QString pipe = pathIn(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Nobody reads: refused at once rather than waited for.
    FileDialogAnswers answers(pipe);
    EXPECT_FALSE(commands().OnFileSaveAs());
    EXPECT_EQ(messages.texts,
              QStringList{QStringLiteral("An unknown error occurred while accessing ") + pipe +
                          QLatin1Char('.')});

    const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(commands().OnFileSaveAs());
    char received[400];
    EXPECT_EQ(::read(fd, received, sizeof received), 324);
    ::close(fd);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(pipe).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace

namespace {

// Refusals that the superuser never meets. CTest runs these through
// tests/scripts/as-ordinary-user; run as root they are skipped.
class AsOrdinaryUser : public FileCommands {
protected:
    void SetUp() override {
        if (::geteuid() == 0) {
            // The script says it dropped the rights; then being root is a fault, not a skip.
            ASSERT_FALSE(qEnvironmentVariableIsSet("ORV_AS_ORDINARY_USER"));
            GTEST_SKIP() << "needs an ordinary user: run through tests/scripts/as-ordinary-user";
        }
    }
    void TearDown() override {
        QFile::setPermissions(directory.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void makeFolderReadOnly() {
        ASSERT_TRUE(QFile::setPermissions(directory.path(), QFile::ReadOwner | QFile::ExeOwner));
    }
};

TEST_F(AsOrdinaryUser, SavingIntoAReadOnlyFolderIsDeniedAndLeavesNothing) {
    makeFolderReadOnly();
    const QString chosen = pathIn(QStringLiteral("new.orv"));
    FileDialogAnswers answers(chosen);
    EXPECT_FALSE(commands().OnFileSaveAs());
    EXPECT_EQ(messages.texts,
              QStringList{QStringLiteral("Access to ") + chosen + QStringLiteral(" was denied.")});
    EXPECT_TRUE(filesLeft().isEmpty());
    EXPECT_TRUE(docPath().isEmpty());
}

// No temporary file can be made beside it, so the file itself is written.
TEST_F(AsOrdinaryUser, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0604), 0);
    makeFolderReadOnly();
    ASSERT_TRUE(commands().OnFileSave());
    EXPECT_EQ(contentsOf(path), asBytes(documentBytes(doc().parameters())));
    EXPECT_FALSE(doc().isModified());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(filesLeft(), QStringList{QStringLiteral("tri.orv")});
}

TEST_F(AsOrdinaryUser, AnInPlaceWriteThatFailsPutsTheOldBytesBack) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    const QByteArray old = contentsOf(path);
    makeFolderReadOnly();
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(commands().OnFileSave());
    }
    EXPECT_EQ(messages.texts,
              QStringList{QStringLiteral("Disk full while accessing ") + path + QLatin1Char('.')});
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_TRUE(doc().isModified());
}

TEST_F(AsOrdinaryUser, TheBmpExportAlsoWritesInPlaceInAReadOnlyFolder) {
    ASSERT_EQ(doc().Render(), orv::RenderOutcome::completed);
    const QString path = write(QStringLiteral("picture.bmp"), QByteArray("old"));
    makeFolderReadOnly();
    FileDialogAnswers answers(path);
    open.frame->documentCommands().OnSaveAsBmp();
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(contentsOf(path), asBytes(orv::encodeBmp(*doc().picture())));
}

}  // namespace

namespace {

// The test's folder as a small file system of its own, which the test fills up: a full disk
// as it really happens, for every file the program writes. Mounting needs the superuser; others
// skip.
class OnAFullDisk : public FileCommands {
protected:
    void SetUp() override {
        const QByteArray folder = QFile::encodeName(directory.path());
        if (::mount("orv-test", folder.constData(), "tmpfs", 0, "size=64k") != 0) {
            GTEST_SKIP() << "cannot mount a small file system here (needs root): "
                         << std::strerror(errno);
        }
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) {
            ::umount2(QFile::encodeName(directory.path()).constData(), MNT_DETACH);
        }
    }

    // Takes every byte left.
    void fill() const {
        QFile filler(pathIn(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
    }

private:
    bool mounted_ = false;
};

TEST_F(OnAFullDisk, SavingKeepsTheOldDocumentAndSaysTheDiskIsFull) {
    editedDocumentFrom(QStringLiteral("tri.orv"));
    const QString path = pathIn(QStringLiteral("tri.orv"));
    const QByteArray old = contentsOf(path);
    fill();
    EXPECT_FALSE(commands().OnFileSave());
    EXPECT_EQ(messages.texts,
              QStringList{QStringLiteral("Disk full while accessing ") + path + QLatin1Char('.')});
    EXPECT_EQ(contentsOf(path), old);
    EXPECT_EQ(filesLeft(), (QStringList{QStringLiteral("filler"), QStringLiteral("tri.orv")}));
    EXPECT_TRUE(doc().isModified());
}

TEST_F(OnAFullDisk, TheBmpExportKeepsTheOldPictureAndSaysTheDiskIsFull) {
    ASSERT_EQ(doc().Render(), orv::RenderOutcome::completed);
    const QString path = write(QStringLiteral("old.bmp"), QByteArray("the old picture"));
    fill();
    FileDialogAnswers answers(path);
    open.frame->documentCommands().OnSaveAsBmp();
    EXPECT_EQ(messages.texts,
              QStringList{QStringLiteral("Disk full while accessing ") + path + QLatin1Char('.')});
    EXPECT_EQ(contentsOf(path), QByteArray("the old picture"));
    EXPECT_EQ(filesLeft(), (QStringList{QStringLiteral("filler"), QStringLiteral("old.bmp")}));
}

// The profile is a convenience: a failure to write it is not reported, and the old one stays.
TEST_F(OnAFullDisk, TheProfileWrittenAtExitStaysAsItWas) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, directory.path());
    const QString second = writeDocument(QStringLiteral("b.orv"), triangle());
    {
        orv::app::COrvApp app;
        ASSERT_TRUE(app.InitInstance({writeDocument(QStringLiteral("tri.orv"), triangle())}));
        app.ExitInstance();
    }
    const QString profile = pathIn(QStringLiteral("Orv/Orv.conf"));
    const QByteArray old = contentsOf(profile);
    ASSERT_TRUE(old.contains("tri.orv"));
    fill();
    {
        orv::app::COrvApp app;
        ASSERT_TRUE(app.InitInstance({second}));
        app.ExitInstance();
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, orv::test::runConfigFolder());
    EXPECT_EQ(contentsOf(profile), old);
    EXPECT_EQ(QDir(pathIn(QStringLiteral("Orv"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Orv.conf")});
    EXPECT_TRUE(messages.texts.isEmpty());
}

}  // namespace
