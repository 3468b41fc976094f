#include "settings/Updater.h"

#include <QTest>

// Which reply of the update server counts as a newer version than this program's.
class TestUpdaterVersion : public QObject
{
    Q_OBJECT
private slots:
    void newerThanOwn_data()
    {
        QTest::addColumn<QByteArray>("remote");
        QTest::addColumn<bool>("newer");
        QTest::newRow("next minor") << QByteArray("1.5") << true;
        QTest::newRow("next major alone") << QByteArray("2") << true;
        QTest::newRow("same") << QByteArray("1.4") << false;
        QTest::newRow("ten is after four") << QByteArray("1.10") << true;
        QTest::newRow("same with line break") << QByteArray("1.4\r\n") << false;
        QTest::newRow("blanks around") << QByteArray(" \t1.5 \r\n") << true;
        QTest::newRow("html page") << QByteArray("<html>") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("only blanks") << QByteArray("\r\n") << false;
        QTest::newRow("third number") << QByteArray("1.4.1") << true;
        QTest::newRow("third number zero") << QByteArray("1.4.0") << false;
        QTest::newRow("older with more numbers") << QByteArray("1.3.9") << false;
        QTest::newRow("older major") << QByteArray("0.99") << false;
        QTest::newRow("leading zeros") << QByteArray("01.04") << false;
        QTest::newRow("letters after") << QByteArray("1.5beta") << false;
        QTest::newRow("letter before") << QByteArray("v1.5") << false;
        QTest::newRow("empty number") << QByteArray("1..5") << false;
        QTest::newRow("trailing point") << QByteArray("1.5.") << false;
        QTest::newRow("version then page") << QByteArray("1.5\r\n<html>") << false;
        QTest::newRow("beyond 64 bits") << QByteArray("1.99999999999999999999999") << true;
    }
    void newerThanOwn()
    {
        QFETCH(QByteArray, remote);
        QFETCH(bool, newer);
        QCOMPARE(Updater::isnewer(remote, QStringLiteral("1.4")), newer);
    }

    void comparesNumberByNumber()
    {
        QVERIFY(Updater::compareversions("1.10", "1.9") > 0);
        QVERIFY(Updater::compareversions("1.9", "1.10") < 0);
        QCOMPARE(Updater::compareversions("1.4", "1.4.0.0"), 0);
        QVERIFY(Updater::compareversions("10", "9.99") > 0);
    }

    // The program compares against its own two-number version.
    void ownVersionIsMajorDotMinor()
    {
        QCOMPARE(Updater::ownversion(), QStringLiteral(QUILBA_VERSION));
        QVERIFY(Updater::isversion(Updater::ownversion().toLatin1()));
    }
};

QTEST_GUILESS_MAIN(TestUpdaterVersion)
#include "tst_updaterversion.moc"
