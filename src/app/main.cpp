#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/StartupProbe.h"
#include "platform/Clock.h"
#include "platform/SystemShell.h"
#include "platform/WidgetDialogs.h"
#include "settings/Switches.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

int print(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // The version and the help are answered before the application object exists: they need no
    // display, so they work on a server or over ssh.
    switch (CommandLine::request(CommandLine::arguments(argc, argv))) {
    case CommandLine::Request::Version:
        return print(CommandLine::versiontext(QStringLiteral(QUILBA_PACKAGE_VERSION)));
    case CommandLine::Request::Help:
        return print(CommandLine::helptext());
    case CommandLine::Request::Run:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quilba"));
    // No display name: on X11 Qt would append it to every caption ("Quilba v1.4 — Quilba"). Message
    // boxes still take the application name.
    QApplication::setApplicationVersion(QStringLiteral(QUILBA_VERSION));
    // The menu entry quilba.desktop: the desktop shows its name and icon for our windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("quilba"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quilba.svg")));
    // The counter window's closing ends the program, whatever else is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    Program::prepareapplication();

    std::unique_ptr<StartupProbe> probe;
    if (StartupProbe::requested())
        probe = std::make_unique<StartupProbe>();

    WidgetDialogs dialogs;
    SystemShell shell;
    SystemClock clock;
    Program program(Switches(QApplication::arguments()), dialogs, shell, clock);
    if (program.endrequested())
        return 0;
    QObject::connect(&program, &Program::finished, &app, &QApplication::quit);
    if (probe)
        QTimer::singleShot(0, probe.get(), &StartupProbe::start);
    return QApplication::exec();
}
