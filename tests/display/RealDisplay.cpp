#include "RealDisplay.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>

namespace {

// How often a state of the display is looked at while waiting for it.
constexpr int pollms = 25;

// Whether no thread of the process runs or waits for the disk; a process that is gone sleeps.
bool asleep(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue; // the thread ended meanwhile
        // "tid (name) S …": the state follows the name, which may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype name = line.lastIndexOf(')');
        const char state = name >= 0 && name + 2 < line.size() ? line.at(name + 2) : 'R';
        if (state == 'R' || state == 'D')
            return false;
    }
    return true;
}

} // namespace

RealDisplay::RealDisplay()
{
    // The server writes its display number once it takes connections.
    m_server.setProgram(QStringLiteral("Xvfb"));
    m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp")});
    m_server.start();
    if (!m_server.waitForStarted(10000)) {
        m_error = QStringLiteral("Xvfb ne démarre pas (./run deps l'installe) : ") + m_server.errorString();
        return;
    }
    QByteArray out;
    const QDeadlineTimer deadline(20000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(200);
        out += m_server.readAllStandardOutput();
    }
    bool number = false;
    const int display = out.trimmed().toInt(&number);
    if (!out.contains('\n') || !number) {
        m_error = QStringLiteral("Xvfb ne donne pas son écran : ") +
                  QString::fromLocal8Bit(out + m_server.readAllStandardError());
        return;
    }
    m_display = u':' + QString::number(display);

    m_manager.setProcessEnvironment(environment());
    m_manager.setProgram(QStringLiteral("openbox"));
    m_manager.setArguments({QStringLiteral("--sm-disable")});
    m_manager.setProcessChannelMode(QProcess::MergedChannels);
    m_manager.start();
    if (!m_manager.waitForStarted(10000)) {
        m_error =
            QStringLiteral("openbox ne démarre pas (./run deps l'installe) : ") + m_manager.errorString();
        return;
    }
    // The manager is at work once it tells the display how many desktops it has.
    // A minute: on a machine busy with other tests the manager may take its time.
    const QDeadlineTimer managed(60000);
    QByteArray desktops;
    while (!xdotool({QStringLiteral("get_num_desktops")}, &desktops) || desktops.trimmed().toInt() < 1) {
        if (managed.hasExpired() || m_manager.state() != QProcess::Running) {
            m_error = QStringLiteral("openbox ne gère pas l'écran (") +
                      (m_manager.state() == QProcess::Running ? QStringLiteral("en marche")
                                                              : QStringLiteral("arrêté")) +
                      QStringLiteral(", xdotool : ") + QString::fromLocal8Bit(desktops.trimmed()) +
                      QStringLiteral(") : ") + QString::fromLocal8Bit(m_manager.readAll());
            return;
        }
        QThread::msleep(pollms);
    }
}

RealDisplay::~RealDisplay()
{
    stop(m_manager);
    stop(m_server);
}

void RealDisplay::stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QProcessEnvironment RealDisplay::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

bool RealDisplay::xdotool(const QStringList& arguments, QByteArray* output)
{
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

quint64 RealDisplay::waitwindow(const QString& title, int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        QByteArray found;
        if (xdotool(
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title},
                &found)) {
            const quint64 window = found.split('\n').constFirst().trimmed().toULongLong();
            if (window)
                return window;
        }
        QThread::msleep(pollms);
    } while (!deadline.hasExpired());
    return 0;
}

bool RealDisplay::waitgone(const QString& title, int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        QByteArray found;
        if (!xdotool(
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title},
                &found) &&
            found.trimmed().isEmpty())
            return true;
        QThread::msleep(pollms);
    } while (!deadline.hasExpired());
    return false;
}

bool RealDisplay::waitactive(quint64 window, int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        QByteArray active;
        if (xdotool({QStringLiteral("getactivewindow")}, &active) && active.trimmed().toULongLong() == window)
            return true;
        QThread::msleep(pollms);
    } while (!deadline.hasExpired());
    return false;
}

QSize RealDisplay::size(quint64 window)
{
    QByteArray shell;
    if (!xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)},
                 &shell))
        return {};
    QSize size;
    for (const QByteArray& line : shell.split('\n')) {
        if (line.startsWith("WIDTH="))
            size.setWidth(line.mid(6).toInt());
        else if (line.startsWith("HEIGHT="))
            size.setHeight(line.mid(7).toInt());
    }
    return size;
}

bool RealDisplay::settle(const QList<qint64>& programs, int ms)
{
    const QList<qint64> all = programs + QList<qint64>{m_server.processId(), m_manager.processId()};
    const QDeadlineTimer deadline(ms);
    // A message passed from one to the next wakes the next before the first sleeps again; looks
    // in a row keep one taken at the wrong moment from passing for quiet.
    int quiet = 0;
    while (quiet < 3) {
        if (deadline.hasExpired())
            return false;
        quiet = std::all_of(all.begin(), all.end(), asleep) ? quiet + 1 : 0;
        QThread::msleep(5);
    }
    return true;
}

bool RealDisplay::type(const QString& text)
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

bool RealDisplay::key(const QStringList& keys)
{
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("20")} +
                   keys);
}

bool RealDisplay::click(quint64 window, QPoint at)
{
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                    QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                    QStringLiteral("1")});
}
