#include "app/StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdio>

bool StartupProbe::requested()
{
    return qEnvironmentVariableIsSet("QUILBA_STARTUP_PROBE");
}

StartupProbe::StartupProbe()
{
    QCoreApplication::instance()->installEventFilter(this);
}

void StartupProbe::start()
{
    m_running = true;
    if (m_paintedat != 0)
        report();
}

bool StartupProbe::eventFilter(QObject* watched, QEvent* event)
{
    // A window whose children cover it gets no paint of its own: its exposure on the screen, which
    // paints it at once, tells too. Start-up may run nested event loops (the update check), so
    // the first paint can come before the program's own event loop.
    const bool shown = (event->type() == QEvent::Paint && watched->isWidgetType() &&
                        static_cast<QWidget*>(watched)->isWindow()) ||
                       (event->type() == QEvent::Expose && watched->isWindowType() &&
                        static_cast<QWindow*>(watched)->isExposed());
    if (shown && m_paintedat == 0) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        m_paintedat = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
        if (m_running)
            QTimer::singleShot(0, this, &StartupProbe::report);
    }
    return QObject::eventFilter(watched, event);
}

void StartupProbe::report()
{
    std::printf("fenetre-affichee %lld\n", m_paintedat);
    std::fflush(stdout);
    QCoreApplication::exit(0);
}
