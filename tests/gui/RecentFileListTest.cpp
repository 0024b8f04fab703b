#include <gtest/gtest.h>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <initializer_list>

#include "app/CRecentFileList.h"

namespace {

using orv::app::AbbreviateName;
using orv::app::CRecentFileList;

QStringList slotsOf(const CRecentFileList& list) {
    QStringList entries;
    for (int i = 0; i < list.size(); ++i) {
        entries.append(list[i]);
    }
    return entries;
}

CRecentFileList listOf(std::initializer_list<const char*> oldestFirst) {
    CRecentFileList list;
    for (const char* path : oldestFirst) {
        list.Add(QString::fromUtf8(path));
    }
    return list;
}

TEST(RecentFileList, AbbreviationKeepsTheFirstFolderAndTheFileName) {
    const struct {
        const char* path;
        int maxLength;
        const char* shown;
    } cases[] = {
        {"/home/user/fractals/fern1.orv", 30, "/home/user/fractals/fern1.orv"},     // 29
        {"/home/user/fractals/fern12.orv", 30, "/home/user/fractals/fern12.orv"},   // 30
        {"/home/user/fractals/fern123.orv", 30, "/home/.../fractals/fern123.orv"},  // 31
        {"/home/Program Files/Fractals/Ferns/samples/fern.orv", 30, "/home/.../samples/fern.orv"},
        // Characters count, not bytes: 48 characters, 83 bytes.
        {"/home/Пользователь/Фракталы/Папоротники/лист.orv", 30, "/home/.../Папоротники/лист.orv"},
        {"docs/ferns/samples/barnsley/fern.orv", 30, "docs/.../barnsley/fern.orv"},
        // Head, "/...", "/" and the file name just fit, or just do not.
        {"/home/uu/vv/abcdefghijklmnop.orv", 30, "/home/.../abcdefghijklmnop.orv"},
        {"/home/uu/vv/abcdefghijklmnopq.orv", 30, "abcdefghijklmnopq.orv"},
        // A file name longer than the limit, and a file right in the root.
        {"/home/u/barnsley-fern-with-31-chars.orv", 30, "barnsley-fern-with-31-chars.orv"},
        {"/root-file-of-exactly-thirt.orv", 30, "root-file-of-exactly-thirt.orv"},
        {"/home/u/fern.orv", 10, "fern.orv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AbbreviateName(QString::fromUtf8(c.path), c.maxLength),
                  QString::fromUtf8(c.shown))
            << c.path;
    }
}

TEST(RecentFileList, KeepsTheFourNewestFirstWithoutDuplicates) {
    CRecentFileList list = listOf({"/f/1.orv", "/f/2.orv", "/f/3.orv", "/f/4.orv", "/f/5.orv"});
    EXPECT_EQ(slotsOf(list), QStringList({"/f/5.orv", "/f/4.orv", "/f/3.orv", "/f/2.orv"}));

    list.Add("/f/4.orv");
    EXPECT_EQ(slotsOf(list), QStringList({"/f/4.orv", "/f/5.orv", "/f/3.orv", "/f/2.orv"}));
    // An entry from the last slot moves up like any other.
    list.Add("/f/2.orv");
    EXPECT_EQ(slotsOf(list), QStringList({"/f/2.orv", "/f/4.orv", "/f/5.orv", "/f/3.orv"}));
    list.Add("/f/2.orv");
    EXPECT_EQ(slotsOf(list), QStringList({"/f/2.orv", "/f/4.orv", "/f/5.orv", "/f/3.orv"}));

    // Names differing only in case are different files here.
    list.Add("/f/FERN.orv");
    list.Add("/f/fern.orv");
    EXPECT_EQ(slotsOf(list), QStringList({"/f/fern.orv", "/f/FERN.orv", "/f/2.orv", "/f/4.orv"}));

    list.Remove(1);
    EXPECT_EQ(slotsOf(list), QStringList({"/f/fern.orv", "/f/2.orv", "/f/4.orv", ""}));
    list.Remove(2);
    EXPECT_EQ(slotsOf(list), QStringList({"/f/fern.orv", "/f/2.orv", "", ""}));

    // Paths are stored absolute and clean; an empty one is no path.
    list = listOf({"fern.orv", "/f/ferns/../tree.orv", ""});
    EXPECT_EQ(slotsOf(list),
              QStringList({"/f/tree.orv", QDir::currentPath() + "/fern.orv", "", ""}));
    // A name starting with ':' is a file in the current folder, not one of Qt's resources.
    list = listOf({":fern.orv", ":/f/x.orv"});
    EXPECT_EQ(slotsOf(list), QStringList({QDir::currentPath() + "/:/f/x.orv",
                                          QDir::currentPath() + "/:fern.orv", "", ""}));
}

TEST(RecentFileList, ProfileGapsAreKeptAndTheSectionIsRewritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings profile(dir.filePath("profile.conf"), QSettings::IniFormat);
    profile.setValue("Recent File List/File1", "/f/a.orv");
    profile.setValue("Recent File List/File3", "/f/c.orv");
    profile.setValue("Settings/PreviewPages", 2);

    CRecentFileList list;
    list.ReadList(profile);
    EXPECT_EQ(slotsOf(list), QStringList({"/f/a.orv", "", "/f/c.orv", ""}));
    EXPECT_EQ(list.MenuItemTexts("/"), QStringList({"&1 /f/a.orv"}));

    profile.setValue("Recent File List/File2", "/f/stale.orv");
    list.WriteList(profile);
    profile.sync();
    QSettings reread(dir.filePath("profile.conf"), QSettings::IniFormat);
    reread.beginGroup("Recent File List");
    EXPECT_EQ(reread.childKeys(), QStringList({"File1", "File3"}));
    EXPECT_EQ(reread.value("File3").toString(), "/f/c.orv");
    reread.endGroup();
    EXPECT_EQ(reread.value("Settings/PreviewPages").toInt(), 2);

    // A new entry pushes the gap down; the menu still stops at it.
    list.Add("/f/x.orv");
    EXPECT_EQ(slotsOf(list), QStringList({"/f/x.orv", "/f/a.orv", "", "/f/c.orv"}));
    EXPECT_EQ(list.MenuItemTexts("/"), QStringList({"&1 /f/x.orv", "&2 /f/a.orv"}));
}

TEST(RecentFileList, MenuShowsFilesOfTheCurrentFolderByNameAndDoublesAmpersands) {
    const CRecentFileList list = listOf({"/home/user/fractals/samples/long/fern & leaf.orv",
                                         "/home/user/Fern.orv", "/home/user/fractals/a&b.orv"});
    EXPECT_EQ(list.MenuItemTexts("/home/user/fractals"),
              QStringList(
                  {"&1 a&&b.orv", "&2 /home/user/Fern.orv", "&3 /home/.../long/fern && leaf.orv"}));
    // The folder must be the file's own, in the same case; a trailing "/" does not matter.
    EXPECT_EQ(list.GetDisplayName(1, "/home/user/"), "Fern.orv");
    EXPECT_EQ(list.GetDisplayName(1, "/home/User"), "/home/user/Fern.orv");
    EXPECT_EQ(list.GetDisplayName(1, "/home"), "/home/user/Fern.orv");
    EXPECT_EQ(list.GetDisplayName(3, "/home/user"), "");
    EXPECT_TRUE(CRecentFileList().MenuItemTexts("/").isEmpty());
}

}  // namespace
