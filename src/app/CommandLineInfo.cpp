#include "app/CommandLineInfo.h"

namespace orv::app {

namespace {

void parseSwitch(QStringView name, CCommandLineInfo& info) {
    const auto is = [name](const char* text, Qt::CaseSensitivity sensitivity) {
        return name.compare(QLatin1StringView(text), sensitivity) == 0;
    };
    if (is("pt", Qt::CaseSensitive)) {
        info.shellCommand = CCommandLineInfo::FilePrintTo;
    } else if (is("p", Qt::CaseSensitive)) {
        info.shellCommand = CCommandLineInfo::FilePrint;
    } else if (is("Unregister", Qt::CaseInsensitive) || is("Unregserver", Qt::CaseInsensitive)) {
        info.shellCommand = CCommandLineInfo::AppUnregister;
    } else if (is("dde", Qt::CaseSensitive)) {
        info.shellCommand = CCommandLineInfo::FileDDE;
    } else if (is("Embedding", Qt::CaseInsensitive)) {
        info.runEmbedded = true;
    }
    // "Automation" is accepted and changes nothing, like every switch not named above.
}

}  // namespace

CCommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CCommandLineInfo info;
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('-'))) {
            parseSwitch(QStringView(argument).mid(1), info);
        } else if (info.fileName.isEmpty()) {
            // An empty argument leaves the name to the next plain one.
            info.fileName = argument;
        }
    }
    if (info.shellCommand == CCommandLineInfo::FileNew && !info.fileName.isEmpty()) {
        info.shellCommand = CCommandLineInfo::FileOpen;
    }
    return info;
}

}  // namespace orv::app
