#include <QApplication>
#include <QIcon>

#include "app/main_window.h"
#include "platform/qt_seams.h"

// Rootweave takes no command line and no configuration file: it loads the main window and runs.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Rootweave"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/rootweave/rootweave.svg")));

    rw::QtPlatform platform;
    rw::Form1 form(platform.platform());
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
