#include "app/Program.h"
#include "app/Switches.h"
#include "platform/Clock.h"
#include "platform/SystemShell.h"
#include "platform/WidgetDialogs.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quilba"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quilba"));
    QApplication::setApplicationVersion(QStringLiteral(QUILBA_VERSION));
    // The counter window's closing ends the program, whatever else is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    Program::prepareapplication();

    WidgetDialogs dialogs;
    SystemShell shell;
    SystemClock clock;
    Program program(Switches(QApplication::arguments()), dialogs, shell, clock);
    if (program.endrequested())
        return 0;
    QObject::connect(&program, &Program::finished, &app, &QApplication::quit);
    return QApplication::exec();
}
