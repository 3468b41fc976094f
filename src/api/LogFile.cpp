#include "api/LogFile.h"

#include "platform/SystemError.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kflags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC;

} // namespace

LogFile::LogFile(const QString& path) : m_path(path) {}

LogFile::~LogFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString LogFile::open()
{
    if (m_fd >= 0)
        return {};
    // Records are written straight to the file: one that cannot be written is known at once, not
    // at some later flush. A link in the file's place is refused (O_NOFOLLOW): in the folder shared
    // by the counter's group it could point at somebody else's file.
    const QByteArray path = QFile::encodeName(m_path);
    m_fd = ::open(path.constData(), kflags);
    if (m_fd < 0 && errno == ENOENT) {
        // A new log is for its owner and group only, whatever the umask: it holds members' data.
        m_fd = ::open(path.constData(), kflags | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
        if (m_fd >= 0 && ::fchmod(m_fd, S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP) != 0) {
            const int error = errno;
            ::close(m_fd);
            m_fd = -1;
            errno = error;
        }
    }
    if (m_fd >= 0) {
        m_error.clear();
        return {};
    }
    m_error = u"Impossible d'ouvrir le journal « "_s + QDir::toNativeSeparators(m_path) + u" » : "_s +
              SystemError::text(errno);
    return m_error;
}

bool LogFile::write(const QString& request, const QByteArray& reply)
{
    if (m_fd < 0) {
        if (m_error.isEmpty())
            m_error = u"Le journal « "_s + QDir::toNativeSeparators(m_path) + u" » n'est pas ouvert."_s;
        return false;
    }
    const QByteArray record = request.toUtf8() + ';' + reply + "\r\n";
    const char* next = record.constData();
    qsizetype left = record.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, next, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_error = u"Impossible d'écrire dans le journal « "_s + QDir::toNativeSeparators(m_path) +
                      u" » : "_s + SystemError::text(written < 0 ? errno : EIO);
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}
