#include "platform/SystemShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

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

QStringList SystemShell::packagecommand(const QString& package, const QStringList& path)
{
    const QString pkexec = QStandardPaths::findExecutable(u"pkexec"_s, path);
    const QString aptget = QStandardPaths::findExecutable(u"apt-get"_s, path);
    if (pkexec.isEmpty() || aptget.isEmpty())
        return {};
    // The administrator has agreed by authenticating: nothing more is asked, and nothing already
    // installed may be removed for the update's sake.
    return {pkexec, aptget, u"install"_s, u"--yes"_s, u"--no-remove"_s, package};
}

void SystemShell::installpackage(const QString& package)
{
    const QStringList command = packagecommand(package);
    if (command.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(package));
        return;
    }
    QProcess::startDetached(command.constFirst(), command.mid(1));
}
