#include "LocalProxy.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>

namespace {

// A port nobody listens on now; squid cannot be asked for one of the system's choosing.
quint16 freeport()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

LocalProxy::LocalProxy()
{
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("pas de dossier temporaire pour squid");
        return;
    }
    if (program().isEmpty()) {
        m_error = QStringLiteral("squid est introuvable : ./run deps l'installe");
        return;
    }
    // Another program may take the port between the probe and squid's bind.
    for (int attempt = 0; attempt < 5 && !m_port; ++attempt)
        start(freeport());
}

LocalProxy::~LocalProxy()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString LocalProxy::program()
{
    // /usr/sbin is not on every account's path.
    return QStandardPaths::findExecutable(QStringLiteral("squid"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
}

bool LocalProxy::start(quint16 port)
{
    if (!port) {
        m_error = QStringLiteral("aucun port libre pour squid");
        return false;
    }
    const QString config = m_folder.filePath(QStringLiteral("squid.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("squid.conf : ") + file.errorString();
        return false;
    }
    // Nothing written to disk: no cache, no log, no pid file; no helper process either.
    file.write("http_port 127.0.0.1:" + QByteArray::number(port) +
               "\n"
               "http_access allow all\n"
               "cache deny all\n"
               "cache_mem 0\n"
               "pid_filename none\n"
               "access_log none\n"
               "cache_store_log none\n"
               "cache_log /dev/null\n"
               "coredump_dir none\n"
               "visible_hostname quilba-test\n"
               "shutdown_lifetime 0 seconds\n"
               "pinger_enable off\n"
               "digest_generation off\n"
               "icp_port 0\n"
               "htcp_port 0\n");
    file.close();

    // -N: in the foreground, a child of the test; -d 1: its messages on the error output.
    m_process.setWorkingDirectory(m_folder.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program(), {QStringLiteral("-N"), QStringLiteral("-d"), QStringLiteral("1"),
                                QStringLiteral("-f"), config});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("squid ne démarre pas : ") + m_process.errorString();
        return false;
    }
    QByteArray out;
    const QDeadlineTimer deadline(20000);
    while (!out.contains("Accepting HTTP Socket connections") && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        out += m_process.readAll();
    }
    if (!out.contains("Accepting HTTP Socket connections") || m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("squid : ") + QString::fromUtf8(out);
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        return false;
    }
    m_port = port;
    return true;
}
