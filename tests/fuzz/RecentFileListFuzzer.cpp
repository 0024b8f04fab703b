// The File menu's recent-file list: read from the profile (perhaps with gaps, as an edited
// profile may have them), then a sequence of Add, Remove and menu texts, each step checked
// against a plain model of the list; at the end the list is written to the profile and must read
// back as it was. And AbbreviateName on its own: it keeps the file name and shortens to the
// length asked for unless the file name alone is longer.
//
// The input is lines, each a command letter and its argument:
//   P a|b||d   (first line only) the profile's four entries, an empty one a gap
//   A path     Add (not for a path with a NUL, which no file has)
//   R n        Remove slot n modulo 4 (n a character)
//   M folder   the menu texts with `folder` current
//   B n path   AbbreviateName(path, n), n a decimal number, perhaps negative
// Paths are UTF-8.

#include <QDir>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/CRecentFileList.h"
#include "resources/Strings.h"

namespace {

using orv::app::CRecentFileList;

constexpr int kSlots = CRecentFileList::kSlotCount;
using Slots = std::array<QString, kSlots>;

[[noreturn]] void fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "%s: '%s'\n", what, qUtf8Printable(detail));
    std::abort();
}

// A profile of its own in a temporary folder. Nothing is written to the disk while the
// fuzzer runs: a QSettings serves what was set from memory and writes only when it goes.
QSettings& profile() {
    static QTemporaryDir folder;
    static QSettings settings(folder.filePath(QStringLiteral("Orv.conf")), QSettings::IniFormat);
    return settings;
}

QString entryKey(int slot) {
    return QString::fromLatin1(orv::res::kRecentFileSection) + QLatin1Char('/') +
           QString::fromLatin1(orv::res::kRecentFileEntryPrefix) + QString::number(slot + 1);
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void expectSlots(const CRecentFileList& list, const Slots& model, const char* after) {
    for (int i = 0; i < kSlots; ++i) {
        if (list[i] != model[static_cast<std::size_t>(i)]) {
            fail(after, list[i] + QStringLiteral(" in slot ") + QString::number(i) +
                            QStringLiteral(", expected ") + model[static_cast<std::size_t>(i)]);
        }
    }
}

void add(CRecentFileList& list, Slots& model, const QString& path) {
    list.Add(path);
    if (path.isEmpty()) {
        expectSlots(list, model, "adding no path changed the list");
        return;
    }
    const QString added = list[0];
    if (!added.startsWith(QLatin1Char('/')) || QDir::cleanPath(added) != added) {
        fail("an added path is not kept absolute and clean", added);
    }
    // The entry moves to the top from where it was in the first three slots; otherwise the
    // last entry drops out.
    const auto searched = model.begin() + (kSlots - 1);
    auto found = std::find(model.begin(), searched, added);
    if (found == searched) {
        found = model.end() - 1;
    }
    std::rotate(model.begin(), found, found + 1);
    model.front() = added;
    expectSlots(list, model, "Add");
}

void remove(CRecentFileList& list, Slots& model, int slot) {
    list.Remove(slot);
    std::rotate(model.begin() + slot, model.begin() + slot + 1, model.end());
    model.back().clear();
    expectSlots(list, model, "Remove");
}

void checkAbbreviation(const QString& path, int maxLength) {
    const QString shown = orv::app::AbbreviateName(path, maxLength);
    const QString fileName = fileNameOf(path);
    if (!shown.endsWith(fileName)) {
        fail("an abbreviation lost the file name", path);
    }
    if (shown.size() > maxLength && shown != fileName) {
        fail("an abbreviation is too long", path);
    }
    if (path.size() <= maxLength && shown != path) {
        fail("a path that fits was shortened", path);
    }
    if (shown == path || shown == fileName) {
        return;
    }
    // Otherwise the beginning of the path, "/..." and the rest of the path after some folders.
    const QString gap = QStringLiteral("/...");
    for (qsizetype at = shown.indexOf(gap); at >= 0; at = shown.indexOf(gap, at + 1)) {
        if (path.startsWith(shown.left(at)) && path.endsWith(shown.mid(at + gap.size()))) {
            return;
        }
    }
    fail("an abbreviation is not the path with folders left out", path);
}

void checkMenu(const CRecentFileList& list, const Slots& model, const QString& folder) {
    const QStringList texts = list.MenuItemTexts(folder);
    const auto listed = std::find(model.begin(), model.end(), QString()) - model.begin();
    if (texts.size() != listed) {
        fail("the menu does not list the entries up to the first free slot", folder);
    }
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString prefix = QStringLiteral("&%1 ").arg(i + 1);
        if (!texts[i].startsWith(prefix)) {
            fail("a menu text without its number", texts[i]);
        }
        QString name = texts[i].mid(prefix.size());
        for (qsizetype at = 0; at < name.size(); ++at) {
            if (name[at] == QLatin1Char('&')) {
                if (at + 1 >= name.size() || name[at + 1] != QLatin1Char('&')) {
                    fail("a menu text with a single '&' in the name", texts[i]);
                }
                name.remove(at, 1);
            }
        }
        const QString& path = model[static_cast<std::size_t>(i)];
        if (!name.endsWith(fileNameOf(path))) {
            fail("a menu text without the file name", texts[i]);
        }
        if (name.size() > CRecentFileList::kMaxDisplayLength && name != fileNameOf(path)) {
            fail("a menu text longer than the menu shows", texts[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto text = [](std::string_view bytes) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    };

    QSettings& settings = profile();
    settings.clear();
    Slots model;
    std::size_t start = 0;
    if (input.starts_with('P')) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        const QStringList entries = text(input.substr(1, end - 1)).split(QLatin1Char('|'));
        for (int i = 0; i < kSlots && i < entries.size(); ++i) {
            model[static_cast<std::size_t>(i)] = entries[i];
            if (!entries[i].isEmpty()) {
                settings.setValue(entryKey(i), entries[i]);
            }
        }
        start = end + 1;
    }
    CRecentFileList list;
    list.ReadList(settings);
    expectSlots(list, model, "ReadList");

    while (start < input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        const std::string_view line = input.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        const std::string_view argument = line.substr(1);
        switch (line.front()) {
            case 'A':
                // No file's path holds a NUL, and Add is only ever given paths of files.
                if (argument.find('\0') == std::string_view::npos) {
                    add(list, model, text(argument));
                }
                break;
            case 'R':
                if (!argument.empty()) {
                    remove(list, model, static_cast<unsigned char>(argument.front()) % kSlots);
                }
                break;
            case 'M':
                checkMenu(list, model, text(argument));
                break;
            case 'B': {
                int maxLength = 0;
                const auto [past, error] =
                    std::from_chars(argument.data(), argument.data() + argument.size(), maxLength);
                if (error == std::errc{} && past < argument.data() + argument.size() &&
                    *past == ' ') {
                    checkAbbreviation(text(std::string_view(
                                          past + 1, argument.data() + argument.size() - past - 1)),
                                      maxLength);
                }
                break;
            }
            default:
                break;
        }
    }

    // Through the profile and back, gaps and all.
    list.WriteList(settings);
    CRecentFileList reread;
    reread.ReadList(settings);
    for (int i = 0; i < kSlots; ++i) {
        if (reread[i] != list[i]) {
            fail("the profile does not keep the list", list[i]);
        }
    }
    return 0;
}
