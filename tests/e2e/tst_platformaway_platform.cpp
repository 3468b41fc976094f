// The local platform taken away and brought back, as the counter's client meets it: while it is
// away a sale is refused before it leaves, and it comes back on the same port with its data.
#include "LocalPlatform.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "api/WriteResult.h"
#include "counter/Sale.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString refusedtext = u"Erreur de socket n° 111\r\nConnexion refusée."_s;

// The member of that card in the first demo pharmacy, as the platform answers it.
QJsonObject member(CounterClient& client, const QString& card)
{
    const HttpReply reply =
        client.postform(u"json_data={\"FidelityMember\":{\"actif\":\"1\",\"group\":{\"idExternal\":\""_s +
                        LocalPlatform::demoidpharma() + u"\"},\"cardnumber\":\""_s + card + u"\"}}"_s);
    return QJsonDocument::fromJson(reply.body).object().value(u"FidelityMember"_s).toObject();
}

QString sale(const QString& memberid, const QString& amount, const QString& number)
{
    Sale::Request request;
    request.memberid = memberid;
    request.idpharma = LocalPlatform::demoidpharma();
    request.seller = u"VD"_s;
    request.number = number;
    request.amount = amount;
    return Sale::requesttext(request);
}

} // namespace

class TestPlatformAwayPlatform : public QObject
{
    Q_OBJECT
private slots:
    void pointsSurviveTheAbsence()
    {
        LocalPlatform platform({}, true, LocalPlatform::Data::File);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        ReplyBuffer buffer;
        CounterClient client(buffer, [&platform] { return platform.apiurl(); });
        client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});

        const QJsonObject before = member(client, u"1010003"_s);
        const QString id = QString::number(before.value(u"id"_s).toInteger());
        const qint64 points = before.value(u"nbPoint"_s).toInteger();
        HttpReply reply = client.httpput(sale(id, u"25,80"_s, u"T-1"_s));
        QVERIFY2(WriteResult::read(reply).recorded(), reply.body.constData());
        QCOMPARE(member(client, u"1010003"_s).value(u"nbPoint"_s).toInteger(), points + 25);

        const quint16 port = platform.port();
        QVERIFY2(platform.stop(), qPrintable(platform.error()));
        QVERIFY(!platform.running());
        // The client's kept connection went with the platform; a new one is refused, so the sale
        // certainly did not leave.
        reply = client.httpput(sale(id, u"10"_s, u"T-2"_s));
        QVERIFY(!reply.ok);
        QVERIFY(!reply.sent);
        QCOMPARE(reply.failure, refusedtext);
        QVERIFY(WriteResult::read(reply).neverLeft());
        reply = client.postform(u"json_data={}"_s);
        QVERIFY(!reply.sent);
        QCOMPARE(reply.failure, refusedtext);

        QVERIFY2(platform.restart(), qPrintable(platform.error()));
        QCOMPARE(platform.port(), port);
        QCOMPARE(member(client, u"1010003"_s).value(u"nbPoint"_s).toInteger(), points + 25);
        reply = client.httpput(sale(id, u"10"_s, u"T-2"_s));
        QVERIFY2(WriteResult::read(reply).recorded(), reply.body.constData());
        QCOMPARE(member(client, u"1010003"_s).value(u"nbPoint"_s).toInteger(), points + 35);

        // Twice, and the data still follows.
        QVERIFY2(platform.stop(), qPrintable(platform.error()));
        QVERIFY2(platform.restart(), qPrintable(platform.error()));
        QCOMPARE(platform.port(), port);
        QCOMPARE(member(client, u"1010003"_s).value(u"nbPoint"_s).toInteger(), points + 35);
    }
};

QTEST_GUILESS_MAIN(TestPlatformAwayPlatform)
#include "tst_platformaway_platform.moc"
