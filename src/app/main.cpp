#include <QApplication>
#include <QTimer>
#include <csignal>

#include "app/COrvApp.h"
#include "app/Usage.h"
#include "ui/CMainFrame.h"

int main(int argc, char* argv[]) {
    // Answered before any display is needed.
    if (orv::app::printInformationalOption(argc, argv)) {
        return 0;
    }
    // A file-size limit then fails the write with EFBIG, which is reported, instead of killing
    // the program in the middle of a save.
    std::signal(SIGXFSZ, SIG_IGN);

    QApplication application(argc, argv);
    orv::app::COrvApp program;
    if (!program.InitInstance(QApplication::arguments().mid(1))) {
        return program.ExitInstance();
    }
    // For tests of the real program: close as Exit would, once started.
    if (qEnvironmentVariableIsSet("ORV_EXIT_WHEN_STARTED")) {
        QTimer::singleShot(0, program.mainFrame(), &QWidget::close);
    }
    const int status = QApplication::exec();
    const int exitStatus = program.ExitInstance();
    return status != 0 ? status : exitStatus;
}
