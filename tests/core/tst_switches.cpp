#include "settings/Switches.h"

#include <QTest>

class TestSwitches : public QObject
{
    Q_OBJECT
private slots:
    void has_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("debug");
        const QString program = QStringLiteral("/opt/quilba/quilba");
        QTest::newRow("-debug") << QStringList{program, QStringLiteral("-debug")} << true;
        QTest::newRow("/DEBUG") << QStringList{program, QStringLiteral("/DEBUG")} << true;
        QTest::newRow("-Debug among others")
            << QStringList{program, QStringLiteral("x"), QStringLiteral("-log"), QStringLiteral("-Debug")}
            << true;
        QTest::newRow("debug without dash") << QStringList{program, QStringLiteral("debug")} << false;
        QTest::newRow("--debug") << QStringList{program, QStringLiteral("--debug")} << false;
        QTest::newRow("-debugx") << QStringList{program, QStringLiteral("-debugx")} << false;
        QTest::newRow("lone dash") << QStringList{program, QStringLiteral("-")} << false;
        QTest::newRow("program path not counted") << QStringList{QStringLiteral("/debug")} << false;
    }
    void has()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, debug);
        QCOMPARE(Switches(arguments).debug(), debug);
    }

    void eachSwitchByItsName()
    {
        const Switches switches({QStringLiteral("quilba"), QStringLiteral("/LOG"), QStringLiteral("-kestrel"),
                                 QStringLiteral("-NoCoupon")});
        QVERIFY(switches.log());
        QVERIFY(switches.kestrel());
        QVERIFY(switches.nocoupon());
        QVERIFY(!switches.debug());
    }
};

QTEST_GUILESS_MAIN(TestSwitches)
#include "tst_switches.moc"
