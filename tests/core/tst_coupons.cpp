#include "counter/Coupons.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Coupons::Fill::Kind)

namespace {

using Rows = QList<QStringList>;

QStringList row(const QString& track, const QString& value, const QString& end, const QString& id)
{
    return {track, u"Coupon "_s + value + u" €"_s, u"Imprimer"_s, u"Utiliser"_s, end, value, id};
}

const QByteArray first = R"({"trackCode":"TC1","fvalue":7.5,"endDate":"2026-12-31 23:59:59","id":11})";
const QByteArray second = R"({"trackCode":"TC2","fvalue":"20","endDate":"2027-01-15","id":"12"})";

} // namespace

class TestCoupons : public QObject
{
    Q_OBJECT
private slots:
    void queryline()
    {
        // The same date-time bounds both ends; the member id is a string here.
        QCOMPARE(
            Coupons::queryline(u"42"_s, u"7"_s, u"2026-12-01 09:30:00"_s),
            u"json_data={ \"Sent\":{\"type\":\"COUPON\",\"group\":{\"idExternal\":\"42\"},"
            "\"member\": { \"id\":\"7\"},\"or\":[{\"status1_is_null\": \"true\", \"status1\": \"false\"},"
            "{\"status2_is_null\": \"true\", \"status2\": \"false\"}],"
            "\"startDate_le\":\"2026-12-01 09:30:00\",\"endDate_gt\":\"2026-12-01 09:30:00\"}}"_s);
        // Values cannot break out of their strings.
        QVERIFY(Coupons::queryline(u"4\"2"_s, u"7\\"_s, u"now"_s)
                    .contains(u"{\"idExternal\":\"4\\\"2\"},\"member\": { \"id\":\"7\\\\\"}"_s));
    }

    void uselines_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("track");
        QTest::addColumn<QString>("event");

        const QString tail = u"},\"group\":{\"loadFromKeys\":{\"idExternal\":\"42\" }},\"fvalue\":\""_s;
        QTest::newRow("numeric id goes bare")
            << u"7"_s << u"7.5"_s << u"TC1"_s
            << u"json_data={\"AdEvent\":{\"type\":\"usedcoupon\", \"member\":{\"id\":7"_s + tail +
                   u"7.5\",\"comment\":\"TC1\",\"cause\":{\"id\":\"11\"}}}"_s;
        QTest::newRow("value kept as received")
            << u"7"_s << u"7,50"_s << u"TC1"_s
            << u"json_data={\"AdEvent\":{\"type\":\"usedcoupon\", \"member\":{\"id\":7"_s + tail +
                   u"7,50\",\"comment\":\"TC1\",\"cause\":{\"id\":\"11\"}}}"_s;
        QTest::newRow("other id quoted and escaped")
            << u"a\"b"_s << u"20"_s << u"T\"C"_s
            << u"json_data={\"AdEvent\":{\"type\":\"usedcoupon\", \"member\":{\"id\":\"a\\\"b\""_s + tail +
                   u"20\",\"comment\":\"T\\\"C\",\"cause\":{\"id\":\"11\"}}}"_s;
    }
    void uselines()
    {
        QFETCH(QString, member);
        QFETCH(QString, value);
        QFETCH(QString, track);
        QFETCH(QString, event);
        QCOMPARE(Coupons::eventline(member, u"42"_s, value, track, u"11"_s), event);
        QCOMPARE(Coupons::statusline(u"11"_s, u"2026-12-01 09:30:00"_s),
                 u"json_data={\"Sent\":{\"id\":\"11\",\"status2\":true,"
                 "\"dateUpdateStatus2\":\"2026-12-01 09:30:00\"}}"_s);
    }

    void readfill_data()
    {
        using Kind = Coupons::Fill::Kind;
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("error");

        const QStringList one = row(u"TC1"_s, u"7.5"_s, u"31/12/2026"_s, u"11"_s);
        const QStringList two = row(u"TC2"_s, u"20"_s, u"15/01/2027"_s, u"12"_s);
        QTest::newRow("list of two") << "{\"list\":[" + first + "," + second + "]}" << Kind::List
                                     << Rows{one, two} << 2 << QString();
        QTest::newRow("empty list") << QByteArray(R"({"list":[]})") << Kind::List << Rows{} << 0 << QString();
        QTest::newRow("one Sent") << "{\"Sent\":" + second + "}" << Kind::Single << Rows{two} << 0
                                  << QString();
        QTest::newRow("missing endDate stops at that coupon")
            << "{\"list\":[" + first + R"(,{"trackCode":"TC2","fvalue":"20","id":"12"},)" + second + "]}"
            << Kind::List << Rows{one} << 3 << u"Valeur 'endDate' introuvable"_s;
        QTest::newRow("Sent without id")
            << QByteArray(R"({"Sent":{"trackCode":"T","fvalue":1,"endDate":"x"}})") << Kind::Single << Rows{}
            << 0 << u"Valeur 'id' introuvable"_s;
        QTest::newRow("refusal") << QByteArray(R"({"ApiReturn":{"code":"KO"}})") << Kind::Nothing << Rows{}
                                 << 0 << QString();
        QTest::newRow("empty object") << QByteArray("{}") << Kind::Nothing << Rows{} << 0 << QString();
        const QString unreadable = Coupons::unreadablemessage();
        QTest::newRow("not JSON") << QByteArray("<html>") << Kind::Nothing << Rows{} << 0 << unreadable;
        QTest::newRow("empty reply") << QByteArray() << Kind::Nothing << Rows{} << 0 << unreadable;
        QTest::newRow("not an object") << "[" + first + "]" << Kind::Nothing << Rows{} << 0 << unreadable;
        QTest::newRow("list not an array")
            << QByteArray(R"({"list":{"a":1}})") << Kind::Nothing << Rows{} << 0 << unreadable;
    }
    void readfill()
    {
        QFETCH(QByteArray, reply);
        QFETCH(Coupons::Fill::Kind, kind);
        QFETCH(Rows, rows);
        QFETCH(int, count);
        QFETCH(QString, error);
        const Coupons::Fill fill = Coupons::readfill(reply);
        QCOMPARE(fill.kind, kind);
        QCOMPARE(Rows(fill.rows.begin(), fill.rows.end()), rows);
        QCOMPARE(fill.count, count);
        QCOMPARE(fill.error, error);
    }

    void readfillLines()
    {
        // Every element read goes to the reply buffer, the one that stopped the fill too.
        const Coupons::Fill fill =
            Coupons::readfill("{\"list\":[" + first + R"(,{"trackCode":"TC2"},)" + second + "]}");
        QCOMPARE(fill.lines, (std::vector<QByteArray>{first, R"({"trackCode":"TC2"})"}));
    }
};

QTEST_GUILESS_MAIN(TestCoupons)
#include "tst_coupons.moc"
