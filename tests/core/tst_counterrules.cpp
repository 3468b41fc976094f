#include "counter/CounterRules.h"
#include "data/NumberText.h"
#include "platform/Clock.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};

} // namespace

class TestCounterRules : public QObject
{
    Q_OBJECT
private slots:
    void isnumeric_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("comma") << u"12,5"_s << true;
        QTest::newRow("points") << u"1.2.3"_s << true;
        QTest::newRow("digits") << u"0123456789"_s << true;
        QTest::newRow("letter after digits") << u"12a"_s << false;
        QTest::newRow("letters") << u"abc"_s << false;
        QTest::newRow("minus") << u"-12"_s << false;
        QTest::newRow("blank") << u"12 5"_s << false;
        QTest::newRow("arabic-indic digit") << u"12\u0663"_s << false;
    }
    void isnumeric()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(::isnumeric(text), numeric);
    }

    void frdate_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("shown");
        QTest::newRow("instant") << u"2018-03-05 10:20:30"_s << u"05/03/2018"_s;
        QTest::newRow("date") << u"2018-03-05"_s << u"05/03/2018"_s;
        QTest::newRow("cut short") << u"2018-03"_s << u"/03/2018"_s;
        QTest::newRow("empty") << QString() << u"//"_s;
    }
    void frdate()
    {
        QFETCH(QString, date);
        QFETCH(QString, shown);
        QCOMPARE(::frdate(date), shown);
    }

    void nowtext_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning, leading zeros")
            << QDateTime(QDate(2018, 4, 2), QTime(9, 5, 7)) << u"2018-04-02 09:05:07"_s;
        QTest::newRow("24-hour clock")
            << QDateTime(QDate(2018, 12, 31), QTime(23, 59, 59)) << u"2018-12-31 23:59:59"_s;
    }
    void nowtext()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, text);
        QCOMPARE(::nowtext(FixedClock(now)), text);
    }

    void operatorpage_data()
    {
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("page");
        QTest::newRow("https") << u"https://api.example.com/apiv1/webapi.do"_s
                               << u"https://api.example.com/loyaltyoperator/login.jsp?rcg=QUILBA"_s;
        QTest::newRow("port kept") << u"http://127.0.0.1:8123/apiv1/webapi.do?x=1"_s
                                   << u"http://127.0.0.1:8123/loyaltyoperator/login.jsp?rcg=QUILBA"_s;
    }
    void operatorpage()
    {
        QFETCH(QString, api);
        QFETCH(QString, page);
        QCOMPARE(::operatorpage(api).toString(), page);
    }
};

QTEST_GUILESS_MAIN(TestCounterRules)
#include "tst_counterrules.moc"
