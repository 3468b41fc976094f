#include "CaptureServer.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "SmallDisk.h"
#include "TestFiles.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "settings/Settings.h"
#include "settings/SettingsSession.h"
#include "settings/Updater.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kconnexionmissing = u"Vous devez renseigner les parametres de connexion"_s;
const QString kallzones = u"Vous devez renseigner toutes les zones"_s;
const QString klinebreak = u"Les paramètres ne doivent pas contenir de saut de ligne"_s;
const QString knotcomplete = u"Les parametres ne sont pas complets - l'application ne peut pas fonctionner"_s;
const QByteArray kcomplete = "[connexion]\nAPIKEY=cle\nLOGIN=pharma\nPWD=secret\nIDPHARMA=P42\n"
                             "URL=https://127.0.0.1:1/apiv1/webapi.do\n[pharmacie]\nville=Agde\n";

QByteArray basic(const QByteArray& credentials)
{
    return "Basic " + credentials.toBase64();
}

QByteArray authorization(const HttpClient& client)
{
    const HttpHeaders& headers = client.customheaders();
    return headers.empty() ? QByteArray() : headers.front().second;
}

void writeini(const QString& folder, const QByteArray& bytes)
{
    QFile ini(folder + u"/quilba.ini"_s);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(bytes);
}

// The session on a work folder, as start-up wires it: the counter client takes the header from
// the start, the connection holder's once it exists; an update server on loopback counts the
// checks (its empty reply is no version: nothing is offered).
struct Rig
{
    explicit Rig(const QString& workdir)
    {
        qputenv("QUILBA_WORKDIR", workdir.toUtf8());
        qputenv("QUILBA_UPDATE_URL", update.url(u"/updatequilba"_s).toUtf8());
    }
    ~Rig()
    {
        qunsetenv("QUILBA_WORKDIR");
        qunsetenv("QUILBA_UPDATE_URL");
    }
    // Start-up with settings that need no entry; what it told is forgotten.
    void started()
    {
        session.open();
        QVERIFY(!session.start());
        session.addclient(connection);
        dialogs.clear();
    }
    qsizetype updatechecks() const { return update.requests().size(); }

    CaptureServer update;
    Settings settings;
    ScriptedDialogs dialogs;
    ReplyBuffer buffer;
    RecordingShell shell;
    HttpClient counter{CounterClient::profile()};
    HttpClient connection{Connection::profile()};
    Updater updater{settings, buffer, dialogs, shell, counter};
    SettingsSession session{{settings, dialogs, counter, &updater}};
};

Settings::Values typedvalues()
{
    Settings::Values values;
    values.apikey = u"cle"_s;
    values.login = u"pharma"_s;
    values.password = u"secret"_s;
    values.idpharma = u"P42"_s;
    values.url = u"https://127.0.0.1:1/apiv1/webapi.do"_s;
    values.villepharma = u"Agde"_s;
    return values;
}

// A value of the typed ones, by the name of its box.
QString& typedvalue(Settings::Values& values, const QString& box)
{
    if (box == u"apikey")
        return values.apikey;
    if (box == u"login")
        return values.login;
    if (box == u"password")
        return values.password;
    if (box == u"idpharma")
        return values.idpharma;
    if (box == u"adr2pharma")
        return values.adr2pharma;
    if (box == u"villepharma")
        return values.villepharma;
    return values.libellepharma;
}

} // namespace

class TestSettingsSession : public QObject
{
    Q_OBJECT
private slots:
    // Start-up: what is told, whether the settings must be typed, the header and the update check.
    void start_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<bool>("entry");
        QTest::addColumn<QByteArray>("header");

