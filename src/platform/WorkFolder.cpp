#include "WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString withslash(const QString& folder)
{
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

// The folder exists afterwards, or could not be created (one level only).
bool ensure(const QString& path)
{
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkdir(path) && QFileInfo(path).isDir();
}

} // namespace

WorkFolder::Location WorkFolder::locate()
{
    const QString exedir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return locate(qEnvironmentVariable("QUILBA_WORKDIR"), commonbase(), exedir);
}

WorkFolder::Location WorkFolder::locate(const QString& workdir, const QString& commonbase,
                                        const QString& exedir)
{
    if (!workdir.isEmpty()) {
        const QString path = withslash(workdir);
        return {path, ensure(path)};
    }
    if (!commonbase.isEmpty() && QFileInfo(commonbase).isDir()) {
        const QString path = withslash(commonbase) + QStringLiteral("Quilba/");
        return {path, ensure(path)};
    }
    return {withslash(exedir), true};
}

QString WorkFolder::commonbase()
{
#if defined(Q_OS_WIN)
    QString base = qEnvironmentVariable("ProgramData");
    if (base.isEmpty())
        base = qEnvironmentVariable("ALLUSERSPROFILE");
    return base;
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/Library/Application Support");
#else
    return QStringLiteral("/var/lib");
#endif
}
