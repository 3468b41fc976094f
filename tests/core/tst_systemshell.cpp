#include "platform/SystemShell.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The package installer chosen for an update: pkexec running apt-get where both are on the search
// path, otherwise none (the desktop's program for Debian packages takes the file). The programs
// here are empty files marked executable: they are looked up, never run.
class TestSystemShell : public QObject
{
    Q_OBJECT
private slots:
    void packagecommand_data()
    {
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<bool>("command");
        QTest::newRow("pkexec and apt-get") << QStringList{u"pkexec"_s, u"apt-get"_s} << true;
        QTest::newRow("no pkexec") << QStringList{u"apt-get"_s} << false;
        QTest::newRow("no apt-get") << QStringList{u"pkexec"_s} << false;
    }
    void packagecommand()
    {
        QFETCH(QStringList, programs);
        QFETCH(bool, command);
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        for (const QString& program : programs) {
            QFile file(bin.filePath(program));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QString package = u"/var/lib/Quilba/quilba_1.5.0_amd64.deb"_s;
        const QStringList expected =
            command ? QStringList{bin.filePath(u"pkexec"_s), bin.filePath(u"apt-get"_s), u"install"_s,
                                  u"--yes"_s, u"--no-remove"_s, package}
                    : QStringList();
        QCOMPARE(SystemShell::packagecommand(package, {bin.path()}), expected);
    }
};

QTEST_GUILESS_MAIN(TestSystemShell)
#include "tst_systemshell.moc"
