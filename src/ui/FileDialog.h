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
        QStringList nameFilters;  // "Description (*.ext)", first one selected
        QString defaultSuffix;    // appended to a typed name without extension; empty: none
    };

    // An empty string means the user cancelled.
    using Answerer = std::function<QString(const Request& request)>;

    // Saving asks before replacing an existing file.
    static QString getSaveFileName(QWidget* parent, const QStringList& nameFilters,
                                   const QString& defaultSuffix);
    static QString getOpenFileName(QWidget* parent, const QStringList& nameFilters,
                                   const QString& defaultSuffix);

    // Replaces the real dialog until called again with an empty function.
    static void setAnswerer(Answerer answerer);

private:
    static QString ask(QWidget* parent, const Request& request);
};

}  // namespace orv::ui
