#include "platform/SystemShell.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>

void SystemShell::openurl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void SystemShell::startinstaller(const QString& program, const QString& arguments)
{
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner | QFile::ExeGroup |
                                       QFile::ExeOther);
#ifdef Q_OS_WIN
    QProcess process;
    process.setProgram(program);
    process.setNativeArguments(arguments);
    process.startDetached();
#else
    QProcess::startDetached(program, QProcess::splitCommand(arguments));
#endif
}
