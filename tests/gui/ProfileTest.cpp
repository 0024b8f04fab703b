#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <optional>

#include "GuiTestSupport.h"
#include "app/CRecentFileList.h"
#include "app/Profile.h"

namespace {

using orv::app::openProfile;

// Every profile goes to a fresh temporary folder.
class ProfileTest : public ::testing::Test {
protected:
    QString profileFolder() const { return config.folder(); }
    QString profileFile() const { return config.file(); }

    orv::test::TemporaryProfile config;
};

TEST_F(ProfileTest, IsTheUsersOwnFileAndKeepsWhatIsWritten) {
    {
        // An organisation-wide file must not fill in what the profile lacks.
        QSettings organisation(config.path("Orv.conf"), QSettings::IniFormat);
        organisation.setValue("Settings/PreviewPages", 7);
        organisation.setValue("Recent File List/File1", "/f/other.orv");
    }
    auto profile = openProfile();
    EXPECT_EQ(profile->fileName(), profileFile());
    orv::app::CRecentFileList list;
    list.ReadList(*profile);
    EXPECT_EQ(list[0], "");
    EXPECT_EQ(orv::app::readPreviewPages(*profile), 0);

    list.Add("/f/a.orv");
    list.WriteList(*profile);
    orv::app::writePreviewPages(*profile, 3);
    profile.reset();
    ASSERT_TRUE(QFile::exists(profileFile()));

    profile = openProfile();
    orv::app::CRecentFileList reread;
    reread.ReadList(*profile);
    EXPECT_EQ(reread[0], "/f/a.orv");
    EXPECT_EQ(orv::app::readPreviewPages(*profile), 3);
}

TEST_F(ProfileTest, PreviewPagesAreWrittenOnlyWhenNonZero) {
    const struct {
        std::optional<QString> stored;
        int read;
        int written;
        std::optional<QString> storedAfter;
    } cases[] = {
        {std::nullopt, 0, 0, std::nullopt},
        {std::nullopt, 0, 2, "2"},
        {"5", 5, 0, "5"},
        {"abc", 0, 0, "abc"},
        {"5000000000", 0, 0, "5000000000"},
        {"-2147483648", -2147483648, 0, "-2147483648"},
    };
    for (const auto& c : cases) {
        auto profile = openProfile();
        profile->remove("Settings");
        if (c.stored) {
            profile->setValue("Settings/PreviewPages", *c.stored);
        }
        EXPECT_EQ(orv::app::readPreviewPages(*profile), c.read)
            << c.stored.value_or("none").toStdString();
        orv::app::writePreviewPages(*profile, c.written);
        EXPECT_EQ(profile->contains("Settings/PreviewPages"), c.storedAfter.has_value());
        EXPECT_EQ(profile->value("Settings/PreviewPages").toString(), c.storedAfter.value_or(""));
    }
}

TEST_F(ProfileTest, RemovalTakesTheFolderOnlyWhenNothingElseIsInIt) {
    // No profile at all: nothing to do, nothing made.
    EXPECT_TRUE(orv::app::removeProfile());
    EXPECT_FALSE(QDir(profileFolder()).exists());

    openProfile()->setValue("Settings/PreviewPages", 4);
    ASSERT_TRUE(QFile::exists(profileFile()));
    ASSERT_TRUE(QDir(config.path()).mkdir("Neighbour"));
    EXPECT_TRUE(orv::app::removeProfile());
    EXPECT_FALSE(QDir(profileFolder()).exists());
    EXPECT_TRUE(QDir(config.path("Neighbour")).exists());
    EXPECT_EQ(orv::app::readPreviewPages(*openProfile()), 0);

    openProfile()->setValue("Settings/PreviewPages", 4);
    QFile other(config.path("Orv/other.conf"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    EXPECT_TRUE(orv::app::removeProfile());
    EXPECT_FALSE(QFile::exists(profileFile()));
    EXPECT_TRUE(other.exists());
}

TEST_F(ProfileTest, RemovalFailsWhenTheProfileCannotBeDeleted) {
    // A folder in the profile's place, with something in it: no file removal deletes that.
    ASSERT_TRUE(QDir(config.path()).mkpath("Orv/Orv.conf/inside"));
    EXPECT_FALSE(orv::app::removeProfile());
    EXPECT_TRUE(QDir(profileFile() + "/inside").exists());
}

}  // namespace
