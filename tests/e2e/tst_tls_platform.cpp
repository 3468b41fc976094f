#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestCertificates.h"

#include "api/Connection.h"
#include "app/Program.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "platform/Clock.h"
#include "settings/Switches.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

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

        LocalPlatform platform(m_certificates.platformoptions(certificate));
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const QString base = platform.base();
        QTemporaryDir work;
        platform.preparework(work.path());
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
    TestCertificates m_certificates;
};

QTEST_MAIN(TestTlsPlatform)
#include "tst_tls_platform.moc"
