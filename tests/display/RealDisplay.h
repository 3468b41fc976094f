#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>

// An X display of its own for one test, as a desktop has it: Xvfb on a free display number with
// openbox managing the windows (which gives the keyboard to a window that opens, and back to the
// one behind when a box closes), and a person's keyboard and mouse through xdotool, sent to the
// display as real input. Everything started is stopped when the object goes.
class RealDisplay final
{
public:
    RealDisplay();
    ~RealDisplay();
    RealDisplay(const RealDisplay&) = delete;
    RealDisplay& operator=(const RealDisplay&) = delete;

    bool started() const { return m_error.isEmpty(); }
    // What went wrong when it did not start.
    const QString& error() const { return m_error; }
    // The environment of a program shown on this display.
    QProcessEnvironment environment() const;

    // The shown window whose title matches the regular expression, once there; 0 after `ms`.
    quint64 waitwindow(const QString& title, int ms = 10000);
    // Whether no shown window's title matches any more, waiting up to `ms`.
    bool waitgone(const QString& title, int ms = 10000);
    // Whether the window has the keyboard, waiting up to `ms`.
    bool waitactive(quint64 window, int ms = 10000);
    // The size of the window's inside, empty when it is not there.
    QSize size(quint64 window);
    // Waits, up to `ms`, until the display and the programs of those process ids have nothing left
    // to do: every thread of each sleeps, in a few looks in a row. What a person sees then is how
    // the last key left things, and a key pressed now is not taken while a request waits.
    bool settle(const QList<qint64>& programs, int ms = 10000);

    // Characters typed where the keyboard is.
    bool type(const QString& text);
    // Keys pressed one after the other where the keyboard is, as xdotool names them: "Return",
    // "F9", "shift+Tab", "alt+v".
    bool key(const QStringList& keys);
    // The pointer moved to that point of the window and the left button clicked there.
    bool click(quint64 window, QPoint at);

private:
    bool xdotool(const QStringList& arguments, QByteArray* output = nullptr);
    void stop(QProcess& process);

    QProcess m_server;
    QProcess m_manager;
    QString m_display;
    QString m_error;
};
