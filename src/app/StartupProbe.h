#pragma once

#include <QObject>

// For the start-up benchmark: with the environment variable QUILBA_STARTUP_PROBE set, the program
// ends once its first window is on the screen and its event loop runs, after writing
// "fenetre-affichee <ns>" on stdout, <ns> being the instant the window was exposed (Qt paints it
// right then) on the system's monotonic clock, so that whoever launched it can tell how long the
// window took to appear.
class StartupProbe final : public QObject
{
    Q_OBJECT
public:
    static bool requested();

    // Watches every event of the application from now on: create it before the first window.
    StartupProbe();

    // The event loop runs: ends the program now when the window was painted, or once it is.
    void start();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report();

    bool m_running = false;
    long long m_paintedat = 0;
};
