#include "CaptureServer.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "settings/Settings.h"
#include "settings/Updater.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(CaptureServer::Reply)

namespace {

const QString kquestion =
    u"Une nouvelle version est disponible\r\nVoulez vous installer la nouvelle version"_s;
const QString kconnexion = u"Erreur Connexion plateforme mise à jour"_s;

// A setup program's bytes: binary, with line breaks and zeros that must reach the file untouched.
QByteArray setupbytes()
{
    QByteArray bytes("MZ\x90\x00\x03\x00\r\n\n\r\x00\xff", 12);
    for (int i = 0; i < 40000; ++i)
        bytes.append(char(i * 7));
    return bytes;
}

// What the parameters window is told while the setup program downloads.
class RecordingDisplay final : public Updater::Display
{
public:
    void showprogress() override { events.append(u"show"_s); }
    void httpmajWorkBegin(qint64 expected) override
    {
        events.append(u"begin "_s + QString::number(expected));
    }
    void httpmajWork(qint64 count) override { events.append(u"work "_s + QString::number(count)); }
    void httpmajWorkEnd() override { events.append(u"end"_s); }

    QString last(const QString& kind) const
    {
        for (qsizetype i = events.size() - 1; i >= 0; --i) {
            if (events.at(i).startsWith(kind))
                return events.at(i);
        }
        return {};
    }

