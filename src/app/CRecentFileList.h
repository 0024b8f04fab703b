#pragma once

#include <QString>
#include <QStringList>
#include <array>

class QSettings;

namespace orv::app {

// The most recently used parameter files, newest first, as the File menu lists them. An empty
// slot is free. A list read from the profile may have gaps (File1 and File3 but no File2); they
// are kept as they are, and the menu stops at the first one.
class CRecentFileList {
public:
    static constexpr int kSlotCount = 4;
    static constexpr int kMaxDisplayLength = 30;

    // Called whenever a document gets a path. Paths compare case-sensitively, as the file system
    // does. Only slots 0 to 2 are searched: a path found in the last slot is not moved but
    // pushed out from the top, which comes to the same.
    void Add(const QString& path);

    // Empties the slot and moves the later ones up.
    void Remove(int index);

    int size() const { return kSlotCount; }
    const QString& operator[](int index) const { return slots_.at(index); }

    // Both work on the section "Recent File List" at the top level of `profile`.
    void ReadList(QSettings& profile);
    // Rewrites the section from scratch; each entry keeps its own slot number.
    void WriteList(QSettings& profile) const;

    // The name the menu shows: the file name alone for a file in `currentDirectory`, else the
    // whole path shortened by AbbreviateName. Empty for a free slot.
    QString GetDisplayName(int index, const QString& currentDirectory) const;

    // "&1 name" to "&4 name" for the slots up to the first free one, each "&" of a name doubled
    // so that it shows as itself. Empty when there is nothing to list.
    QStringList MenuItemTexts(const QString& currentDirectory) const;

private:
    std::array<QString, kSlotCount> slots_;
};

// Shortens `path` to at most `maxLength` characters by putting "..." in place of whole folders
// after the first one: "/home/.../fern.orv". When even that does not fit, or the file name alone
// is longer than `maxLength`, only the file name is left.
QString AbbreviateName(const QString& path, int maxLength);

}  // namespace orv::app
