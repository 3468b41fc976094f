#include "platform/SystemShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace {

// pkexec's own exit statuses: its question dismissed, or no authorisation.
constexpr int kpkexecdismissed = 126;
constexpr int kpkexecrefused = 127;

} // namespace

SystemShell::SystemShell(QString installer, QStringList path)
    : m_installer(std::move(installer)), m_path(std::move(path))
{
}

QString SystemShell::defaultinstaller()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../libexec/quilba/quilba-update"_s);
}

void SystemShell::openurl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void SystemShell::startinstaller(const QString& program, const QString& arguments)
{
#ifdef Q_OS_WIN
    QProcess process;
    process.setProgram(program);
    process.setNativeArguments(arguments);
    process.startDetached();
#else
    QProcess::startDetached(program, QProcess::splitCommand(arguments));
#endif
}

UpdateRun SystemShell::installupdate(const QStringList& arguments,
                                     const std::function<void(const QByteArray& line)>& line)
{
    const QString pkexec = QStandardPaths::findExecutable(u"pkexec"_s, m_path);
    if (pkexec.isEmpty())
        return {UpdateRun::Ended::NoElevation};
    const QFileInfo installer(m_installer);
    if (!installer.isAbsolute() || !installer.isFile() || !installer.isExecutable())
        return {UpdateRun::Ended::NoInstaller};

    QProcess process;
    process.setProgram(pkexec);
    process.setArguments(QStringList{installer.absoluteFilePath()} + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // apt's own messages are English: they go where the program's go, for whoever reads them.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);

    QByteArray pending;
    auto deliver = [&] {
        pending += process.readAllStandardOutput();
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray text = pending.left(end);
            pending.remove(0, end + 1);
            if (line)
                line(text);
        }
    };
    // The administrator answers in the system's own window, then apt works for a while: the
    // windows keep painting meanwhile and input waits for the end, as for the updater's requests.
    QEventLoop loop;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, deliver);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    process.start();
    if (!process.waitForStarted(30 * 1000))
        return {UpdateRun::Ended::Broken};
    while (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deliver();
    if (!pending.isEmpty() && line)
        line(pending);

    if (process.exitStatus() != QProcess::NormalExit)
        return {UpdateRun::Ended::Broken};
    switch (process.exitCode()) {
    case kpkexecdismissed:
        return {UpdateRun::Ended::Declined};
    case kpkexecrefused:
        return {UpdateRun::Ended::NotAuthorised};
    default:
        return {UpdateRun::Ended::Finished, process.exitCode()};
    }
}
