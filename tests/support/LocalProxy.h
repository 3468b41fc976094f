#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real HTTP proxy (Debian's squid) started for one test on a free loopback port, with a
// configuration of its own in a temporary folder: no cache, no log, no authentication asked (the
// credentials a client sends are taken and ignored), and stopped when the object goes. It runs
// in the foreground as a child of the test, as root (it then serves as the system's proxy
// account) or as any other account.
class LocalProxy final
{
public:
    LocalProxy();
    ~LocalProxy();
    LocalProxy(const LocalProxy&) = delete;
    LocalProxy& operator=(const LocalProxy&) = delete;

    bool started() const { return m_port != 0; }
    // What went wrong when it did not start.
    const QString& error() const { return m_error; }
    quint16 port() const { return m_port; }

    static QString program();

private:
    bool start(quint16 port);

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
