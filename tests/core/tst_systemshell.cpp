#include "platform/SystemShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(UpdateRun::Ended)

// The system asked to run the package's update installer: pkexec (here a script that records its
// arguments and behaves as told) is found on the search path and given the installer's absolute
// path and the arguments, nothing more; the installer's lines come back as they are written, and
// pkexec's own statuses tell a dismissed question from a refusal.
class TestSystemShell : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(asked());
    }

    void installupdate_data()
    {
        QTest::addColumn<QByteArray>("pkexec"); // what the recording pkexec does after recording
        QTest::addColumn<QByteArray>("installer");
        QTest::addColumn<UpdateRun::Ended>("ended");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArrayList>("lines");
        const QByteArray run = "exec \"$@\"";
        QTest::newRow("installed, its lines in order")
            << run
            << QByteArray("printf 'progression 10\\n'; sleep 0.2; printf 'progression 60\\nprogression 100'")
            << UpdateRun::Ended::Finished << 0
            << QByteArrayList{"progression 10", "progression 60", "progression 100"};
        QTest::newRow("installer's refusal")
            << run << QByteArray("echo 'progression 5'; echo 'E: signature' >&2; exit 3")
            << UpdateRun::Ended::Finished << 3 << QByteArrayList{"progression 5"};
        QTest::newRow("question dismissed") << QByteArray("exit 126") << QByteArray("exit 0")
                                            << UpdateRun::Ended::Declined << 0 << QByteArrayList{};
        QTest::newRow("not authorised") << QByteArray("exit 127") << QByteArray("exit 0")
                                        << UpdateRun::Ended::NotAuthorised << 0 << QByteArrayList{};
        QTest::newRow("pkexec killed") << QByteArray("kill -9 $$") << QByteArray("exit 0")
                                       << UpdateRun::Ended::Broken << 0 << QByteArrayList{};
    }
    void installupdate()
    {
        QFETCH(QByteArray, pkexec);
        QFETCH(QByteArray, installer);
        QFETCH(UpdateRun::Ended, ended);
        QFETCH(int, code);
        QFETCH(QByteArrayList, lines);
        writescript(m_dir.filePath(u"bin/pkexec"_s),
                    "printf '%s\\n' \"$@\" >'" + asked().toUtf8() + "'\n" + pkexec + '\n');
        writescript(installerpath(), installer + '\n');

        SystemShell shell(installerpath(), {m_dir.filePath(u"bin"_s)});
        QByteArrayList received;
        const UpdateRun result =
            shell.installupdate({u"http://127.0.0.1:8080/updatequilba/debian"_s, u"1.5.0"_s},
                                [&](const QByteArray& line) { received.append(line); });

        QCOMPARE(result.ended, ended);
        QCOMPARE(result.code, code);
        QCOMPARE(received, lines);
        QFile recorded(asked());
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(recorded.readAll(),
                 installerpath().toUtf8() + "\nhttp://127.0.0.1:8080/updatequilba/debian\n1.5.0\n");
    }

    // Without pkexec, or without the installer where the package puts it, nothing is run.
    void nothingToRun_data()
    {
        QTest::addColumn<bool>("pkexec");
        QTest::addColumn<QString>("installer");
        QTest::addColumn<UpdateRun::Ended>("ended");
        QTest::newRow("no pkexec") << false << u"quilba-update"_s << UpdateRun::Ended::NoElevation;
        QTest::newRow("no installer") << true << u"absent"_s << UpdateRun::Ended::NoInstaller;
        QTest::newRow("installer not executable") << true << u"lisible"_s << UpdateRun::Ended::NoInstaller;
        QTest::newRow("relative installer") << true << u"relative"_s << UpdateRun::Ended::NoInstaller;
    }
    void nothingToRun()
    {
        QFETCH(bool, pkexec);
        QFETCH(QString, installer);
        QFETCH(UpdateRun::Ended, ended);
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        if (pkexec)
            writescript(bin.filePath(u"pkexec"_s), "printf '%s\\n' \"$@\" >'" + asked().toUtf8() + "'\n");
        writescript(installerpath(), "exit 0\n");
        QFile readable(m_dir.filePath(u"lisible"_s));
        QVERIFY(readable.open(QIODevice::WriteOnly));
        readable.close();
        QString path = m_dir.filePath(installer);
        if (installer == u"quilba-update"_s)
            path = installerpath();
        else if (installer == u"relative"_s)
            path = u"quilba-update"_s;

        SystemShell shell(path, {bin.path()});
        bool called = false;
        QCOMPARE(shell
                     .installupdate({u"http://127.0.0.1/updatequilba/debian"_s, u"1.5.0"_s},
                                    [&](const QByteArray&) { called = true; })
                     .ended,
                 ended);
        QVERIFY(!called);
        QVERIFY(!QFile::exists(asked()));
    }

private:
    QString asked() const { return m_dir.filePath(u"asked"_s); }
    QString installerpath() const { return m_dir.filePath(u"libexec/quilba/quilba-update"_s); }

    static void writescript(const QString& path, const QByteArray& body)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestSystemShell)
#include "tst_systemshell.moc"
