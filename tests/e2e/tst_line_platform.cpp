// What the figures over a slow line rest on: the line of the benchmarks delays as asked, and the
// program's fresh connections to a platform served over HTTPS take up the TLS session of the one
// before, whichever client made it.
#include "LocalPlatform.h"
#include "SlowLine.h"
#include "TestCertificates.h"

#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/Sale.h"
#include "members/Lookup.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The counter's client and the connection holder, as start-up wires them, on one URL.
struct Clients
{
    explicit Clients(const QString& address) : url(address), counter(buffer, [this] { return url; })
    {
        counter.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        connexion = std::make_unique<Connection>(counter.client(), buffer, [this] { return url; });
    }
    QString url;
    ReplyBuffer buffer;
    CounterClient counter;
    std::unique_ptr<Connection> connexion;
};

QString lookupline()
{
    return Lookup::requestline(u"1010001"_s, LocalPlatform::demoidpharma());
}

} // namespace

class TestLinePlatform : public QObject
{
    Q_OBJECT
private slots:
    // Every byte waits the one-way time in each direction, and a new connection first waits the
    // round trip of TCP's handshake: a form post on a fresh connection takes two round trips at
    // least, a PUT on the connection it left one. The bytes arrive as they were sent.
    void lineDelaysEveryByte()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        const std::chrono::milliseconds oneway(40);
        SlowLine line(platform.port(), oneway);
        QVERIFY(line.started());
        Clients clients(u"http://127.0.0.1:"_s + QString::number(line.port()) + u"/apiv1/webapi.do"_s);

        QElapsedTimer clock;
        clock.start();
        const HttpReply found = clients.counter.postform(lookupline());
        const qint64 fresh = clock.elapsed();
        QVERIFY2(found.ok, qPrintable(found.failure));
        const std::optional<JsonValue> member = parsejson(found.body);
        QVERIFY2(member && member->find("FidelityMember"), found.body.constData());
        QVERIFY2(fresh >= 4 * oneway.count(), qPrintable(QString::number(fresh)));

        clock.restart();
        const QString id = gettext(*member->find("FidelityMember"), u"id"_s);
        const HttpReply sold = clients.counter.httpput(
            Sale::requesttext({id, LocalPlatform::demoidpharma(), {}, {}, u"1"_s, {}}) + u"\r\n"_s);
        const qint64 kept = clock.elapsed();
        QVERIFY2(sold.ok, qPrintable(sold.failure));
        QVERIFY2(sold.body.contains("\"code\":\"OK\""), sold.body.constData());
        QVERIFY2(kept >= 2 * oneway.count(), qPrintable(QString::number(kept)));
        QCOMPARE(line.connections(), 1);

        // Cut, the connection is gone at both ends: the next request opens another.
        line.cut();
        QVERIFY(clients.counter.postform(lookupline()).ok);
        QCOMPARE(line.connections(), 2);
        QCOMPARE(platform.handshakes().connections, 2);
    }

    void tlsSessionResumed_data()
    {
        QTest::addColumn<QString>("tlsmax");
        QTest::newRow("TLS 1.3") << QString();
        QTest::newRow("TLS 1.2") << u"1.2"_s;
    }
    // Each form post opens a fresh connection: the second takes up the session of the first, and
    // so does the first request of the connection holder, another client.
    void tlsSessionResumed()
    {
        QFETCH(QString, tlsmax);
        QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.error()));
        qputenv("SSL_CERT_FILE", m_certificates.path(u"ca.pem"_s).toLocal8Bit());
        QStringList options = m_certificates.platformoptions();
        if (!tlsmax.isEmpty())
            options << u"--tls-max"_s << tlsmax;
        LocalPlatform platform(options);
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        SlowLine line(platform.port(), std::chrono::milliseconds(5));
        QVERIFY(line.started());
        Clients clients(u"https://127.0.0.1:"_s + QString::number(line.port()) + u"/apiv1/webapi.do"_s);

        for (int post = 1; post <= 2; ++post) {
            const HttpReply reply = clients.counter.postform(lookupline());
            QVERIFY2(reply.ok, qPrintable(reply.failure));
        }
        LocalPlatform::Handshakes counted = platform.handshakes();
        QCOMPARE(counted.connections, 2);
        QCOMPARE(counted.full, 1);
        QCOMPARE(counted.resumed, 1);

        const Connection::Sent saved =
            clients.connexion->put(u"json_data={\"FidelityMember\" : {\"id\":\"1\",\"criteria\":{}}}"_s);
        QVERIFY2(saved.reply.ok, qPrintable(saved.messages.join(u'|')));
        counted = platform.handshakes();
        QCOMPARE(counted.connections, 3);
        QCOMPARE(counted.full, 1);
        QCOMPARE(counted.resumed, 2);
        qunsetenv("SSL_CERT_FILE");
    }

    void requestAfterIdleCloseLands_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::newRow("HTTPS") << true;
        QTest::newRow("HTTP") << false;
    }
    // The platform closes a connection left idle, as its keep-alive time limit does; over TLS it
    // first says so (close_notify). The sale that follows goes out on a new connection, never lost
    // on the closed one: a write after a pause at the counter lands.
    void requestAfterIdleCloseLands()
    {
        QFETCH(bool, tls);
        QVERIFY2(m_certificates.ok(), qPrintable(m_certificates.error()));
        qputenv("SSL_CERT_FILE", m_certificates.path(u"ca.pem"_s).toLocal8Bit());
        LocalPlatform platform(tls ? m_certificates.platformoptions() : QStringList());
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Clients clients(platform.apiurl());
        const int rounds = 8;
        for (int round = 0; round < rounds; ++round) {
            const HttpReply found = clients.counter.postform(lookupline());
            QVERIFY2(found.ok, qPrintable(found.failure));
            const std::optional<JsonValue> member = parsejson(found.body);
            QVERIFY(member && member->find("FidelityMember"));
            QVERIFY(platform.closeidle());
            const HttpReply sold =
                clients.counter.httpput(Sale::requesttext({gettext(*member->find("FidelityMember"), u"id"_s),
                                                           LocalPlatform::demoidpharma(),
                                                           {},
                                                           {},
                                                           u"1"_s,
                                                           {}}) +
                                        u"\r\n"_s);
            QVERIFY2(sold.ok, qPrintable(u"%1 : %2"_s.arg(round).arg(sold.failure)));
            QVERIFY2(sold.body.contains("\"code\":\"OK\""), sold.body.constData());
        }
        QCOMPARE(platform.handshakes().connections, 2 * rounds);
        qunsetenv("SSL_CERT_FILE");
    }

private:
    TestCertificates m_certificates;
};

QTEST_GUILESS_MAIN(TestLinePlatform)
#include "tst_line_platform.moc"
