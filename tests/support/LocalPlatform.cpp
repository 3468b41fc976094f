#include "LocalPlatform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LocalPlatform::LocalPlatform(const QStringList& options, bool seed, Data data)
    : m_options(options), m_seed(seed), m_tls(options.contains(QStringLiteral("--tls-cert")))
{
    if (data == Data::File) {
        m_data = std::make_unique<QTemporaryDir>();
        if (!m_data->isValid()) {
            m_error = QStringLiteral("pas de dossier temporaire pour la base de quilba-platform");
            return;
        }
    }
    start(0);
}

LocalPlatform::~LocalPlatform()
{
    if (m_holder >= 0)
        ::close(m_holder);
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool LocalPlatform::start(quint16 port)
{
    QStringList arguments{QStringLiteral("--port"), QString::number(port)};
    if (m_seed)
        arguments.append(QStringLiteral("--seed"));
    if (m_data)
        arguments << QStringLiteral("--db") << databasepath();
    arguments.append(m_options);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program(), arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("quilba-platform ne démarre pas : ") + m_process.errorString();
        return false;
    }
    QByteArray out;
    const QDeadlineTimer deadline(20000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    const quint16 listening = line.startsWith("port ") ? line.mid(5).toUShort() : 0;
    if (!listening || (port && listening != port)) {
        m_error =
            QStringLiteral("quilba-platform : ") + QString::fromUtf8(out + m_process.readAllStandardError());
        return false;
    }
    m_port = listening;
    return true;
}

bool LocalPlatform::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    if (m_holder >= 0 || !m_port)
        return m_port != 0;
    // Bound without listening: a connection is refused, and the system hands the port to no one
    // asking for a free one. SO_REUSEADDR passes the connections the platform closed and that
    // still wait; SO_REUSEPORT lets the platform, which sets it too, bind it again before the
    // hold ends.
    m_holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(m_port);
    if (m_holder < 0 || ::setsockopt(m_holder, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::setsockopt(m_holder, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes) != 0 ||
        ::bind(m_holder, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        m_error = QStringLiteral("le port ") + QString::number(m_port) +
                  QStringLiteral(" de quilba-platform ne peut pas être gardé : ") +
                  QString::fromLocal8Bit(std::strerror(errno));
        if (m_holder >= 0)
            ::close(m_holder);
        m_holder = -1;
        return false;
    }
    return true;
}

bool LocalPlatform::restart()
{
    if (!m_data) {
        m_error =
            QStringLiteral("quilba-platform tient ses données en mémoire : il ne revient pas avec elles");
        return false;
    }
    if (running() || !m_port) {
        m_error = QStringLiteral("quilba-platform n'a pas été arrêté");
        return false;
    }
    const bool started = start(m_port);
    if (m_holder >= 0)
        ::close(m_holder);
    m_holder = -1;
    return started;
}

QString LocalPlatform::databasepath() const
{
    return m_data ? m_data->filePath(QStringLiteral("plateforme.sqlite")) : QString();
}

QByteArray LocalPlatform::demoauthorization()
{
    return "Basic " + (demoapikey() + u';' + demologin() + u':' + demopassword()).toLatin1().toBase64();
}

void LocalPlatform::preparework(const QString& folder) const
{
    QFile ini(QDir(folder).filePath(QStringLiteral("quilba.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write((QStringLiteral("[connexion]\nAPIKEY=") + demoapikey() + QStringLiteral("\nLOGIN=") +
                   demologin() + QStringLiteral("\nPWD=") + demopassword() + QStringLiteral("\nIDPHARMA=") +
                   demoidpharma() + QStringLiteral("\nURL=") + apiurl() +
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
    if (m_tls)
        QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray answer = reply->readAll();
    reply->deleteLater();
    return answer;
}

LocalPlatform::Handshakes LocalPlatform::handshakes()
{
    const QJsonObject count = QJsonDocument::fromJson(admin("GET", QStringLiteral("connections"))).object();
    return {count.value(QStringLiteral("connections")).toInt(),
            count.value(QStringLiteral("tls_full")).toInt(),
            count.value(QStringLiteral("tls_resumed")).toInt(),
            count.value(QStringLiteral("tls_failed")).toInt(), count.value(QStringLiteral("open")).toInt()};
}

void LocalPlatform::clearhandshakes()
{
    admin("DELETE", QStringLiteral("connections"));
}

bool LocalPlatform::closeidle()
{
    admin("POST", QStringLiteral("close-idle"));
    const QDeadlineTimer deadline(10000);
    while (handshakes().open > 0) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

QString LocalPlatform::program()
{
    const QByteArray bin = qgetenv("QUILBA_TEST_BIN");
    return QString::fromLocal8Bit(bin) + QStringLiteral("/tools/platform/quilba-platform");
}
