#include "SoakLog.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace SoakLog {

Writer::Writer(const QString& path, const QString& counter, int incarnation)
    : m_counter(counter), m_incarnation(incarnation)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
}

Writer::~Writer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Writer::write(const QString& event, QJsonObject line)
{
    if (m_fd < 0)
        return false;
    line.insert(QStringLiteral("t"), QDateTime::currentMSecsSinceEpoch());
    line.insert(QStringLiteral("c"), m_counter);
    line.insert(QStringLiteral("i"), m_incarnation);
    line.insert(QStringLiteral("e"), event);
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    // One write() of the whole line with O_APPEND: a kill leaves it whole or absent (or cut short
    // at worst, which read() drops).
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return ::fdatasync(m_fd) == 0;
}

std::vector<QJsonObject> read(const QString& path)
{
    std::vector<QJsonObject> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray all = file.readAll();
    for (const QByteArray& line : all.split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            lines.push_back(document.object());
    }
    return lines;
}

} // namespace SoakLog
