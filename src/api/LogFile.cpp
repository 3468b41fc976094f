#include "api/LogFile.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

LogFile::LogFile(const QString& path) : m_path(path), m_file(path) {}

QString LogFile::open()
{
    // Unbuffered: a record that cannot be written is known at once, not at some later flush.
    // A new log is for its owner and group only, whatever the umask: it holds members' data.
    const bool created = !m_file.exists();
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (!created || m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::WriteGroup)) {
            m_error.clear();
            return {};
        }
        m_file.close();
    }
    m_error = u"Impossible d'ouvrir le journal « "_s + QDir::toNativeSeparators(m_path) + u" » : "_s +
              m_file.errorString();
    return m_error;
}

bool LogFile::write(const QString& request, const QByteArray& reply)
{
    if (!m_file.isOpen()) {
        if (m_error.isEmpty())
            m_error = u"Le journal « "_s + QDir::toNativeSeparators(m_path) + u" » n'est pas ouvert."_s;
        return false;
    }
    const QByteArray record = request.toUtf8() + ';' + reply + "\r\n";
    if (m_file.write(record) != record.size() || !m_file.flush()) {
        m_error = u"Impossible d'écrire dans le journal « "_s + QDir::toNativeSeparators(m_path) +
                  u" » : "_s + m_file.errorString();
        m_file.unsetError();
        return false;
    }
    return true;
}
