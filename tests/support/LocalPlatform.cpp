#include "LocalPlatform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

LocalPlatform::LocalPlatform(const QStringList& options, bool seed)
{
    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0")};
    if (seed)
        arguments.append(QStringLiteral("--seed"));
    arguments.append(options);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program(), arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("quilba-platform ne démarre pas : ") + m_process.errorString();
        return;
    }
    QByteArray out;
    const QDeadlineTimer deadline(20000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (line.startsWith("port "))
        m_port = line.mid(5).toUShort();
    if (!m_port)
        m_error = QStringLiteral("quilba-platform : ") + QString::fromUtf8(out + m_process.readAllStandardError());
}

LocalPlatform::~LocalPlatform()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QByteArray LocalPlatform::demoauthorization()
{
    return "Basic " + (demoapikey() + u';' + demologin() + u':' + demopassword()).toLatin1().toBase64();
}

void LocalPlatform::preparework(const QString& folder) const
{
    QFile ini(QDir(folder).filePath(QStringLiteral("quilba.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write((QStringLiteral("[connexion]\nAPIKEY=") + demoapikey() + QStringLiteral("\nLOGIN=") + demologin() +
                   QStringLiteral("\nPWD=") + demopassword() + QStringLiteral("\nIDPHARMA=") + demoidpharma() +
                   QStringLiteral("\nURL=") + apiurl() +
                   QStringLiteral("\n[pharmacie]\nlibelle=Pharmacie du Centre\n"))
                      .toUtf8());
    qputenv("QUILBA_WORKDIR", folder.toUtf8());
    qputenv("QUILBA_UPDATE_URL", updateurl().toUtf8());
}

QByteArray LocalPlatform::admin(const QByteArray& method, const QString& path, const QByteArray& body)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(base() + QStringLiteral("/_admin/") + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply* reply = manager.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray answer = reply->readAll();
    reply->deleteLater();
    return answer;
}

QString LocalPlatform::program()
{
    const QByteArray bin = qgetenv("QUILBA_TEST_BIN");
    return QString::fromLocal8Bit(bin) + QStringLiteral("/tools/platform/quilba-platform");
}
