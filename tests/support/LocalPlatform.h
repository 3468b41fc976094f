#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// quilba-platform started for one test on a free loopback port, with its demo data unless told
// otherwise, and stopped when the object goes.
class LocalPlatform final
{
public:
    // Extra command-line options after "--port 0" (and "--seed" when seed is true).
    explicit LocalPlatform(const QStringList& options = {}, bool seed = true);
    ~LocalPlatform();
    LocalPlatform(const LocalPlatform&) = delete;
    LocalPlatform& operator=(const LocalPlatform&) = delete;

    bool started() const { return m_port != 0; }
    // What went wrong when it did not start.
    const QString& error() const { return m_error; }
    quint16 port() const { return m_port; }
    QString base() const { return QStringLiteral("http://127.0.0.1:") + QString::number(m_port); }
    QString apiurl() const { return base() + QStringLiteral("/apiv1/webapi.do"); }
    QString updateurl() const { return base() + QStringLiteral("/updatequilba"); }

    // The first demo account (pharmacy 101) as the settings file holds it.
    static QString demoapikey() { return QStringLiteral("QUILBA-DEMO-CENTRE"); }
    static QString demologin() { return QStringLiteral("centre"); }
    static QString demopassword() { return QStringLiteral("centre2024"); }
    static QString demoidpharma() { return QStringLiteral("101"); }
    // "Basic …" for the first demo account.
    static QByteArray demoauthorization();

    // Writes a quilba.ini for the first demo account into the folder and points QUILBA_WORKDIR and
    // QUILBA_UPDATE_URL at the folder and this platform.
    void preparework(const QString& folder) const;

    // A test control: method and path under /_admin/, a JSON body; the reply body.
    QByteArray admin(const QByteArray& method, const QString& path, const QByteArray& body = {});

    static QString program();

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
