// The counter behind the pharmacy group's proxy, as with the switch "kestrel", here a real squid:
// when the proxy cannot reach the platform, its own error page proves that nothing left, and the
// sale is offered to be kept; the platform's own 503, forwarded by the proxy, proves nothing, and
// may come from a platform that recorded the sale.
#include "LocalPlatform.h"
#include "LocalProxy.h"
#include "Person.h"
#include "RunningProgram.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "api/WriteResult.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/Sale.h"
#include "outbox/KeptSales.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// The proxy of the switch "kestrel", moved to the local squid.
HttpProxy kestrel(const LocalProxy& proxy)
{
    HttpProxy moved = Program::kestrelproxy();
    moved.host = u"127.0.0.1"_s;
    moved.port = proxy.port();
    return moved;
}

// A member as the platform at that address holds it, read directly, outside the program under
// test.
QJsonObject member(const QString& url, const QString& card)
{
    ReplyBuffer buffer;
    CounterClient client(buffer, [&url] { return url; });
    client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
    const HttpReply reply =
        client.postform(u"json_data={\"FidelityMember\":{\"actif\":\"1\",\"group\":{\"idExternal\":\""_s +
                        LocalPlatform::demoidpharma() + u"\"},\"cardnumber\":\""_s + card + u"\"}}"_s);
    return QJsonDocument::fromJson(reply.body).object().value(u"FidelityMember"_s).toObject();
}

qint64 points(const QString& url, const QString& card)
{
    return member(url, card).value(u"nbPoint"_s).toInteger(-1);
}

QString memberid(const QString& url, const QString& card)
{
    return QString::number(member(url, card).value(u"id"_s).toInteger());
}

QString saletext(const QString& memberid, const QString& amount, const QString& number)
{
    Sale::Request request;
    request.memberid = memberid;
    request.idpharma = LocalPlatform::demoidpharma();
    request.seller = u"VD"_s;
    request.number = number;
    request.amount = amount;
    return Sale::requesttext(request) + u"\r\n"_s;
}

// Types the sale as the pharmacist does and validates it with the button.
void sell(CounterWindow& window, const QString& amount, const QString& number)
{
    Person::click(window.edvendeur());
    Person::type(u"VD"_s);
    Person::click(window.ednumvente());
    Person::type(number);
    Person::click(window.addpoint());
    Person::type(amount);
    Person::click(window.btnadd());
}

int keptcount(const QString& folder)
{
    const SystemClock clock;
    KeptSales store(KeptSales::pathin(folder), clock);
    return store.count().value_or(-1);
}

} // namespace