        QTest::newRow("complete") << kcomplete << QString() << QStringList() << false
                                  << basic("cle;pharma:secret");
        // The URL is not tested at start.
        QTest::newRow("url empty") << QByteArray("[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=p\nIDPHARMA=i\nURL=\n")
                                   << QString() << QStringList() << false << basic("k;l:p");
        QTest::newRow("no file") << QByteArray() << QString() << QStringList{kconnexionmissing} << true
                                 << QByteArray();
        QTest::newRow("password empty")
            << QByteArray("[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=\nIDPHARMA=i\n") << QString()
            << QStringList{kconnexionmissing} << true << QByteArray();
        QTest::newRow("file unreadable")
            << QByteArray() << u"folder in place of the file"_s
            << QStringList{u"Erreur en lecture des parametres"_s, kconnexionmissing} << true << QByteArray();
        QTest::newRow("work folder cannot be created")
            << QByteArray() << u"file in place of the parent"_s
            << QStringList{u"Impossible de créer le répertoire de travail"_s, kconnexionmissing} << true
            << QByteArray();
    }
    void start()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, place);
        QFETCH(QStringList, told);
        QFETCH(bool, entry);
        QFETCH(QByteArray, header);
        QTemporaryDir dir;
        QString folder = dir.path();
        if (!ini.isEmpty())
            writeini(folder, ini);
        if (place == u"folder in place of the file")
            QVERIFY(QDir(folder).mkdir(u"quilba.ini"_s));
        if (place == u"file in place of the parent") {
            QFile blocker(dir.filePath(u"fichier"_s));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            folder = dir.filePath(u"fichier/Quilba"_s);
        }
        Rig rig(folder);

        rig.session.open();
        QCOMPARE(rig.settings.applicationdata(), folder + u'/');
        QCOMPARE(rig.session.start(), entry);
        QCOMPARE(rig.dialogs.texts(), told);
        QCOMPARE(authorization(rig.counter), header);
        // The update check runs only on settings complete at start.
        QCOMPARE(rig.updatechecks(), entry ? 0 : 1);
        QVERIFY(!rig.session.endrequested());
    }

    // "Valider" on complete settings with one value typed over: refused before anything is
    // stored, or stored, held and sent by every client of the platform.
    void validate_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("told");
        // -1: no box takes the keyboard.
        QTest::addColumn<int>("focus");
        QTest::addColumn<bool>("stored");

        using Box = SettingsSession::Box;
        for (const QString& required : {u"apikey"_s, u"idpharma"_s, u"password"_s, u"login"_s})
            QTest::addRow("%s empty", qPrintable(required))
                << required << QString() << QStringList{kallzones} << -1 << false;
        QTest::newRow("password ending with LF")
            << u"password"_s << u"nouveau\n"_s << QStringList{klinebreak} << int(Box::password) << false;
        QTest::newRow("api key with CR LF and a header")
            << u"apikey"_s << u"cle\r\nX-A: 1"_s << QStringList{klinebreak} << int(Box::apikey) << false;
        QTest::newRow("second address line with LF")
            << u"adr2pharma"_s << u"Bât. B\nEsc. 2"_s << QStringList{klinebreak} << int(Box::adr2pharma)
            << false;
        QTest::newRow("town with CR") << u"villepharma"_s << u"Agde\rSète"_s << QStringList{klinebreak}
                                      << int(Box::villepharma) << false;
        QTest::newRow("new password") << u"password"_s << u"nouveau"_s << QStringList() << -1 << true;
        QTest::newRow("pharmacy name")
            << u"libellepharma"_s << u"Pharmacie de l'Étang"_s << QStringList() << -1 << true;
    }
    void validate()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QStringList, told);
        QFETCH(int, focus);
        QFETCH(bool, stored);
        QTemporaryDir dir;
        writeini(dir.path(), kcomplete);
        Rig rig(dir.path());
        rig.started();
        const QString ini = dir.filePath(u"quilba.ini"_s);
        const QByteArray before = readfile(ini);
        const QByteArray held = basic("cle;pharma:secret");
        QCOMPARE(authorization(rig.counter), held);

        Settings::Values typed = typedvalues();
        typedvalue(typed, box) = text;
        const SettingsSession::Step step = rig.session.validate(typed);

        QCOMPARE(rig.dialogs.texts(), told);
        QCOMPARE(step.close, stored);
        QCOMPARE(step.focus.has_value(), focus >= 0);
        if (step.focus)
            QCOMPARE(int(*step.focus), focus);
        QVERIFY(!step.end);
        if (!stored) {
            QCOMPARE(readfile(ini), before);
            QCOMPARE(rig.settings.password(), u"secret"_s);
            QCOMPARE(authorization(rig.counter), held);
            QCOMPARE(authorization(rig.connection), QByteArray());
            return;
        }
        Settings reread(dir.path());
        QVERIFY(reread.read());
        const Settings::Values written = reread.values();
        QCOMPARE(written.password, typed.password);
        QCOMPARE(written.libellepharma, typed.libellepharma);
        QCOMPARE(written.villepharma, u"Agde"_s);
        QCOMPARE(rig.settings.password(), typed.password);
        const QByteArray now = basic("cle;pharma:" + typed.password.toUtf8());
        QCOMPARE(authorization(rig.counter), now);
        QCOMPARE(authorization(rig.connection), now);
        // Validating checks for no new version.
        QCOMPARE(rig.updatechecks(), 1);
    }

    // "Valider" when the file cannot take the values, on the real failure: the pharmacist is told
    // where and why, the window closes, the values and the header hold for the run, the old bytes
    // stay.
    void validateThatCannotWrite_data()
    {
        QTest::addColumn<bool>("readonlydisk");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only disk") << true << u"Le système de fichiers est en lecture seule."_s;
        QTest::newRow("folder in place of the file") << false << u"C'est un dossier, pas un fichier."_s;
    }
    void validateThatCannotWrite()
    {
        QFETCH(bool, readonlydisk);
        QFETCH(QString, reason);
        SmallDisk disk;
        QTemporaryDir dir;
        QString folder = dir.path();
        if (readonlydisk) {
            if (!disk.ok())
                QSKIP(qPrintable(disk.reason()));
            folder = disk.path();
            writeini(folder, kcomplete);
            QVERIFY(disk.makereadonly());
        } else {
            QVERIFY(QDir(folder).mkdir(u"quilba.ini"_s));
        }
        const QString ini = folder + u"/quilba.ini"_s;
        const QByteArray before = readonlydisk ? readfile(ini) : QByteArray();
        Rig rig(folder);
        rig.session.open();
        rig.session.start();
        rig.session.addclient(rig.connection);
        rig.dialogs.clear();

        Settings::Values typed = typedvalues();
        typed.password = u"nouveau"_s;
        const SettingsSession::Step step = rig.session.validate(typed);

        QCOMPARE(rig.dialogs.shown().size(), 1);
        QCOMPARE(rig.dialogs.shown().at(0).kind, u"exception"_s);
        QCOMPARE(rig.dialogs.shown().at(0).text,
                 u"Impossible d'enregistrer les paramètres dans « "_s + QDir::toNativeSeparators(ini) +
                     u" ».\n"_s + reason +
                     u"\nLes paramètres saisis restent utilisés jusqu'à la fermeture du programme."_s);
        QVERIFY(step.close);
        QVERIFY(!step.focus);
        if (readonlydisk)
            QCOMPARE(readfile(ini), before);
        else
            QVERIFY(QFileInfo(ini).isDir());
        QCOMPARE(rig.settings.password(), u"nouveau"_s);
        QCOMPARE(authorization(rig.counter), basic("cle;pharma:nouveau"));
        QCOMPARE(authorization(rig.connection), basic("cle;pharma:nouveau"));
    }

    // "Annuler" tests the held values, never the typed ones: the URL counts too.
    void cancel_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("validatedatstart");
        QTest::addColumn<bool>("ends");

        QTest::newRow("complete") << kcomplete << false << false;
        QTest::newRow("url empty") << QByteArray("[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=p\nIDPHARMA=i\nURL=\n")
                                   << false << true;
        QTest::newRow("no file") << QByteArray() << false << true;
        QTest::newRow("no file, validated at start") << QByteArray() << true << false;
    }
    void cancel()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, validatedatstart);
        QFETCH(bool, ends);
        QTemporaryDir dir;
        if (!ini.isEmpty())
            writeini(dir.path(), ini);
        Rig rig(dir.path());
        QSignalSpy ended(&rig.session, &SettingsSession::endapplication);
        rig.session.open();
        if (rig.session.start() && validatedatstart)
            QVERIFY(rig.session.validate(typedvalues()).close);
        rig.dialogs.clear();
        const QByteArray header = authorization(rig.counter);

        const SettingsSession::Step step = rig.session.cancel();

        QVERIFY(step.close);
        QVERIFY(!step.focus);
        QCOMPARE(step.end, ends);
        QCOMPARE(rig.session.endrequested(), ends);
        QCOMPARE(ended.count(), ends ? 1 : 0);
        QCOMPARE(rig.dialogs.texts(), ends ? QStringList{knotcomplete} : QStringList());
        QCOMPARE(authorization(rig.counter), header);
    }
};

QTEST_GUILESS_MAIN(TestSettingsSession)
#include "tst_settingssession.moc"
