#include "app/StartupProbe.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <memory>

// The reference of the start-up figure: a bare Qt program showing one empty QWidget, ending once
// it is painted when QUILBA_STARTUP_PROBE is set.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::unique_ptr<StartupProbe> probe;
    if (StartupProbe::requested())
        probe = std::make_unique<StartupProbe>();
    QWidget window;
    window.show();
    if (probe)
        QTimer::singleShot(0, probe.get(), &StartupProbe::start);
    return QApplication::exec();
}
