#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "history/HistoryRows.h"

#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

JsonValue parsed(const QByteArray& json)
{
    QString error;
    const std::optional<JsonValue> value = parsejson(json, &error);
    if (!value)
        qFatal("bad test JSON: %s", qPrintable(error));
    return *value;
}

// The event value {"list":[...]} around the given events.
QByteArray listof(const QByteArray& events)
{
    return "{\"list\":[" + events + "]}";
}

// The table read back in its order, one "Date|Type|Commentaire|Valeur" text per row.
QStringList readback(const MemoryTable& table)
{
    QStringList out;
    for (int row = 0; row < table.rowCount(); ++row)
        out.append(table.value(row, u"Date"_s).toString() % u'|' % table.value(row, u"Type"_s).toString() %
                   u'|' % table.value(row, u"Commentaire"_s).toString() % u'|' %
                   table.value(row, u"Valeur"_s).toString());
    return out;
}

const QByteArray pointsLater = R"({"type":"addPoint","fvalue":"10","date":"2018-02-27 08:00:00"})";

} // namespace

class TestHistoryRows : public QObject
{
    Q_OBJECT
private slots:
    void showndate_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("shown");
        QTest::newRow("instant") << u"2018-02-26 09:19:42"_s << u"26/02/2018 09:19"_s;
        QTest::newRow("date only") << u"2018-02-26"_s << u"26/02/2018 "_s;
        QTest::newRow("shorter") << u"2018-02"_s << u"/02/2018 "_s;
        QTest::newRow("empty") << QString() << u"// "_s;
    }
    void showndate()
    {
        QFETCH(QString, date);
        QFETCH(QString, shown);
        QCOMPARE(HistoryRows::showndate(date), shown);
    }

    void isempty_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty string") << QByteArray(R"("")") << true;
        QTest::newRow("other string") << QByteArray(R"(" ")") << false;
        QTest::newRow("empty list") << listof("") << false;
        QTest::newRow("null") << QByteArray("null") << false;
    }
    void isempty()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, empty);
        QCOMPARE(HistoryRows::isempty(parsed(json)), empty);
    }

    // Event value -> rows of the table historique, newest first, or the error that stops.
    void fill_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("error");

        QTest::newRow("sale and later points: points first")
            << listof(R"({"type":"addCA","fvalue":"12.5","sparam":"07","idExternal":"A123",)"
                      R"("date":"2018-02-26 09:19:42"},)" +
                      pointsLater)
            << QStringList{u"27/02/2018 08:00|Ajout Points 10 pts||10"_s,
                           u"26/02/2018 09:19|Ajout CA 12.5 euros|Code Vendeur : 07 N° vente : A123|12.5"_s}
            << QString();
        QTest::newRow("sale without seller code keeps the leading blank")
            << listof(R"({"type":"addCA","fvalue":"8","idExternal":"A9","date":"2018-02-26 09:19:42"})")
            << QStringList{u"26/02/2018 09:19|Ajout CA 8 euros| N° vente : A9|8"_s} << QString();
        QTest::newRow("sale with seller code only")
            << listof(
                   R"({"type":"addCA","fvalue":"8","sparam":"07","idExternal":"","date":"2018-02-26 09:19:42"})")
            << QStringList{u"26/02/2018 09:19|Ajout CA 8 euros|Code Vendeur : 07|8"_s} << QString();
        QTest::newRow("one event is shown")
            << listof(pointsLater) << QStringList{u"27/02/2018 08:00|Ajout Points 10 pts||10"_s} << QString();
        QTest::newRow("no events") << listof("") << QStringList() << QString();
        QTest::newRow("coupon deleted and used: deletion only")
            << listof(R"({"type":"COUPON","fvalue":"5","date":"2018-01-01 10:00:00","status1":true,)"
                      R"("status2":true,"dateUpdateStatus1":"2018-01-15 11:30:00",)"
                      R"("dateUpdateStatus2":"2018-01-10 09:00:00"})")
            << QStringList{u"01/01/2018 10:00|Coupon 5 euros|supprimé le :15/01/2018 11:30|"_s} << QString();
        QTest::newRow("coupon used")
            << listof(R"({"type":"COUPON","fvalue":"5","date":"2018-01-01 10:00:00","status1":false,)"
                      R"("status2":true,"dateUpdateStatus2":"2018-01-10 09:00:00"})")
            << QStringList{u"01/01/2018 10:00|Coupon 5 euros|utilisé le: 10/01/2018 09:00|"_s} << QString();
        // A status is not carried over from the event before; null and non-flags count as false.
        QTest::newRow("coupon statuses read afresh")
            << listof(R"({"type":"COUPON","fvalue":"5","date":"2018-01-01 10:00:00","status1":true,)"
                      R"("dateUpdateStatus1":"2018-01-15 11:30:00"},)"
                      R"({"type":"COUPON","fvalue":"7","date":"2018-01-02 10:00:00"},)"
                      R"({"type":"COUPON","fvalue":"9","date":"2018-01-03 10:00:00","status1":null,)"
                      R"("status2":"oui"})")
            << QStringList{u"03/01/2018 10:00|Coupon 9 euros||"_s, u"02/01/2018 10:00|Coupon 7 euros||"_s,
                           u"01/01/2018 10:00|Coupon 5 euros|supprimé le :15/01/2018 11:30|"_s}
            << QString();
        QTest::newRow("other types give no row, with or without a value")
            << listof(R"({"type":"usedcoupon","fvalue":"5","date":"2018-01-05 10:00:00"},)"
                      R"({"type":"birthday","date":"2018-01-06 10:00:00"},)" +
                      pointsLater)
            << QStringList{u"27/02/2018 08:00|Ajout Points 10 pts||10"_s} << QString();
        QTest::newRow("texts cut to their fields")
            << listof(R"({"type":"addCA","fvalue":"123456789012","sparam":")" + QByteArray(60, 'x') +
                      R"(","date":"2018-02-26 09:19:42"})")
            << QStringList{u"26/02/2018 09:19|Ajout CA 123456789012 euros|"_s % u"Code Vendeur : "_s %
                           QString(35, u'x') % u"|1234567890"_s}
            << QString();
        QTest::newRow("no type") << listof(pointsLater + R"(,{"fvalue":"1","date":"2018-03-01 10:00:00"})")
                                 << QStringList() << u"Valeur 'type' introuvable"_s;
        QTest::newRow("no fvalue") << listof(pointsLater +
                                             R"(,{"type":"COUPON","date":"2018-03-01 10:00:00"})")
                                   << QStringList() << u"Valeur 'fvalue' introuvable"_s;
        QTest::newRow("event not an object")
            << listof(pointsLater + ",3") << QStringList() << u"Valeur 'type' introuvable"_s;
        const QString unreadable =
            u"L'historique de ce client est illisible : la liste des événements est absente ou n'est pas "
            u"une liste"_s;
        QTest::newRow("list not an array")
            << QByteArray(R"({"list":{"type":"addPoint"}})") << QStringList() << unreadable;
        QTest::newRow("object without list") << QByteArray(R"({"events":[]})") << QStringList() << unreadable;
        QTest::newRow("a number") << QByteArray("12") << QStringList() << unreadable;
        QTest::newRow("a string other than empty") << QByteArray(R"("x")") << QStringList() << unreadable;
    }
    void fill()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, rows);
        QFETCH(QString, error);
        const std::unique_ptr<MemoryTable> table(DataModule::createhistorique(nullptr));
        // A row from an earlier fill never stays, whether this one succeeds or not.
        table->appendrow({u"2030-01-01 00:00:00"_s, u"old"_s, u"old"_s, QString(), QString()});
        QString raised;
        try {
            HistoryRows::fill(*table, parsed(json));
        } catch (const QuilbaError& e) {
            raised = e.message();
        }
        QCOMPARE(raised, error);
        QCOMPARE(readback(*table), rows);
    }

    void tableDefinition()
    {
        const std::unique_ptr<MemoryTable> table(DataModule::createhistorique(nullptr));
        QStringList fields;
        for (const MemoryTable::Field& field : table->fields())
            fields.append(field.name % u':' % QString::number(field.size));
        QCOMPARE(fields, (QStringList{u"uDate:20"_s, u"Date:20"_s, u"Type:50"_s, u"Commentaire:50"_s,
                                      u"Valeur:10"_s}));
        QCOMPARE(table->activeindex().name, u"idx1"_s);
        QCOMPARE(table->activeindex().fields, u"uDate"_s);
        QVERIFY(table->activeindex().descending);
        QCOMPARE(table->rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHistoryRows)
#include "tst_historyrows.moc"
