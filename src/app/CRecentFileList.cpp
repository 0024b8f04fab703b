#include "app/CRecentFileList.h"

#include <QDir>
#include <QSettings>
#include <algorithm>

#include "resources/Strings.h"

namespace orv::app {

namespace {

// The search for an entry to move up stops before the last slot, whose entry drops out anyway.
constexpr int kSearchedSlots = CRecentFileList::kSlotCount - 1;

QString entryName(int index) {
    return QString::fromLatin1(orv::res::kRecentFileEntryPrefix) + QString::number(index + 1);
}

// Not through QFileInfo: to Qt a name starting with ':' is a resource and already absolute,
// where here it is a file in the current folder like any other.
QString absoluteCleanPath(const QString& path) {
    return QDir::cleanPath(
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

void CRecentFileList::Add(const QString& path) {
    if (path.isEmpty()) {
        return;  // an empty slot means "free"; there is nothing to list
    }
    const QString absolute = absoluteCleanPath(path);
    const auto searched = slots_.begin() + kSearchedSlots;
    auto found = std::find(slots_.begin(), searched, absolute);
    if (found == searched) {
        found = slots_.end() - 1;
    }
    std::move_backward(slots_.begin(), found, found + 1);
    slots_.front() = absolute;
}

void CRecentFileList::Remove(int index) {
    slots_.at(index).clear();
    std::rotate(slots_.begin() + index, slots_.begin() + index + 1, slots_.end());
}

void CRecentFileList::ReadList(QSettings& profile) {
    profile.beginGroup(QString::fromLatin1(orv::res::kRecentFileSection));
    for (int i = 0; i < kSlotCount; ++i) {
        slots_[i] = profile.value(entryName(i)).toString();
    }
    profile.endGroup();
}

void CRecentFileList::WriteList(QSettings& profile) const {
    const QString section = QString::fromLatin1(orv::res::kRecentFileSection);
    profile.remove(section);
    profile.beginGroup(section);
    for (int i = 0; i < kSlotCount; ++i) {
        if (!slots_[i].isEmpty()) {
            profile.setValue(entryName(i), slots_[i]);
        }
    }
    profile.endGroup();
}

QString CRecentFileList::GetDisplayName(int index, const QString& currentDirectory) const {
    const QString& path = slots_.at(index);
    if (path.isEmpty()) {
        return {};
    }
    QString current = QDir::cleanPath(currentDirectory);
    if (!current.endsWith(QLatin1Char('/'))) {
        current += QLatin1Char('/');
    }
    const QString fileName = fileNameOf(path);
    if (path.size() - fileName.size() == current.size() && path.startsWith(current)) {
        return fileName;
    }
    return AbbreviateName(path, kMaxDisplayLength);
}

QStringList CRecentFileList::MenuItemTexts(const QString& currentDirectory) const {
    QStringList texts;
    for (int i = 0; i < kSlotCount && !slots_[i].isEmpty(); ++i) {
        QString name = GetDisplayName(i, currentDirectory);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        texts.append(QStringLiteral("&%1 ").arg((i + 1) % 10) + name);
    }
    return texts;
}

QString AbbreviateName(const QString& path, int maxLength) {
    const qsizetype length = path.size();
    if (length <= maxLength) {
        return path;
    }
    const QString fileName = fileNameOf(path);
    const qsizetype fileLength = fileName.size();
    if (maxLength < fileLength) {
        return fileName;
    }
    // The head that always stays is the root and the first folder ("/home"), or the first
    // component of a relative path. A file right in the root has no folder to keep: the head is
    // empty, and as the whole path is too long, only the file name will fit.
    qsizetype headLength = 0;
    if (!path.startsWith(QLatin1Char('/'))) {
        headLength = path.indexOf(QLatin1Char('/'));
    } else if (length - fileLength > 1) {
        headLength = path.indexOf(QLatin1Char('/'), 1);
    }
    if (maxLength < headLength + 5 + fileLength) {
        return fileName;
    }
    // Whole folders go from the front of the rest until "head/...rest" fits. The loop ends at
    // the latest with the rest "/file", which fits by the test above.
    qsizetype restStart = headLength;
    while (headLength + 4 + (length - restStart) > maxLength) {
        restStart = path.indexOf(QLatin1Char('/'), restStart + 1);
    }
    return path.left(headLength) + QStringLiteral("/...") + path.mid(restStart);
}

}  // namespace orv::app
