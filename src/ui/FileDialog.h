#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace orv::ui {

// Every file name the program asks for goes through here. Tests install an answerer that sees
// what would have been asked and answers in place of the user, so no modal dialog blocks them.
class FileDialog {
public:
    enum class Mode { open, save };

    struct Request {
        Mode mode;
        // "Description (*.ext)", the first one selected. A "*.*" pattern lists every file,
        // names without a dot included, as it always has.
        QStringList nameFilters;
        QString defaultSuffix;  // appended to a typed name without extension; empty: none
        QString title;          // empty: the dialog's own
        QString initialPath;    // the proposed file (its folder is where the dialog starts)
    };

    // An empty string means the user cancelled. Saving asks before replacing an existing file;
    // opening accepts only a file that exists.
    static QString ask(QWidget* parent, const Request& request);

    // Replaces the real dialog until called again with an empty function.
    using Answerer = std::function<QString(const Request& request)>;
    static void setAnswerer(Answerer answerer);

    // The filter the real dialog is given for a displayed one: the same text, with "*.*"
    // widened to "*" for the matching (the text stays as shown).
    static QString matchingFilter(const QString& displayed);
};

}  // namespace orv::ui
