#include "WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withslash(const QString& folder)
{
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

// The folder exists afterwards, or could not be created (one level only). One it creates has the
// modes of the package's folder, whatever the umask, but for others, who get nothing: its owner
// and group read, write and enter it, as they do the program's files there, and the files made
// in it keep its group (set-group-id), so that the counter's accounts share them. A link in its
// place is never followed to create or change anything.
bool ensure(const QString& path)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(path));
    // Never more open than to its owner, until it has its modes.
    if (::mkdir(name.constData(), S_IRWXU) != 0)
        return errno == EEXIST && QFileInfo(path).isDir();
    // The folder made just now, not whatever took its name since.
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat made
    {
    };
    const bool ok = ::fstat(fd, &made) == 0 && S_ISDIR(made.st_mode) && made.st_uid == ::geteuid() &&
                    ::fchmod(fd, S_ISGID | S_IRWXU | S_IRWXG) == 0;
    ::close(fd);
    return ok;
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
