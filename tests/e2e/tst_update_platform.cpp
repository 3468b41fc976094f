#include "LocalPlatform.h"
#include "PrivateApt.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "UpdateRepositories.h"

#include "app/Program.h"
#include "platform/Clock.h"
#include "platform/SystemShell.h"
#include "settings/ParametersWindow.h"
#include "settings/Updater.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kquestion =
    u"Une nouvelle version est disponible\r\nVoulez vous installer la nouvelle version"_s;

} // namespace

// Start-up against the local platform, which offers 1.5.0 and serves a Debian repository at the
// update location; the pharmacist answers Yes. The program asks the system (pkexec, here one that
// records the request and runs it in a private root of apt and dpkg) to run the package's own
// installer, which runs the real apt-get: the repository signed by the package's key is fetched and
// its package installed; anything else is refused by apt with a French message, and nothing is
// installed.
class TestUpdatePlatform : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_repositories = std::make_unique<UpdateRepositories>();
        QVERIFY2(m_repositories->ready(), qPrintable(m_repositories->error()));
    }

    void signedRepository_data()
    {
        using Signature = UpdateRepositories::Signature;
        QTest::addColumn<QString>("repository"); // empty: none served
        QTest::addColumn<int>("signature");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("declined");
        QTest::addColumn<QString>("message");
        const QString refused = u"La mise à jour n'a pas été installée : "_s;
        const QString unsigned_ =
            refused + u"le dépôt de mise à jour n'est pas signé par la clé de Quilba."_s;
        QTest::newRow("signed by the package's key")
            << u"signe"_s << int(Signature::Quilba) << false << u"1.5.0"_s << false
            << u"La version 1.5.0 de Quilba est installée : elle s'ouvrira au prochain démarrage du "
               u"programme."_s;
        QTest::newRow("signed by another key")
            << u"autre-cle"_s << int(Signature::Other) << false << u"1.5.0"_s << false << unsigned_;
        QTest::newRow("unsigned") << u"sans-signature"_s << int(Signature::None) << false << u"1.5.0"_s
                                  << false << unsigned_;
        QTest::newRow("package changed after signing")
            << u"paquet-change"_s << int(Signature::Quilba) << true << u"1.5.0"_s << false
            << refused + u"le paquet de la version 1.5.0 n'a pas été reçu tel que le dépôt signé de "
                         u"Quilba le décrit."_s;
        QTest::newRow("offered version not in it")
            << u"signe"_s << int(Signature::Quilba) << false << u"1.6.0"_s << false
            << refused + u"la version 1.6.0 n'est pas dans le dépôt de mise à jour."_s;
        QTest::newRow("no repository") << QString() << int(Signature::Quilba) << false << u"1.5.0"_s << false
                                       << refused + u"le dépôt de mise à jour de Quilba ne répond pas."_s;
        QTest::newRow("administrator declines")
            << u"signe"_s << int(Signature::Quilba) << false << u"1.5.0"_s << true << QString();
    }
    void signedRepository()
    {
        QFETCH(QString, repository);
        QFETCH(int, signature);
        QFETCH(bool, changed);
        QFETCH(QString, offered);
        QFETCH(bool, declined);
        QFETCH(QString, message);

        QStringList options{u"--update-version"_s, offered + u"\r\n"_s};
        if (!repository.isEmpty()) {
            const QString folder = m_repositories->make(repository, u"1.5.0"_s,
                                                        UpdateRepositories::Signature(signature), changed);
            QVERIFY2(!folder.isEmpty(), qPrintable(m_repositories->error()));
            options << u"--update-repository"_s << folder;
        }
        LocalPlatform platform(options);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        QTemporaryDir work;
        QVERIFY(work.isValid());
        platform.preparework(work.path());
        PrivateApt apt(m_repositories->keyring());
        QVERIFY2(apt.ready(), qPrintable(apt.error()));
        apt.setdeclined(declined);

        ScriptedDialogs dialogs;
        SystemShell shell(apt.installer(), apt.searchpath());
        SystemClock clock;
        Program program(Switches({u"quilba"_s}), dialogs, shell, clock);

        QStringList expected{kquestion};
        if (!message.isEmpty())
            expected << message;
        QCOMPARE(dialogs.texts(), expected);
        // What the system was asked to run: the package's installer, the repository's address and
        // the version; no file, nothing of the work folder.
        const QStringList asked = apt.asked();
        QCOMPARE(asked, (QStringList{apt.installer(), platform.updateurl() + u"/debian"_s, offered}));
        const QString workpath = QDir(work.path()).canonicalPath();
        for (const QString& argument : asked)
            QVERIFY2(!argument.contains(workpath) && !argument.contains(work.path()), qPrintable(argument));
        // Nothing of the update is written into the work folder.
        const QStringList left = QDir(work.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& file : left)
            QVERIFY2(!file.endsWith(u".deb"_s) && !file.startsWith(u"setup"_s), qPrintable(file));

        const bool installed = message.startsWith(u"La version"_s);
        QCOMPARE(apt.installed(u"quilba"_s), installed ? u"1.5.0"_s : QString());
        QCOMPARE(QFile::exists(apt.target() + u"/usr/share/doc/quilba/version"_s), installed);
        // Start-up goes on: the parameters window and its bar are hidden again.
        QVERIFY(!program.parameterswindow().isVisible());
        QVERIFY(program.parameterswindow().progressbar()->isHidden());
        QVERIFY(!program.endrequested());
    }

    // The Windows way stays: setup.exe, written byte for byte and started with the setup arguments.
    void setupProgram()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QByteArray setup("MZ\x90\x00\r\n\x00\xff", 8);
        for (int i = 0; i < 300000; ++i)
            setup.append(char(i % 251));
        const QString source = work.filePath(u"served-setup.bin"_s);
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(setup);
        }
        LocalPlatform platform({u"--update-version"_s, u"1.5\r\n"_s, u"--update-setup"_s, source});
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        platform.preparework(work.path());

        ScriptedDialogs dialogs;
        dialogs.script({false});
        RecordingShell shell;
        SystemClock clock;
        Program program(Switches({u"quilba"_s}), dialogs, shell, clock);
        QCOMPARE(dialogs.texts(), QStringList{kquestion});

        program.updater().setinstaller(Updater::Installer::SetupProgram);
        dialogs.script({true});
        program.updater().checkupdate();

        const QString path = work.filePath(u"setup.exe"_s);
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll() == setup);
        QCOMPARE(shell.starts().size(), 1);
        QCOMPARE(shell.starts().front().program, path);
        QCOMPARE(shell.starts().front().arguments,
                 u"/SILENT /FORCECLOSEAPPLICATIONS /RESTARTAPPLICATIONS /DIR=\""_s +
                     QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/') + u'"');
        QVERIFY(shell.updates().isEmpty());
    }

private:
    std::unique_ptr<UpdateRepositories> m_repositories;
};

QTEST_MAIN(TestUpdatePlatform)
#include "tst_update_platform.moc"
