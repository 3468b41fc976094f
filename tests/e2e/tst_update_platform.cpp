#include "LocalPlatform.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"

#include "app/Program.h"
#include "platform/Clock.h"
#include "settings/ParametersWindow.h"
#include "settings/Updater.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kquestion =
    u"Une nouvelle version est disponible\r\nVoulez vous installer la nouvelle version"_s;
const QString koffered = u"1.5.0"_s;

QString packagename()
{
    return u"quilba_"_s + koffered + u'_' + Updater::architecture() + u".deb"_s;
}

// A real Debian package built with dpkg-deb from a control file and some content, so that a cut
// falls inside its files.
QByteArray debianpackage(const QString& folder, const QString& package, const QString& version,
                         const QString& architecture)
{
    const QDir root(folder + u"/racine"_s);
    if (!root.mkpath(u"DEBIAN"_s) || !root.mkpath(u"usr/share/doc/"_s + package))
        return {};
    QFile control(root.filePath(u"DEBIAN/control"_s));
    if (!control.open(QIODevice::WriteOnly))
        return {};
    control.write("Package: " + package.toUtf8() + "\nVersion: " + version.toUtf8() +
                  "\nArchitecture: " + architecture.toUtf8() +
                  "\nMaintainer: Essai <essai@quilba.fr>\nDescription: paquet d'essai\n");
    control.close();
    QFile content(root.filePath(u"usr/share/doc/"_s + package + u"/contenu"_s));
    if (!content.open(QIODevice::WriteOnly))
        return {};
    // Bytes that do not compress, so the files take most of the archive.
    quint32 x = 2463534242u;
    QByteArray bytes(300000, Qt::Uninitialized);
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    content.write(bytes);
    content.close();
    const QString deb = folder + u"/paquet.deb"_s;
    QProcess build;
    build.start(u"dpkg-deb"_s, {u"--root-owner-group"_s, u"--build"_s, root.path(), deb});
    if (!build.waitForFinished(-1) || build.exitCode() != 0)
        return {};
    QFile file(deb);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool executable(const QString& path)
{
    return QFile::permissions(path) & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther | QFile::ExeUser);
}

} // namespace

// Start-up against the local platform serving a newer version and a file under the name of its
// Debian package: the user answers Yes. The right package is handed to the system's installer; any
// other file is refused with a message and removed; nothing is ever made executable or started.
class TestUpdatePlatform : public QObject
{
    Q_OBJECT
private slots:
    void debianPackage_data()
    {
        QTest::addColumn<QString>("served");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("message");
        const QString wrong = Updater::wrongpackagemessage(packagename(), koffered, Updater::architecture());
        const QString other = Updater::architecture() == u"i386"_s ? u"amd64"_s : u"i386"_s;
        QTest::newRow("the package") << u"quilba"_s << true << QString();
        QTest::newRow("another name") << u"name:quilba-outils"_s << false << wrong;
        QTest::newRow("another version") << u"version:1.5.1"_s << false << wrong;
        QTest::newRow("another architecture") << u"architecture:"_s + other << false << wrong;
        QTest::newRow("for every architecture") << u"architecture:all"_s << false << wrong;
        QTest::newRow("an html page") << u"html"_s << false << wrong;
        QTest::newRow("a cut package") << u"cut"_s << false << wrong;
        QTest::newRow("no package") << u"none"_s << false << Updater::nopackagemessage(packagename());
    }
    void debianPackage()
    {
        QFETCH(QString, served);
        QFETCH(bool, installed);
        QFETCH(QString, message);

        QTemporaryDir work;
        QTemporaryDir build;
        QVERIFY(work.isValid() && build.isValid());
        QString name = u"quilba"_s;
        QString version = koffered;
        QString architecture = Updater::architecture();
        if (served.startsWith(u"name:"_s))
            name = served.mid(5);
        else if (served.startsWith(u"version:"_s))
            version = served.mid(8);
        else if (served.startsWith(u"architecture:"_s))
            architecture = served.mid(13);
        QByteArray bytes = debianpackage(build.path(), name, version, architecture);
        QVERIFY(!bytes.isEmpty());
        if (served == u"html"_s)
            bytes = "<!DOCTYPE html><html><body><h1>Maintenance</h1></body></html>\n";
        else if (served == u"cut"_s)
            bytes.truncate(bytes.size() * 2 / 3);

        QStringList options{u"--update-version"_s, koffered + u"\r\n"_s};
        if (served != u"none"_s) {
            // Served under the name of the package that the program asks for.
            const QString file = build.filePath(packagename());
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            out.close();
            options << u"--update-package"_s << file;
        }
        LocalPlatform platform(options);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        platform.preparework(work.path());

        ScriptedDialogs dialogs;
        RecordingShell shell;
        SystemClock clock;
        Program program(Switches({u"quilba"_s}), dialogs, shell, clock);

        QStringList expected{kquestion};
        if (!message.isEmpty())
            expected << message;
        QCOMPARE(dialogs.texts(), expected);
        const QString path = QDir(work.path()).absoluteFilePath(packagename());
        if (installed) {
            QCOMPARE(shell.packages(), QStringList{path});
            QFile written(path);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QVERIFY(written.readAll() == bytes);
        } else {
            QVERIFY(shell.packages().isEmpty());
            QVERIFY(!QFile::exists(path));
        }
        // Nothing is started, nothing in the work folder is executable.
        QVERIFY(shell.starts().isEmpty());
        QDirIterator files(work.path(), QDir::Files | QDir::Hidden);
        while (files.hasNext()) {
            const QString file = files.next();
            QVERIFY2(!executable(file), qPrintable(file));
        }
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
        QVERIFY(shell.packages().isEmpty());
    }
};

QTEST_MAIN(TestUpdatePlatform)
#include "tst_update_platform.moc"