class TestProxyPlatform : public QObject
{
    Q_OBJECT
private slots:
    // The platform away: squid answers its own 503, for an http URL as its error page, for an
    // https one by refusing the tunnel. Neither the sale nor the lookup left.
    void platformAwayBehindTheProxy_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("http") << u"http"_s;
        QTest::newRow("https") << u"https"_s;
    }
    void platformAwayBehindTheProxy()
    {
        QFETCH(QString, scheme);
        LocalProxy proxy;
        QVERIFY2(proxy.started(), qPrintable(proxy.error()));
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const QString id = memberid(platform.apiurl(), u"1010003"_s);
        QVERIFY2(platform.stop(), qPrintable(platform.error()));

        const QString url =
            scheme + u"://127.0.0.1:"_s + QString::number(platform.port()) + u"/apiv1/webapi.do"_s;
        ReplyBuffer buffer;
        CounterClient client(buffer, [&url] { return url; });
        client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        client.client().setproxy(kestrel(proxy));
        const HttpReply replies[] = {client.httpput(saletext(id, u"12"_s, u"P-1"_s)),
                                     client.postform(u"json_data={}"_s)};
        for (const HttpReply& reply : replies) {
            QVERIFY(!reply.ok);
            QVERIFY(reply.proxyerror);
            QVERIFY(!reply.sent);
            QCOMPARE(reply.status, 503);
            QCOMPARE(reply.failure, u"Le proxy n'a pas pu joindre la plateforme (HTTP 503)."_s);
        }
        QVERIFY(WriteResult::read(replies[0]).neverLeft());
    }

    // The platform records the sale and answers 503 (a front that gave up on it): through the
    // proxy, that 503 is the platform's, and the sale may have landed. It did.
    void platformOwn503ThroughTheProxy()
    {
        LocalProxy proxy;
        QVERIFY2(proxy.started(), qPrintable(proxy.error()));
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const QString id = memberid(platform.apiurl(), u"1010003"_s);
        const qint64 before = points(platform.apiurl(), u"1010003"_s);
        platform.admin("POST", u"faults"_s,
                       R"({"action":"status","process":true,"path":"/apiv1/",
                           "status_line":"HTTP/1.1 503 Service Unavailable","body":"indisponible"})");

        ReplyBuffer buffer;
        CounterClient client(buffer, [&platform] { return platform.apiurl(); });
        client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        client.client().setproxy(kestrel(proxy));
        const HttpReply reply = client.httpput(saletext(id, u"12"_s, u"P-2"_s));
        QVERIFY(!reply.ok);
        QCOMPARE(reply.status, 503);
        QVERIFY(!reply.proxyerror);
        QVERIFY(reply.sent);
        QCOMPARE(reply.failure, u"HTTP/1.1 503 Service Unavailable"_s);
        QCOMPARE(WriteResult::read(reply).state, WriteResult::State::NotYetKnown);
        QCOMPARE(points(platform.apiurl(), u"1010003"_s), before + 12);
    }

    // An https platform: the proxy opens the tunnel, the sale goes inside it and its reply is
    // lost (too large to be read whole): it may have landed, and it did. (A reply lost while the
    // tunnel was being opened is another matter: nothing went.)
    void saleInTheTunnelMayHaveLanded()
    {
        QTemporaryDir keys;
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(u"openssl"_s,
                      {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                       u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                       u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s,
                       keys.filePath(u"key.pem"_s), u"-out"_s, keys.filePath(u"cert.pem"_s)});
        QVERIFY2(openssl.waitForFinished(30000) && openssl.exitCode() == 0, openssl.readAll().constData());
        // Trusted as its own authority by the clients made from now on.
        qputenv("SSL_CERT_FILE", QFile::encodeName(keys.filePath(u"cert.pem"_s)));
        const auto trustback = qScopeGuard([] { qunsetenv("SSL_CERT_FILE"); });

        LocalProxy proxy;
        QVERIFY2(proxy.started(), qPrintable(proxy.error()));
        LocalPlatform platform(
            {u"--tls-cert"_s, keys.filePath(u"cert.pem"_s), u"--tls-key"_s, keys.filePath(u"key.pem"_s)});
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const QString url =
            u"https://127.0.0.1:"_s + QString::number(platform.port()) + u"/apiv1/webapi.do"_s;
        const QString id = memberid(url, u"1010003"_s);
        const qint64 before = points(url, u"1010003"_s);
        QVERIFY(before >= 0);

        ReplyBuffer buffer;
        CounterClient client(buffer, [&url] { return url; });
        client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        client.client().setproxy(kestrel(proxy));
        // Room for the proxy's answer to the CONNECT, not for the platform's reply.
        client.client().setmaxreply(100);
        const HttpReply reply = client.httpput(saletext(id, u"12"_s, u"P-4"_s));
        QVERIFY(!reply.ok);
        QVERIFY(!reply.proxyerror);
        QVERIFY(reply.sent);
        QCOMPARE(reply.failure, u"Réponse trop volumineuse (plus de 100 octets)."_s);
        QCOMPARE(WriteResult::read(reply).state, WriteResult::State::NotYetKnown);
        QCOMPARE(points(url, u"1010003"_s), before + 12);
    }

    // At the counter: a member looked up through the proxy, the platform goes away, the sale
    // gets the keep question and is kept on Oui; a lookup says the platform cannot be reached.
    // The platform back, the kept sale goes through the proxy, once.
    void saleKeptWhenTheProxyCannotReachThePlatform()
    {
        LocalProxy proxy;
        QVERIFY2(proxy.started(), qPrintable(proxy.error()));
        LocalPlatform platform({}, true, LocalPlatform::Data::File);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const qint64 before = points(platform.apiurl(), u"1010003"_s);
        RunningProgram counter(platform);
        counter.program->counterclient().client().setproxy(kestrel(proxy));
        counter.program->connexion().client().setproxy(kestrel(proxy));
        counter.show();
        counter.search(u"1010003"_s);
        QVERIFY(!counter.window().state().idle());
        QCOMPARE(counter.dialogs.texts(), QStringList());
        // It came through squid.
        const QJsonArray journal = counter.journal();
        QVERIFY(!journal.isEmpty());
        bool via = false;
        for (const QJsonValue header : journal.first().toObject().value(u"headers"_s).toArray())
            via = via || (header.toArray().at(0).toString().compare(u"Via"_s, Qt::CaseInsensitive) == 0 &&
                          header.toArray().at(1).toString().contains(u"squid"_s));
        QVERIFY(via);

        QVERIFY2(platform.stop(), qPrintable(platform.error()));
        counter.dialogs.script({true});
        sell(counter.window(), u"12"_s, u"P-3"_s);
        QCOMPARE(counter.dialogs.texts(), QStringList{Sale::keepquestion()});
        QCOMPARE(counter.dialogs.shown().front().kind, u"question"_s);
        QVERIFY(counter.window().state().idle());
        QCOMPARE(counter.window().search()->text(), QString());
        QCOMPARE(counter.window().btventesenattente()->text(), u"1 vente en attente d'envoi"_s);
        QTRY_VERIFY(counter.window().btventesenattente()->isVisible());
        QCOMPARE(keptcount(counter.workfolder()), 1);

        counter.dialogs.clear();
        counter.search(u"1010003"_s);
        QCOMPARE(counter.dialogs.texts(),
                 QStringList{u"Le proxy n'a pas pu joindre la plateforme (HTTP 503)."_s});
        QCOMPARE(counter.dialogs.shown().front().kind, u"exception"_s);
        QCOMPARE(keptcount(counter.workfolder()), 1);

        QVERIFY2(platform.restart(), qPrintable(platform.error()));
        counter.dialogs.clear();
        counter.search(u"1010003"_s);
        QVERIFY(!counter.window().state().idle());
        QTRY_COMPARE_WITH_TIMEOUT(keptcount(counter.workfolder()), 0, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!counter.window().btventesenattente()->isVisible(), 5000);
        QCOMPARE(points(platform.apiurl(), u"1010003"_s), before + 12);
        QCOMPARE(counter.dialogs.texts(), QStringList());
    }
};

QTEST_MAIN(TestProxyPlatform)
#include "tst_proxy_platform.moc"
