#include <QApplication>

#include "app/COrvApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    orv::app::COrvApp program;
    if (!program.InitInstance()) {
        return 1;
    }
    return QApplication::exec();
}
