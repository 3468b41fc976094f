#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/Connection.h"
#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "platform/Clock.h"
#include "settings/Switches.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Certificates made for this run with openssl: a test certification authority, a certificate it
// signed for 127.0.0.1, one it signed for another host, and a self-signed one for 127.0.0.1.
class Certificates
{
public:
    Certificates()
    {
        m_ok = openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                        u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                        u"/CN=Quilba test CA"_s, u"-keyout"_s, path(u"ca.key"_s), u"-out"_s,
                        path(u"ca.pem"_s)}) &&
               signed_(u"good"_s, u"127.0.0.1"_s, u"IP:127.0.0.1"_s) &&
               signed_(u"wronghost"_s, u"quilba.invalid"_s, u"DNS:quilba.invalid"_s) &&
               openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                        u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                        u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s,
                        path(u"selfsigned.key"_s), u"-out"_s, path(u"selfsigned.pem"_s)});
    }

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    bool signed_(const QString& name, const QString& cn, const QString& san)
    {
        QFile extensions(path(name + u".ext"_s));
        if (!extensions.open(QIODevice::WriteOnly))
            return false;
        extensions.write(
            (u"subjectAltName="_s + san + u"\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"_s)
                .toUtf8());
        extensions.close();
        return openssl({u"req"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s,
                        u"-nodes"_s, u"-subj"_s, u"/CN="_s + cn, u"-keyout"_s, path(name + u".key"_s),
                        u"-out"_s, path(name + u".csr"_s)}) &&
               openssl({u"x509"_s, u"-req"_s, u"-in"_s, path(name + u".csr"_s), u"-CA"_s, path(u"ca.pem"_s),
                        u"-CAkey"_s, path(u"ca.key"_s), u"-CAcreateserial"_s, u"-days"_s, u"2"_s,
                        u"-extfile"_s, path(name + u".ext"_s), u"-out"_s, path(name + u".pem"_s)});
    }

    bool openssl(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(u"openssl"_s, arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            m_error = u"openssl "_s + arguments.join(u' ') + u" : "_s + process.errorString() + u"\n"_s +
                      QString::fromLocal8Bit(process.readAll());
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    bool m_ok = false;
    QString m_error;
};

// The environment variable for the time of one test.
class Environment
{
public:
    Environment(const char* name, const QString& value) : m_name(name)
    {
        if (value.isEmpty())
            qunsetenv(m_name);
        else
            qputenv(m_name, value.toLocal8Bit());
    }
    ~Environment() { qunsetenv(m_name); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* m_name;
};

} // namespace

// The program talks to the platform over HTTPS and checks the platform's certificate: it must
// come from an authority the system trusts (or the one SSL_CERT_FILE names) and be for the host
// of the URL.
class TestTlsPlatform : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.error())); }

    void certificateChecked_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<bool>("trusttestca");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("signed by the trusted CA") << u"good"_s << true << true;
        QTest::newRow("signed by a CA the system does not trust") << u"good"_s << false << false;
        QTest::newRow("self-signed") << u"selfsigned"_s << true << false;
        QTest::newRow("for another host") << u"wronghost"_s << true << false;
    }
    void certificateChecked()
    {
        QFETCH(QString, certificate);
        QFETCH(bool, trusttestca);
        QFETCH(bool, accepted);

        LocalPlatform platform({u"--tls-cert"_s, m_certificates.path(certificate + u".pem"_s), u"--tls-key"_s,
                                m_certificates.path(certificate + u".key"_s)});
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const QString base = u"https://127.0.0.1:"_s + QString::number(platform.port());
        QTemporaryDir work;
        platform.preparework(work.path());
        QFile ini(QDir(work.path()).filePath(u"quilba.ini"_s));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray settings =
            ini.readAll().replace(platform.apiurl().toUtf8(), (base + u"/apiv1/webapi.do"_s).toUtf8());
        ini.close();
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(settings);
        ini.close();
        const Environment update("QUILBA_UPDATE_URL", base + u"/updatequilba"_s);
        const Environment authority("SSL_CERT_FILE",
                                    trusttestca ? m_certificates.path(u"ca.pem"_s) : QString());

        ScriptedDialogs dialogs;
        RecordingShell shell;
        SystemClock clock;
        Program program(Switches({u"quilba"_s}), dialogs, shell, clock);
        CounterWindow& window = program.counterwindow();
        window.search()->setText(u"1010001"_s);
        window.btsearchClick();
        const QString refused = u"Connexion sécurisée refusée : le certificat du serveur n'est pas valide."_s;
        const QString message = u"json_data={\"FidelityMember\" : {\"id\":\"1\",\"criteria\":{}}}"_s;
        const Connection::Sent saved = program.connexion().put(message);

        if (accepted) {
            QVERIFY2(dialogs.texts().isEmpty(), qPrintable(dialogs.texts().join(u'|')));
            QVERIFY(!window.state().idle());
            QCOMPARE(window.lblnom()->text(), u"MME Marie DUPONT"_s);
            QVERIFY2(saved.result.envelope.startsWith(u"{\"code\":"_s), qPrintable(saved.result.envelope));
            QVERIFY2(saved.messages.isEmpty(), qPrintable(saved.messages.join(u'|')));
        } else {
            // The update check, the lookup and a save each fail with the same French text.
            QCOMPARE(dialogs.texts(), (QStringList{u"Erreur Connexion plateforme mise à jour"_s, refused}));
            QCOMPARE(saved.messages, QStringList{u"Erreur technique : "_s + refused});
            QVERIFY(window.state().idle());
            QVERIFY(!saved.reply.ok);
        }
    }

private:
    Certificates m_certificates;
};

QTEST_MAIN(TestTlsPlatform)
#include "tst_tls_platform.moc"
