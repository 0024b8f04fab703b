// The desktop program's command line, the arguments split at NUL bytes (which no argument can
// hold) and read as UTF-8. Checked against the rules written out plainly: the first non-empty
// argument that is not a switch is the file, the last command switch decides, -Embedding only
// sets its flag, and a file without a command opens it.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/CommandLineInfo.h"

namespace {

using orv::app::CCommandLineInfo;

[[noreturn]] void fail(const char* what, const QStringList& arguments) {
    std::fprintf(stderr, "%s: %s\n", what, qUtf8Printable(arguments.join(QLatin1Char(' '))));
    std::abort();
}

QStringList splitAtNul(const std::uint8_t* data, std::size_t size) {
    QStringList arguments;
    if (size == 0) {
        return arguments;
    }
    const char* bytes = reinterpret_cast<const char*>(data);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || bytes[i] == '\0') {
            arguments.append(QString::fromUtf8(bytes + start, static_cast<qsizetype>(i - start)));
            start = i + 1;
        }
    }
    return arguments;
}

bool named(const QString& argument, const char* name, Qt::CaseSensitivity sensitivity) {
    return QStringView(argument).mid(1).compare(QLatin1StringView(name), sensitivity) == 0;
}

CCommandLineInfo expectedFor(const QStringList& arguments) {
    CCommandLineInfo expected;
    bool commanded = false;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) {
            if (expected.fileName.isEmpty()) {
                expected.fileName = argument;
            }
            continue;
        }
        const auto command = [&](CCommandLineInfo::ShellCommand shellCommand) {
            expected.shellCommand = shellCommand;
            commanded = true;
        };
        if (named(argument, "p", Qt::CaseSensitive)) {
            command(CCommandLineInfo::FilePrint);
        } else if (named(argument, "pt", Qt::CaseSensitive)) {
            command(CCommandLineInfo::FilePrintTo);
        } else if (named(argument, "dde", Qt::CaseSensitive)) {
            command(CCommandLineInfo::FileDDE);
        } else if (named(argument, "unregister", Qt::CaseInsensitive) ||
                   named(argument, "unregserver", Qt::CaseInsensitive)) {
            command(CCommandLineInfo::AppUnregister);
        } else if (named(argument, "embedding", Qt::CaseInsensitive)) {
            expected.runEmbedded = true;
        }
    }
    if (!commanded && !expected.fileName.isEmpty()) {
        expected.shellCommand = CCommandLineInfo::FileOpen;
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList arguments = splitAtNul(data, size);
    const CCommandLineInfo info = orv::app::ParseCommandLine(arguments);
    const CCommandLineInfo expected = expectedFor(arguments);
    if (info.shellCommand != expected.shellCommand) {
        fail("the wrong command", arguments);
    }
    if (info.fileName != expected.fileName) {
        fail("the wrong file", arguments);
    }
    if (info.runEmbedded != expected.runEmbedded) {
        fail("the wrong -Embedding flag", arguments);
    }
    return 0;
}
