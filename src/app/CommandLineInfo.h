#pragma once

#include <QString>
#include <QStringList>

namespace orv::app {

// What the command line asks start-up to do.
struct CCommandLineInfo {
    enum ShellCommand {
        FileNew = 0,
        FileOpen = 1,
        FilePrint = 2,
        FilePrintTo = 3,
        FileDDE = 4,
        AppUnregister = 5,
    };

    ShellCommand shellCommand = FileNew;
    QString fileName;          // the first plain argument
    bool runEmbedded = false;  // "-Embedding": no message after unregistering
};

// `arguments` are those after the program name (QCoreApplication::arguments() without its first).
// A switch starts with "-"; "p", "pt" and "dde" must match in case, "Unregister", "Unregserver",
// "Embedding" and "Automation" in any case, and any other switch is ignored. "/" does not start a
// switch, as it would on Windows: here it starts an absolute path.
CCommandLineInfo ParseCommandLine(const QStringList& arguments);

}  // namespace orv::app
