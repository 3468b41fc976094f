#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "platform/Clock.h"
#include "settings/ParametersWindow.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Start-up against the local platform serving a newer version: the user answers Yes, the setup
// program is written to the work folder byte for byte and started to install over this program.
class TestUpdatePlatform : public QObject
{
    Q_OBJECT
private slots:
    void newerVersionIsInstalled()
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
        {
            QFile ini(work.filePath(u"quilba.ini"_s));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[connexion]\nAPIKEY=" + LocalPlatform::demoapikey().toUtf8() +
                      "\nLOGIN=" + LocalPlatform::demologin().toUtf8() +
                      "\nPWD=" + LocalPlatform::demopassword().toUtf8() + "\nIDPHARMA=" +
                      LocalPlatform::demoidpharma().toUtf8() + "\nURL=" + platform.apiurl().toUtf8() + "\n");
        }
        qputenv("QUILBA_WORKDIR", work.path().toUtf8());
        qputenv("QUILBA_UPDATE_URL", platform.updateurl().toUtf8());

        ScriptedDialogs dialogs;
        RecordingShell shell;
        SystemClock clock;
        Program program(Switches({u"quilba"_s}), dialogs, shell, clock);

        QCOMPARE(dialogs.texts(),
                 QStringList{
                     u"Une nouvelle version est disponible\r\nVoulez vous installer la nouvelle version"_s});
        const QString path = work.filePath(u"setup.exe"_s);
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll() == setup);
        QCOMPARE(shell.starts().size(), 1);
        QCOMPARE(shell.starts().front().program, path);
        QCOMPARE(shell.starts().front().arguments,
                 u"/SILENT /FORCECLOSEAPPLICATIONS /RESTARTAPPLICATIONS /DIR=\""_s +
                     QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/') + u'"');
        // Start-up goes on: the parameters window and its bar are hidden again.
        QVERIFY(!program.parameterswindow().isVisible());
        QVERIFY(program.parameterswindow().progressbar()->isHidden());
        QVERIFY(!program.endrequested());
    }
};

QTEST_MAIN(TestUpdatePlatform)
#include "tst_update_platform.moc"
