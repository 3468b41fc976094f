#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// quilba-platform started for one test on a free loopback port, with its demo data unless told
// otherwise, and stopped when the object goes. With its data in a file, a test can take it away
// and bring it back.
class LocalPlatform final
{
public:
    enum class Data
    {
        Memory, // gone when the program ends
        File,   // an SQLite file of its own, kept across stop() and restart()
    };

    // The connections the platform accepted and their TLS handshakes (test controls left out).
    struct Handshakes
    {
        int connections = 0;
        int full = 0;    // full TLS handshakes
        int resumed = 0; // TLS handshakes that took up an earlier session
        int failed = 0;
        int open = 0; // still open
    };

    // Extra command-line options after "--port 0" (and "--seed" when seed is true). With
    // "--tls-cert" and "--tls-key" among them the platform speaks HTTPS, and its addresses say so.
    explicit LocalPlatform(const QStringList& options = {}, bool seed = true, Data data = Data::Memory);
    ~LocalPlatform();
    LocalPlatform(const LocalPlatform&) = delete;
    LocalPlatform& operator=(const LocalPlatform&) = delete;

    bool started() const { return m_port != 0; }
    // What went wrong when it did not start.
    const QString& error() const { return m_error; }
    quint16 port() const { return m_port; }
    bool tls() const { return m_tls; }
    QString base() const
    {
        return (m_tls ? QStringLiteral("https://127.0.0.1:") : QStringLiteral("http://127.0.0.1:")) +
               QString::number(m_port);
    }
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

    // A test control: method and path under /_admin/, a JSON body; the reply body. Over HTTPS the
    // platform's certificate is not checked: the controls are the test's own, on loopback.
    QByteArray admin(const QByteArray& method, const QString& path, const QByteArray& body = {});
    // The count since the platform started or since clearhandshakes().
    Handshakes handshakes();
    void clearhandshakes();
    // Closes the connections waiting for their next request, as the keep-alive time limit does,
    // and returns once none is open any more (false when one still is after ten seconds).
    bool closeidle();

    // The platform goes away: the program ends as on SIGTERM, and its port stays bound but not
    // listening, so that every connection to it is refused and no other program takes the port
    // meanwhile. False, with error(), when the port could not be held.
    bool stop();
    // It comes back on the same port with the data it had (Data::File only). What lives in the
    // program's memory starts afresh: the journal, the faults, a clock set by /_admin/clock.
    bool restart();
    bool running() const { return m_process.state() == QProcess::Running; }
    // The process id while it runs.
    qint64 pid() const { return m_process.processId(); }
    // The database file; empty with Data::Memory.
    QString databasepath() const;

    static QString program();

private:
    bool start(quint16 port);

    QStringList m_options;
    bool m_seed = true;
    bool m_tls = false;
    std::unique_ptr<QTemporaryDir> m_data;
    QProcess m_process;
    quint16 m_port = 0;
    int m_holder = -1; // the socket that holds the port while the platform is away
    QString m_error;
};
