#pragma once

#include <QByteArray>
#include <QString>

// The log file "quilba.log" of the switch "log": opened for appending at start (created when
// missing), one record per request of the connection holder's `put`, each record written at once.
// A symbolic link in the file's place is never followed.
class LogFile final
{
public:
    // path: the file, normally pathin(the work folder).
    explicit LogFile(const QString& path);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    static QString filename() { return QStringLiteral("quilba.log"); }
    // The log file's path in a work folder (which ends with a path separator).
    static QString pathin(const QString& workfolder) { return workfolder + filename(); }

    // Opens the file for appending, creating it when missing. Empty on success, otherwise the
    // French text to show; every later write then fails.
    QString open();

    // Appends one record: the request text (UTF-8), ";", the reply bytes, CR LF. False when the
    // record could not be written whole; error() then tells why.
    bool write(const QString& request, const QByteArray& reply);
    const QString& error() const { return m_error; }

    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    QString m_error;
};
