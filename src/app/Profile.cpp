#include "app/Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <limits>

#include "resources/Strings.h"

namespace orv::app {

namespace {

QString previewPagesKey() {
    return QString::fromLatin1(orv::res::kSettingsSection) + QLatin1Char('/') +
           QString::fromLatin1(orv::res::kPreviewPagesEntry);
}

}  // namespace

std::unique_ptr<QSettings> openProfile() {
    auto profile = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                               QString::fromLatin1(orv::res::kRegistryKey),
                                               QString::fromLatin1(orv::res::kApplicationName));
    // Only the user's own file counts: no organisation-wide ~/.config/Orv.conf and no system-wide
    // file under /etc/xdg fills in what the user's profile lacks.
    profile->setFallbacksEnabled(false);
    return profile;
}

int readPreviewPages(QSettings& profile) {
    // Read wide: a narrowing read would wrap a number beyond 32 bits instead of refusing it.
    bool isInteger = false;
    const qlonglong pages = profile.value(previewPagesKey()).toLongLong(&isInteger);
    const bool fits = pages >= std::numeric_limits<std::int32_t>::min() &&
                      pages <= std::numeric_limits<std::int32_t>::max();
    return isInteger && fits ? static_cast<int>(pages) : 0;
}

void writePreviewPages(QSettings& profile, int pages) {
    if (pages != 0) {
        profile.setValue(previewPagesKey(), pages);
    }
}

bool removeProfile() {
    const QString file = openProfile()->fileName();
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
        return false;
    }
    // rmdir refuses a folder that still holds anything, which is exactly when it must stay.
    QDir().rmdir(QFileInfo(file).absolutePath());
    return true;
}

}  // namespace orv::app