    QStringList events;
};

QByteArray readfile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_work.isValid());
        QFile::remove(setuppath());
        m_server = std::make_unique<CaptureServer>();
        qputenv("QUILBA_UPDATE_URL", m_server->url(u"/updatequilba"_s).toUtf8());
    }

    // The version request: a form post with an empty body, with the updater's own headers and
    // neither Accept-Charset nor Authorization. The reply lands in the reply buffer.
    void versionRequestBytes()
    {
        m_server->enqueue(CaptureServer::ok("1.4\n"));
        Fixture f(*this);
        f.counter.setcustomheaders({{"Authorization", "Basic a2V5OnB3"}});
        f.updater.checkupdate();

        QCOMPARE(m_server->requests().size(), 1);
        // clang-format off
        QCOMPARE(m_server->requests().front(),
                 "POST /updatequilba/version.html HTTP/1.0\r\n"
                 "Connection: keep-alive\r\n"
                 "Content-Type: application/x-www-form-urlencoded\r\n"
                 "Content-Length: 0\r\n"
                 "Host: 127.0.0.1:" + QByteArray::number(m_server->port()) + "\r\n"
                 "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
                 "Accept-Encoding: identity\r\n"
                 "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                 "\r\n");
        // clang-format on
        QCOMPARE(f.buffer.bytes(), QByteArray("1.4\r\n"));
        QVERIFY(f.dialogs.shown().isEmpty());
    }

    // Only a newer version is offered; a reply that is no version says nothing; a failed request
    // says so. Every offer here is answered No: no file, no second request, nothing started.
    void versionReplies_data()
    {
        QTest::addColumn<CaptureServer::Reply>("reply");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("newer, No") << CaptureServer::ok("1.5") << QStringList{kquestion};
        QTest::newRow("newer by number, No") << CaptureServer::ok("1.10\r\n") << QStringList{kquestion};
        QTest::newRow("same") << CaptureServer::ok("1.4") << QStringList();
        QTest::newRow("same with line break") << CaptureServer::ok("1.4\n") << QStringList();
        QTest::newRow("older") << CaptureServer::ok("1.3.9") << QStringList();
        QTest::newRow("html page") << CaptureServer::ok("<html><body>Maintenance</body></html>")
                                   << QStringList();
        QTest::newRow("empty") << CaptureServer::ok("") << QStringList();
        QTest::newRow("redirected") << CaptureServer::status("HTTP/1.1 302 Found", "2.0",
                                                             "Location: /ailleurs\r\n")
                                    << QStringList();
        QTest::newRow("not found") << CaptureServer::status("HTTP/1.1 404 Not Found", "2.0")
                                   << QStringList{kconnexion};
        QTest::newRow("server error")
            << CaptureServer::status("HTTP/1.1 500 Internal Server Error", "") << QStringList{kconnexion};
        QTest::newRow("closed without reply") << CaptureServer::closed() << QStringList{kconnexion};
    }
    void versionReplies()
    {
        QFETCH(CaptureServer::Reply, reply);
        QFETCH(QStringList, boxes);
        m_server->enqueue(reply);
        Fixture f(*this);
        f.dialogs.script({false});
        f.updater.checkupdate();

        QCOMPARE(f.dialogs.texts(), boxes);
        for (const ScriptedDialogs::Shown& shown : f.dialogs.shown())
            QCOMPARE(shown.kind, shown.text == kquestion ? u"question"_s : u"information"_s);
        QCOMPARE(m_server->requests().size(), 1);
        QVERIFY(!QFile::exists(setuppath()));
        QVERIFY(f.shell.starts().isEmpty());
        QVERIFY(f.shell.updates().isEmpty());
        QVERIFY(f.display.events.isEmpty());
    }

    void unreachableServer()
    {
        const QString gone = closedurl();
        qputenv("QUILBA_UPDATE_URL", gone.toUtf8());
        Fixture f(*this);
        f.updater.checkupdate();
        QCOMPARE(f.dialogs.texts(), QStringList{kconnexion});
    }

    // Yes: the setup program is downloaded whole, written over an older one in the work folder and
    // started with the setup arguments; the bar follows the bytes and is hidden at the end.
    void yesWritesAndStarts_data()
    {
        QTest::addColumn<CaptureServer::Reply>("download");
        QTest::addColumn<qint64>("announced");
        const QByteArray bytes = setupbytes();
        QTest::newRow("with length") << CaptureServer::ok(bytes) << qint64(bytes.size());
        QTest::newRow("chunked, no length")
            << CaptureServer::chunked({bytes.left(5000), bytes.mid(5000)}) << qint64(-1);
        QTest::newRow("until closed, no length") << CaptureServer::closedelimited(bytes) << qint64(-1);
    }
    void yesWritesAndStarts()
    {
        QFETCH(CaptureServer::Reply, download);
        QFETCH(qint64, announced);
        writefile(setuppath(), "old setup");
        m_server->enqueue(CaptureServer::ok("1.5"));
        m_server->enqueue(download);
        Fixture f(*this);
        f.updater.checkupdate();

        QCOMPARE(f.dialogs.texts(), QStringList{kquestion});
        QCOMPARE(m_server->requests().size(), 2);
        const QByteArray get = m_server->requests().at(1);
        QVERIFY2(get.startsWith("GET /updatequilba/setup.exe HTTP/1.1\r\n"), get.constData());
        QVERIFY(get.contains("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"));
        QVERIFY(!get.contains("Authorization"));
        QVERIFY(!get.contains("Accept-Charset"));

        QCOMPARE(readfile(setuppath()), setupbytes());
        QCOMPARE(f.shell.starts().size(), 1);
        QCOMPARE(f.shell.starts().front().program, setuppath());
        QCOMPARE(f.shell.starts().front().arguments,
                 u"/SILENT /FORCECLOSEAPPLICATIONS /RESTARTAPPLICATIONS /DIR=\""_s +
                     QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/') + u'"');

        QCOMPARE(f.display.events.first(), u"show"_s);
        QCOMPARE(f.display.events.last(), u"end"_s);
        QCOMPARE(f.display.last(u"begin"_s), u"begin "_s + QString::number(announced));
        QCOMPARE(f.display.last(u"work"_s), u"work "_s + QString::number(setupbytes().size()));
        QVERIFY(f.display.events.indexOf(u"begin "_s + QString::number(announced)) <
                f.display.events.indexOf(u"work "_s + QString::number(setupbytes().size())));
    }

    // A download that fails, is empty or stops short is neither written nor started, and nothing is
    // said; the bar is hidden.
    void yesWithoutWholeDownload_data()
    {
        QTest::addColumn<CaptureServer::Reply>("download");
        QTest::newRow("cut short") << CaptureServer::raw(
            "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + setupbytes().left(30000), true);
        QTest::newRow("empty") << CaptureServer::ok("");
        QTest::newRow("not found") << CaptureServer::status("HTTP/1.1 404 Not Found", "<html>absent</html>");
        QTest::newRow("redirected") << CaptureServer::status("HTTP/1.1 302 Found", "",
                                                             "Location: /ailleurs\r\n");
        QTest::newRow("closed without reply") << CaptureServer::closed();
    }
    void yesWithoutWholeDownload()
    {
        QFETCH(CaptureServer::Reply, download);
        m_server->enqueue(CaptureServer::ok("2"));
        // When the kept connection closes without a byte, the request is tried once more on a new
        // one: it meets the same answer.
        m_server->enqueue(download);
        m_server->enqueue(download);
        Fixture f(*this);
        f.updater.checkupdate();

        QCOMPARE(f.dialogs.texts(), QStringList{kquestion});
        QVERIFY(m_server->requests().size() >= 2);
        QVERIFY(!QFile::exists(setuppath()));
        QVERIFY(f.shell.starts().isEmpty());
        QCOMPARE(f.display.events.first(), u"show"_s);
        QCOMPARE(f.display.events.last(), u"end"_s);
    }

    // A work folder that cannot take the file: nothing is started, nothing is said.
    void unwritableWorkFolder()
    {
        m_server->enqueue(CaptureServer::ok("1.5"));
        m_server->enqueue(CaptureServer::ok(setupbytes()));
        Fixture f(*this, m_work.filePath(u"absent/folder"_s));
        f.updater.checkupdate();

        QCOMPARE(f.dialogs.texts(), QStringList{kquestion});
        QCOMPARE(m_server->requests().size(), 2);
        QVERIFY(f.shell.starts().isEmpty());
        QCOMPARE(f.display.events.last(), u"end"_s);
    }

    // The counter client's proxy is copied before each check, not once: both requests go through
    // the proxy the counter client had at that moment, with its credentials sent at once.
    void proxyCopiedBeforeEachCheck()
    {
        qputenv("QUILBA_UPDATE_URL", "http://maj.example.invalid/updatequilba");
        CaptureServer first;
        CaptureServer second;
        first.enqueue(CaptureServer::ok("1.4"));
        second.enqueue(CaptureServer::ok("1.4"));
        Fixture f(*this);
        f.counter.setproxy({u"127.0.0.1"_s, first.port(), u"USER"_s, u"pw"_s});
        f.updater.checkupdate();
        f.counter.setproxy({u"127.0.0.1"_s, second.port(), u"OTHER"_s, u"pw2"_s});
        f.updater.checkupdate();

        QVERIFY(f.dialogs.shown().isEmpty());
        QCOMPARE(first.requests().size(), 1);
        QCOMPARE(second.requests().size(), 1);
        for (const auto& [server, credentials] :
             {std::pair{&first, QByteArray("USER:pw")}, std::pair{&second, QByteArray("OTHER:pw2")}}) {
            const QByteArray request = server->requests().front();
            QVERIFY(
                request.startsWith("POST http://maj.example.invalid/updatequilba/version.html HTTP/1.0\r\n"));
            QVERIFY(request.contains(
                QByteArray("Proxy-Authorization: Basic " + credentials.toBase64() + "\r\n")));
        }
    }

    // Debian, Yes: the system is asked to run the package's installer with the repository of the
    // update location and the offered version, and nothing else is requested from the server or
    // written into the work folder.
    void repositoryArguments_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QString>("offered");
        QTest::newRow("location") << u"/updatequilba"_s << QByteArray("1.5.0") << u"1.5.0"_s;
        QTest::newRow("final slashes") << u"/updatequilba//"_s << QByteArray("2") << u"2"_s;
        QTest::newRow("blanks around the version")
            << u"/updatequilba"_s << QByteArray(" 1.10\r\n") << u"1.10"_s;
    }
    void repositoryArguments()
    {
        QFETCH(QString, location);
        QFETCH(QByteArray, version);
        QFETCH(QString, offered);
        qputenv("QUILBA_UPDATE_URL", m_server->url(location).toUtf8());
        m_server->enqueue(CaptureServer::ok(version));
        Fixture f(*this, {}, Updater::Installer::DebianRepository);
        f.updater.checkupdate();

        const QList<QStringList> asked{{m_server->url(u"/updatequilba/debian"_s), offered}};
        QCOMPARE(f.shell.updates(), asked);
        QCOMPARE(m_server->requests().size(), 1);
        QVERIFY(QDir(m_work.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(f.shell.starts().isEmpty());
    }

    // How the installer's run ended, as the pharmacist is told it; the bar follows the installer's
    // progress lines (the others are not progress) and is hidden at the end.
    void repositoryOutcomes_data()
    {
        QTest::addColumn<int>("ended");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        using Ended = UpdateRun::Ended;
        const QString refused = u"La mise à jour n'a pas été installée : "_s;
        const QString broken =
            refused + u"le programme d'installation de Quilba s'est arrêté sur une erreur."_s;
        QTest::newRow("installed")
            << int(Ended::Finished) << 0
            << u"La version 1.5.0 de Quilba est installée : elle s'ouvrira au prochain démarrage du programme."_s;
        QTest::newRow("question dismissed") << int(Ended::Declined) << 0 << QString();
        QTest::newRow("not authorised")
            << int(Ended::NotAuthorised) << 0 << refused + u"le système ne l'a pas autorisée."_s;
        QTest::newRow("no pkexec")
            << int(Ended::NoElevation) << 0
            << refused +
                   u"ce poste n'a pas pkexec, qui demande l'accord d'un administrateur (paquet pkexec)."_s;
        QTest::newRow("no installer")
            << int(Ended::NoInstaller) << 0
            << refused +
                   u"le programme d'installation de Quilba est introuvable (réinstallez le paquet quilba)."_s;
        QTest::newRow("installer crashed") << int(Ended::Broken) << 0 << broken;
        QTest::newRow("wrong arguments") << int(Ended::Finished) << 1 << broken;
        QTest::newRow("unreachable") << int(Ended::Finished) << 2
                                     << refused + u"le dépôt de mise à jour de Quilba ne répond pas."_s;
        QTest::newRow("not signed by Quilba")
            << int(Ended::Finished) << 3
            << refused + u"le dépôt de mise à jour n'est pas signé par la clé de Quilba."_s;
        QTest::newRow("no such version")
            << int(Ended::Finished) << 4
            << refused + u"la version 1.5.0 n'est pas dans le dépôt de mise à jour."_s;
        QTest::newRow("hash mismatch")
            << int(Ended::Finished) << 5
            << refused +
                   u"le paquet de la version 1.5.0 n'a pas été reçu tel que le dépôt signé de Quilba le décrit."_s;
        QTest::newRow("apt refused to install")
            << int(Ended::Finished) << 6
            << refused +
                   u"le système a refusé de l'installer (dépendances manquantes ou autre installation en cours)."_s;
        QTest::newRow("unknown status") << int(Ended::Finished) << 9 << broken;
    }
    void repositoryOutcomes()
    {
        QFETCH(int, ended);
        QFETCH(int, code);
        QFETCH(QString, message);
        m_server->enqueue(CaptureServer::ok("1.5.0\n"));
        Fixture f(*this, {}, Updater::Installer::DebianRepository);
        f.shell.scriptupdate({"progression 0", "Lecture des listes", "progression 40", "progression 101",
                              "progression -5", "progression 4x", "progression 100"},
                             {UpdateRun::Ended(ended), code});
        f.updater.checkupdate();

        QStringList boxes{kquestion};
        if (!message.isEmpty())
            boxes << message;
        QCOMPARE(f.dialogs.texts(), boxes);
        for (const ScriptedDialogs::Shown& shown : f.dialogs.shown())
            QCOMPARE(shown.kind, shown.text == kquestion ? u"question"_s : u"information"_s);
        QCOMPARE(f.display.events, (QStringList{u"show"_s, u"begin 100"_s, u"work 0"_s, u"work 40"_s,
                                                u"work 100"_s, u"end"_s}));
    }

    // While the administrator is being asked, the installer says nothing: the bar stays busy.
    void repositoryWithoutProgress()
    {
        m_server->enqueue(CaptureServer::ok("1.5.0"));
        Fixture f(*this, {}, Updater::Installer::DebianRepository);
        f.shell.scriptupdate({}, {UpdateRun::Ended::Declined, 0});
        f.updater.checkupdate();
        QCOMPARE(f.dialogs.texts(), QStringList{kquestion});
        QCOMPARE(f.display.events, (QStringList{u"show"_s, u"end"_s}));
    }

private:
    struct Fixture
    {
        // The Windows way by default: setup.exe.
        Fixture(TestUpdater& test, const QString& work = {},
                Updater::Installer installer = Updater::Installer::SetupProgram)
            : settings(work.isEmpty() ? test.m_work.path() : work), counter(CounterClient::profile()),
              updater(settings, buffer, dialogs, shell, counter)
        {
            updater.setdisplay(&display);
            updater.setinstaller(installer);
        }
        Settings settings;
        ReplyBuffer buffer;
        ScriptedDialogs dialogs;
        RecordingShell shell;
        RecordingDisplay display;
        HttpClient counter;
        Updater updater;
    };

    QString setuppath() const { return m_work.filePath(u"setup.exe"_s); }
    static void writefile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QString closedurl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return u"http://127.0.0.1:"_s + QString::number(port) + u"/updatequilba"_s;
    }

    QTemporaryDir m_work;
    std::unique_ptr<CaptureServer> m_server;
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
