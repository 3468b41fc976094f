#include "app/CommandLine.h"
#include "counter/CounterKeys.h"
#include "settings/Switches.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void request_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Request>("request");
        const QString program = QStringLiteral("/usr/bin/quilba");
        using R = CommandLine::Request;
        QTest::newRow("nothing") << QStringList{program} << R::Run;
        QTest::newRow("the four switches")
            << QStringList{program, QStringLiteral("-debug"), QStringLiteral("/LOG"),
                           QStringLiteral("-Kestrel"), QStringLiteral("/nocoupon")}
            << R::Run;
        QTest::newRow("--version") << QStringList{program, QStringLiteral("--version")} << R::Version;
        QTest::newRow("--version after a switch")
            << QStringList{program, QStringLiteral("-debug"), QStringLiteral("--version")} << R::Version;
        QTest::newRow("--help") << QStringList{program, QStringLiteral("--help")} << R::Help;
        QTest::newRow("-h") << QStringList{program, QStringLiteral("-h")} << R::Help;
        QTest::newRow("/?") << QStringList{program, QStringLiteral("/?")} << R::Help;
        QTest::newRow("first request wins")
            << QStringList{program, QStringLiteral("--help"), QStringLiteral("--version")} << R::Help;
        // Unknown arguments are ignored, as the switches ignore them.
        QTest::newRow("-version is no request") << QStringList{program, QStringLiteral("-version")} << R::Run;
        QTest::newRow("--VERSION is no request")
            << QStringList{program, QStringLiteral("--VERSION")} << R::Run;
        QTest::newRow("program path not counted") << QStringList{QStringLiteral("--help")} << R::Run;
    }
    void request()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Request, request);
        QCOMPARE(CommandLine::request(arguments), request);
    }

    // The requests are no switches: "-h" or "--help" never turns one on.
    void requestsLeaveTheSwitchesAlone()
    {
        const Switches switches({QStringLiteral("quilba"), QStringLiteral("--help"), QStringLiteral("-h"),
                                 QStringLiteral("--version"), QStringLiteral("/?")});
        QVERIFY(!switches.debug() && !switches.log() && !switches.kestrel() && !switches.nocoupon());
    }

    void helpNamesTheSwitchesAndVariables()
    {
        const QString help = CommandLine::helptext();
        for (const char* name :
             {"-debug", "-log", "-kestrel", "-nocoupon", "--version", "--help", "QUILBA_WORKDIR",
              "QUILBA_PRINT_DIR", "QUILBA_UPDATE_URL", "/var/lib/Quilba/"})
            QVERIFY2(help.contains(QLatin1StringView(name)), name);
        QVERIFY(help.endsWith(u'\n'));
    }

    // Every key of the counter's buttons is in the help, by the name a French keyboard gives it.
    void helpNamesTheKeys_data()
    {
        QTest::addColumn<QString>("name");
        for (const CounterKeys::Key& key : CounterKeys::buttons())
            QTest::newRow(qPrintable(key.control)) << CounterKeys::keyname(key.sequence);
    }
    void helpNamesTheKeys()
    {
        QFETCH(QString, name);
        QVERIFY2(CommandLine::helptext().contains(u"\n  "_s + name + u' '), qPrintable(name));
    }

    void keyNames_data()
    {
        QTest::addColumn<QKeySequence>("sequence");
        QTest::addColumn<QString>("name");
        QTest::newRow("F9") << QKeySequence(Qt::Key_F9) << u"F9"_s;
        QTest::newRow("Ctrl+P") << QKeySequence(Qt::CTRL | Qt::Key_P) << u"Ctrl+P"_s;
        QTest::newRow("Alt+A") << QKeySequence(Qt::ALT | Qt::Key_A) << u"Alt+A"_s;
        QTest::newRow("Insert") << QKeySequence(Qt::Key_Insert) << u"Inser"_s;
        QTest::newRow("Ctrl+Delete") << QKeySequence(Qt::CTRL | Qt::Key_Delete) << u"Ctrl+Suppr"_s;
    }
    void keyNames()
    {
        QFETCH(QKeySequence, sequence);
        QFETCH(QString, name);
        QCOMPARE(CounterKeys::keyname(sequence), name);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
