#include "SmallDisk.h"
#include "TestFiles.h"
#include "platform/WorkFolder.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

void writefile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

Settings::Values credentials(const QString& apikey, const QString& login, const QString& password)
{
    Settings::Values values;
    values.apikey = apikey;
    values.login = login;
    values.password = password;
    values.idpharma = QStringLiteral("P1");
    values.url = Settings::defaulturl();
    return values;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void noFileGivesDefaults()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        QVERIFY(settings.read());
        QCOMPARE(settings.applicationdata(), dir.path() + u'/');
        QVERIFY(settings.apikey().isEmpty());
        QVERIFY(settings.login().isEmpty());
        QVERIFY(settings.password().isEmpty());
        QVERIFY(settings.idpharma().isEmpty());
        QCOMPARE(settings.url(), Settings::defaulturl());
        QCOMPARE(QUrl(settings.url()).scheme(), QStringLiteral("https"));
        QCOMPARE(QUrl(settings.url()).path(), QStringLiteral("/apiv1/webapi.do"));
        QCOMPARE(settings.getpharmacie(), QStringList(5, QString()));
        QVERIFY(!settings.complete());
        QVERIFY(!settings.cancelallowed());
        QVERIFY(!QFile::exists(settings.inipath()));
    }

    void completeness_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("cancelallowed");
        const QByteArray four = "[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=p\nIDPHARMA=i\n";
        QTest::newRow("four, url absent") << four << true << true;
        QTest::newRow("four, url empty") << QByteArray(four + "URL=\n") << true << false;
        QTest::newRow("four, url given")
            << QByteArray(four + "URL=https://x/apiv1/webapi.do\n") << true << true;
        QTest::newRow("login empty") << QByteArray("[connexion]\nAPIKEY=k\nLOGIN=\nPWD=p\nIDPHARMA=i\n")
                                     << false << false;
        QTest::newRow("idpharma absent")
            << QByteArray("[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=p\n") << false << false;
        QTest::newRow("names in other case")
            << QByteArray("[CONNEXION]\napikey=k\nLogin=l\npwd=p\nidPharma=i\n") << true << true;
    }
    void completeness()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, complete);
        QFETCH(bool, cancelallowed);
        QTemporaryDir dir;
        Settings settings(dir.path());
        writefile(settings.inipath(), ini);
        QVERIFY(settings.read());
        QCOMPARE(settings.complete(), complete);
        QCOMPARE(settings.cancelallowed(), cancelallowed);
    }

    void authorizationvalue_data()
    {
        QTest::addColumn<QString>("apikey");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QStringLiteral("key") << QStringLiteral("user") << QStringLiteral("pass")
                               << QByteArray("key;user:pass");
        QTest::newRow("latin-1 byte") << QStringLiteral("clé") << QStringLiteral("zoé") << QStringLiteral("ÿ")
                                      << QByteArray("cl\xE9;zo\xE9:\xFF");
        QTest::newRow("beyond latin-1") << QStringLiteral("€uro") << QStringLiteral("Œil")
                                        << QStringLiteral("p\u2019s") << QByteArray("?uro;?il:p?s");
        QTest::newRow("surrogate pair is one character")
            << QStringLiteral("a\U0001F600b") << QStringLiteral("l") << QStringLiteral("p")
            << QByteArray("a?b;l:p");
        QTest::newRow("empty login keeps both separators")
            << QStringLiteral("k") << QString() << QStringLiteral("p") << QByteArray("k;:p");
        QTest::newRow("all empty") << QString() << QString() << QString() << QByteArray(";:");
    }
    void authorizationvalue()
    {
        QFETCH(QString, apikey);
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        Settings settings(dir.path());
        settings.write(credentials(apikey, login, password));
        const QByteArray value = settings.authorizationvalue();
        QVERIFY(value.startsWith("Basic "));
        const QByteArray encoded = value.mid(6);
        QCOMPARE(encoded, bytes.toBase64());
        QCOMPARE(QByteArray::fromBase64(encoded), bytes);

        const HttpHeaders headers = settings.authorizationheaders();
        QCOMPARE(headers.size(), std::size_t(1));
        QCOMPARE(headers.front().first, QByteArray("Authorization"));
        QCOMPARE(headers.front().second, value);
    }

    void authorizationvalueKnownText()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        settings.write(credentials(QStringLiteral("key"), QStringLiteral("user"), QStringLiteral("pass")));
        QCOMPARE(settings.authorizationvalue(), QByteArray("Basic a2V5O3VzZXI6cGFzcw=="));
    }

    void writeStoresTenKeysInOrder()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        Settings::Values values = credentials(QStringLiteral("k"), QStringLiteral("l"), QStringLiteral("p"));
        values.libellepharma = QStringLiteral("Pharmacie du Port");
        values.cppharma = QStringLiteral("34500");
        values.villepharma = QStringLiteral("Béziers");
        QVERIFY(settings.write(values));
        QCOMPARE(settings.getpharmacie(),
                 (QStringList{QStringLiteral("Pharmacie du Port"), QString(), QString(),
                              QStringLiteral("34500"), QStringLiteral("Béziers")}));

        const QByteArray expected =
            "[connexion]\nAPIKEY=k\nLOGIN=l\nPWD=p\nIDPHARMA=P1\nURL=" + Settings::defaulturl().toUtf8() +
            "\n[pharmacie]\nlibelle=Pharmacie du Port\nadresse=\nadresse2=\n"
            "cp=34500\nville=B\xC3\xA9ziers";
        QCOMPARE(filledlines(settings.inipath()), expected);

        Settings again(dir.path());
        QVERIFY(again.read());
        QCOMPARE(again.apikey(), QStringLiteral("k"));
        QCOMPARE(again.idpharma(), QStringLiteral("P1"));
        QCOMPARE(again.getpharmacie(), settings.getpharmacie());
    }

    void writeKeepsCommentsAndOtherKeys()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        writefile(settings.inipath(), "; poste 2\n[connexion]\nPROXY=oui\nLOGIN=ancien\n\n[autre]\nx=1\n");
        QVERIFY(settings.read());
        QVERIFY(
            settings.write(credentials(QStringLiteral("k"), QStringLiteral("nouveau"), QStringLiteral("p"))));
        const QByteArray text = filledlines(settings.inipath());
        QVERIFY2(text.startsWith("; poste 2\n[connexion]\nPROXY=oui\nLOGIN=nouveau\n"), text.constData());
        QVERIFY2(text.contains("[autre]\nx=1\n"), text.constData());
        QCOMPARE(text.count("LOGIN="), 1);
    }

    void readAndWriteFailuresAreReported()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        // The settings file's name is taken by a folder: it exists but cannot be read.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("quilba.ini")));
        QVERIFY(!settings.read());
        QVERIFY(!settings.errorstring().isEmpty());
        QCOMPARE(settings.url(), Settings::defaulturl());
        QVERIFY(!settings.write(credentials(QStringLiteral("k"), QStringLiteral("l"), QStringLiteral("p"))));
        QVERIFY(!settings.errorstring().isEmpty());
        // Held all the same for this run.
        QCOMPARE(settings.apikey(), QStringLiteral("k"));

        Settings nowhere(dir.path() + QStringLiteral("/absent"));
        QVERIFY(nowhere.read());
        QVERIFY(!nowhere.write(credentials(QStringLiteral("k"), QStringLiteral("l"), QStringLiteral("p"))));
    }

    void urlupdate()
    {
        Settings settings;
        qunsetenv("QUILBA_UPDATE_URL");
        const QUrl url(settings.urlupdate());
        QCOMPARE(url.scheme(), QStringLiteral("http"));
        QCOMPARE(url.path(), QStringLiteral("/updatequilba"));
        qputenv("QUILBA_UPDATE_URL", "http://127.0.0.1:8123/updatequilba");
        QCOMPARE(settings.urlupdate(), QStringLiteral("http://127.0.0.1:8123/updatequilba"));
        qunsetenv("QUILBA_UPDATE_URL");
    }

    void iniRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const auto same = [](const char* name, const QString& value) {
            QTest::newRow(name) << value << value;
        };
        same("plain", QStringLiteral("abc"));
        same("empty", QString());
        same("comma", QStringLiteral("a, b,c"));
        same("semicolon", QStringLiteral("a;b"));
        same("starts with semicolon", QStringLiteral("; not a comment"));
        same("starts with hash", QStringLiteral("#1"));
        same("equals", QStringLiteral("a=b=c"));
        same("accents and euro", QStringLiteral("Pharmacie de l'Étang €"));
        same("leading blanks", QStringLiteral("  a"));
        same("trailing blanks", QStringLiteral("a  "));
        same("blanks only", QStringLiteral("   "));
        same("tab inside and at the end", QStringLiteral("a\tb\t"));
        same("enclosed in quotes", QStringLiteral("\"a b\""));
        same("two quotes", QStringLiteral("\"\""));
        same("one quote", QStringLiteral("\""));
        same("opening quote only", QStringLiteral("\"abc"));
        same("quotes inside", QStringLiteral("a \"b\" c"));
        same("quoted with blanks", QStringLiteral(" \"a\" "));
        same("multi-line tag", QStringLiteral("<<<END"));
        same("brackets", QStringLiteral("[pharmacie]"));
        same("backslashes", QStringLiteral("C:\\Quilba\\n"));
        same("control characters", QStringLiteral("a\x01"
                                                  "b\x07"
                                                  "c\x1F"
                                                  "d\x7F"
                                                  "e\u2028"
                                                  "f"));
        same("emoji", QStringLiteral("\U0001F600 \U0001F44D\U0001F3FD \U0001F1EB\U0001F1F7"));
        same("10000 characters", QStringLiteral("a\"=;\\é").repeated(1667).left(10000));
        same("json_data", QStringLiteral("json_data={\"FidelityMember\":{}}&x=%22"));
        same("begins with U+FEFF", QStringLiteral("\uFEFFa"));
        QTest::newRow("line breaks become blanks")
            << QStringLiteral("a\r\nURL=x\nb") << QStringLiteral("a  URL=x b");
        QTest::newRow("NUL becomes a blank")
            << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << QStringLiteral("a b");
    }
    void iniRoundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.ini"));
        {
            IniFile ini(path);
            QVERIFY(ini.load());
            ini.setvalue(QStringLiteral("pharmacie"), QStringLiteral("libelle"), value);
            ini.setvalue(QStringLiteral("pharmacie"), QStringLiteral("ville"), QStringLiteral("after"));
            QVERIFY(ini.save());
        }
        IniFile ini(path);
        QVERIFY(ini.load());
        QCOMPARE(ini.value(QStringLiteral("pharmacie"), QStringLiteral("libelle")), expected);
        // The value cannot spill over into the next key.
        QCOMPARE(ini.value(QStringLiteral("pharmacie"), QStringLiteral("ville")), QStringLiteral("after"));
        QCOMPARE(ini.value(QStringLiteral("connexion"), QStringLiteral("URL"), QStringLiteral("none")),
                 QStringLiteral("none"));
    }

    // Every value of the settings with the same hostile text: the next run reads what this run
    // holds, and the Authorization header built from it stays one line.
    void hostileSettings_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("held");
        QTest::newRow("double quotes") << QStringLiteral("\"k\"ey\"") << QStringLiteral("\"k\"ey\"");
        QTest::newRow("backslashes") << QStringLiteral("C:\\k\\") << QStringLiteral("C:\\k\\");
        QTest::newRow("control characters")
            << QStringLiteral("k\x01\x1F\x7F\t") << QStringLiteral("k\x01\x1F\x7F\t");
        QTest::newRow("emoji") << QStringLiteral("k\U0001F600") << QStringLiteral("k\U0001F600");
        QTest::newRow("10000 characters") << QStringLiteral("k=;").repeated(3334).left(10000)
                                          << QStringLiteral("k=;").repeated(3334).left(10000);
        QTest::newRow("json_data") << QStringLiteral("json_data={\"a\":1}")
                                   << QStringLiteral("json_data={\"a\":1}");
        QTest::newRow("header injection")
            << QStringLiteral("k\r\nX-Injected: 1\r\n") << QStringLiteral("k  X-Injected: 1  ");
    }
    void hostileSettings()
    {
        QFETCH(QString, value);
        QFETCH(QString, held);
        QTemporaryDir dir;
        Settings settings(dir.path());
        Settings::Values values;
        for (QString* field : {&values.apikey, &values.login, &values.password, &values.idpharma, &values.url,
                               &values.libellepharma, &values.adrpharma, &values.adr2pharma, &values.cppharma,
                               &values.villepharma})
            *field = value;
        QVERIFY(settings.write(values));
        Settings next(dir.path());
        QVERIFY(next.read());
        for (const Settings* run : {&settings, &next}) {
            QCOMPARE(run->apikey(), held);
            QCOMPARE(run->login(), held);
            QCOMPARE(run->password(), held);
            QCOMPARE(run->idpharma(), held);
            QCOMPARE(run->url(), held);
            QCOMPARE(run->getpharmacie(), QStringList(5, held));
        }
        const QByteArray header = next.authorizationvalue();
        QCOMPARE(header, settings.authorizationvalue());
        QVERIFY(!header.contains('\r') && !header.contains('\n') && !header.contains('\0'));
        QVERIFY(header.startsWith("Basic "));
        QCOMPARE(QByteArray::fromBase64(header.mid(6)).size(), 3 * (held.toUcs4().size()) + 2);
    }

    // The settings file holds the password: it is for its owner and group, whatever the umask;
    // a narrower mode given to the file is kept.
    void fileModes_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("existing"); // -1: no file yet
        QTest::addColumn<int>("mode");
        QTest::newRow("new, umask 000") << 0000 << -1 << 0660;
        QTest::newRow("new, umask 022") << 0022 << -1 << 0660;
        QTest::newRow("new, umask 077") << 0077 << -1 << 0660;
        QTest::newRow("readable by all") << 0000 << 0666 << 0660;
        QTest::newRow("owner only") << 0000 << 0600 << 0600;
        QTest::newRow("group reads") << 0022 << 0640 << 0640;
    }
    void fileModes()
    {
        QFETCH(int, umask);
        QFETCH(int, existing);
        QFETCH(int, mode);
        QTemporaryDir dir;
        Settings settings(dir.path());
        if (existing >= 0) {
            writefile(settings.inipath(), "[connexion]\nLOGIN=a\n");
            QVERIFY(::chmod(QFile::encodeName(settings.inipath()).constData(), mode_t(existing)) == 0);
        }
        const mode_t previous = ::umask(mode_t(umask));
        const bool written =
            settings.write(credentials(QStringLiteral("k"), QStringLiteral("l"), QStringLiteral("p")));
        ::umask(previous);
        QVERIFY(written);
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(settings.inipath()).constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 07777), mode);
    }

    // A write that fails half-way (the file size limit reached) leaves the settings file as it
    // was, and no temporary file beside it.
    void failedWriteKeepsTheFile()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        const QByteArray before = "[connexion]\nAPIKEY=old\nLOGIN=l\nPWD=p\nIDPHARMA=1\n";
        writefile(settings.inipath(), before);
        Settings::Values values =
            credentials(QStringLiteral("new"), QStringLiteral("l"), QStringLiteral("p"));
        values.libellepharma = QStringLiteral("x").repeated(100000);

        struct rlimit limit;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const struct rlimit saved = limit;
        limit.rlim_cur = 4096;
        const auto previoushandler = ::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const bool written = settings.write(values);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previoushandler);

        QVERIFY(!written);
        QVERIFY(!settings.errorstring().isEmpty());
        QCOMPARE(readfile(settings.inipath()), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("quilba.ini")});
        Settings next(dir.path());
        QVERIFY(next.read());
        QCOMPARE(next.apikey(), QStringLiteral("old"));
    }

    // A write the disk refuses, and a link planted in the file's place: the old bytes stay where
    // they were (the link's target untouched, the link still a link), nothing is left beside them,
    // and the reason is told in French. The disk rows run on a real small tmpfs.
    void refusedWriteKeepsTheOldBytes_data()
    {
        QTest::addColumn<QString>("place"); // "full", "readonly", "link"
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << QStringLiteral("full")
                                   << QStringLiteral("Plus de place sur le disque.");
        QTest::newRow("read-only file system")
            << QStringLiteral("readonly") << QStringLiteral("Le système de fichiers est en lecture seule.");
        QTest::newRow("link to another file")
            << QStringLiteral("link")
            << QStringLiteral(
                   "Le fichier est un lien symbolique : par sécurité, il n'est ni suivi ni remplacé.");
    }
    void refusedWriteKeepsTheOldBytes()
    {
        QFETCH(QString, place);
        QFETCH(QString, reason);
        const QByteArray before = "[connexion]\nAPIKEY=old\nLOGIN=l\nPWD=p\nIDPHARMA=1\n";
        SmallDisk disk;
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        QString folder = dir.path();
        QString holder; // the file whose bytes must stay
        if (place == QStringLiteral("link")) {
            holder = elsewhere.filePath(QStringLiteral("notes.txt"));
            writefile(holder, before);
            QVERIFY(::chmod(QFile::encodeName(holder).constData(), 0640) == 0);
            QVERIFY(QFile::link(holder, dir.filePath(QStringLiteral("quilba.ini"))));
        } else {
            if (!disk.ok())
                QSKIP(qPrintable(disk.reason()));
            folder = disk.path();
            holder = disk.filePath(QStringLiteral("quilba.ini"));
            writefile(holder, before);
            QVERIFY(place == QStringLiteral("full") ? disk.fill() : disk.makereadonly());
        }
        const QStringList files = QDir(folder).entryList(QDir::Files | QDir::System);

        Settings settings(folder);
        QVERIFY(settings.read());
        QCOMPARE(settings.apikey(), QStringLiteral("old"));
        QVERIFY(
            !settings.write(credentials(QStringLiteral("new"), QStringLiteral("l"), QStringLiteral("p"))));
        QCOMPARE(settings.errorstring(), reason);
        // Held for this run all the same.
        QCOMPARE(settings.apikey(), QStringLiteral("new"));

        QCOMPARE(readfile(holder), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System), files);
        if (place == QStringLiteral("link")) {
            QVERIFY(QFileInfo(settings.inipath()).isSymLink());
            struct stat info;
            QVERIFY(::stat(QFile::encodeName(holder).constData(), &info) == 0);
            QCOMPARE(int(info.st_mode & 07777), 0640);
        }
        Settings next(folder);
        QVERIFY(next.read());
        QCOMPARE(next.apikey(), QStringLiteral("old"));
    }

    // What a crash during a write leaves beside the file (QSaveFile's temporary file) is not read,
    // and the next write replaces the file whole.
    void leftoverTemporaryFile()
    {
        QTemporaryDir dir;
        Settings settings(dir.path());
        const QByteArray before = "[connexion]\nAPIKEY=old\nLOGIN=l\nPWD=p\nIDPHARMA=1\n";
        writefile(settings.inipath(), before);
        writefile(settings.inipath() + QStringLiteral(".aBc123"), "[connexion]\nAPIKEY=half");
        QVERIFY(settings.read());
        QCOMPARE(settings.apikey(), QStringLiteral("old"));
        QVERIFY(settings.write(credentials(QStringLiteral("new"), QStringLiteral("l"), QStringLiteral("p"))));
        Settings next(dir.path());
        QVERIFY(next.read());
        QCOMPARE(next.apikey(), QStringLiteral("new"));
        QCOMPARE(next.login(), QStringLiteral("l"));
    }

    void fileEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("ville");
        QTest::newRow("windows-1252") << QByteArray("[pharmacie]\r\nville=B\xE9ziers \x80\x9C\r\n")
                                      << QStringLiteral("Béziers €\u0153");
        QTest::newRow("windows-1252 byte without character")
            << QByteArray("[pharmacie]\nville=a\x81z\n") << QStringLiteral("a\u0081z");
        QTest::newRow("utf-8") << QByteArray("[pharmacie]\nville=B\xC3\xA9ziers \xE2\x82\xAC\n")
                               << QStringLiteral("Béziers €");
        QTest::newRow("utf-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBF[pharmacie]\nville=S\xC3\xA8te\n") << QStringLiteral("Sète");
        QTest::newRow("quoted") << QByteArray("[pharmacie]\nville=\"  S\xC3\xA8te \"\n")
                                << QStringLiteral("  Sète ");
        QTest::newRow("blanks around")
            << QByteArray("[pharmacie]\n  ville =  Agde  \n") << QStringLiteral("Agde");
    }
    void fileEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, ville);
        QTemporaryDir dir;
        Settings settings(dir.path());
        writefile(settings.inipath(), bytes);
        QVERIFY(settings.read());
        QCOMPARE(settings.getpharmacie().at(4), ville);
    }

    void workFolder_data()
    {
        // "@" stands for a fresh temporary folder.
        QTest::addColumn<QString>("workdir");
        QTest::addColumn<QString>("commonbase");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("ok");
        QTest::newRow("override") << QStringLiteral("@/work") << QStringLiteral("@")
                                  << QStringLiteral("@/work/") << true;
        QTest::newRow("override with slash")
            << QStringLiteral("@/") << QString() << QStringLiteral("@/") << true;
        QTest::newRow("override two levels missing")
            << QStringLiteral("@/a/b") << QString() << QStringLiteral("@/a/b/") << false;
        QTest::newRow("all-users folder")
            << QString() << QStringLiteral("@") << QStringLiteral("@/Quilba/") << true;
        QTest::newRow("all-users folder cannot be created")
            << QString() << QStringLiteral("@/blocked") << QStringLiteral("@/blocked/Quilba/") << false;
        QTest::newRow("no all-users folder") << QString() << QString() << QStringLiteral("@/exe/") << true;
        QTest::newRow("all-users folder missing")
            << QString() << QStringLiteral("@/none") << QStringLiteral("@/exe/") << true;
    }
    void workFolder()
    {
        QFETCH(QString, workdir);
        QFETCH(QString, commonbase);
        QFETCH(QString, path);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("blocked")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("exe")));
        // A file where the folder should go.
        writefile(dir.filePath(QStringLiteral("blocked/Quilba")), "x");
        const auto at = [&](QString text) { return text.replace(u'@', dir.path()); };

        const WorkFolder::Location location =
            WorkFolder::locate(at(workdir), at(commonbase), dir.filePath(QStringLiteral("exe")));
        QCOMPARE(location.path, at(path));
        QCOMPARE(location.ok, ok);
        if (ok)
            QVERIFY(QFileInfo(location.path).isDir());
    }

    // A work folder the program creates has fixed modes whatever the umask: owner and group
    // enter and write it, its files keep its group, others get nothing. A folder already there
    // keeps its own. A link in its place is never followed: to a folder it is the folder, as it
    // stands; a link to nothing is no folder, and nothing is created where it points.
    void workFolderModes_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<QString>("before"); // "", "folder 0750", "link to folder", "link to nothing"
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("mode"); // of the folder the path names (-1: none)
        QTest::newRow("created, umask 000") << 0000 << QString() << true << 02770;
        QTest::newRow("created, umask 022") << 0022 << QString() << true << 02770;
        QTest::newRow("created, umask 077") << 0077 << QString() << true << 02770;
        QTest::newRow("already there") << 0000 << QStringLiteral("folder 0750") << true << 0750;
        QTest::newRow("link to a folder") << 0000 << QStringLiteral("link to folder") << true << 0750;
        QTest::newRow("link to nothing") << 0000 << QStringLiteral("link to nothing") << false << -1;
    }
    void workFolderModes()
    {
        QFETCH(int, umask);
        QFETCH(QString, before);
        QFETCH(bool, ok);
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quilba"));
        const QString target = dir.filePath(QStringLiteral("ailleurs"));
        if (before == u"folder 0750" || before == u"link to folder") {
            const QString folder = before == u"folder 0750" ? path : target;
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0750) == 0);
        }
        if (before.startsWith(u"link"))
            QVERIFY(QFile::link(target, path));

        const mode_t previous = ::umask(mode_t(umask));
        const WorkFolder::Location location = WorkFolder::locate(QString(), dir.path(), dir.path());
        ::umask(previous);
        QCOMPARE(location.path, path + u'/');
        QCOMPARE(location.ok, ok);
        struct stat info;
        if (mode < 0) {
            QVERIFY(::stat(QFile::encodeName(path).constData(), &info) != 0);
            QVERIFY(!QFileInfo::exists(target));
        } else {
            QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
            QVERIFY(S_ISDIR(info.st_mode));
            QCOMPARE(int(info.st_mode & 07777), mode);
        }
        if (before.startsWith(u"link"))
            QVERIFY(QFileInfo(path).isSymLink());
    }

    void workFolderFromEnvironment()
    {
        QTemporaryDir dir;
        qputenv("QUILBA_WORKDIR", dir.path().toUtf8());
        const WorkFolder::Location location = WorkFolder::locate();
        qunsetenv("QUILBA_WORKDIR");
        QCOMPARE(location.path, dir.path() + u'/');
        QVERIFY(location.ok);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
