#include "CaptureServer.h"
#include "api/CounterClient.h"
#include "api/HttpClient.h"
#include "api/ReplyBuffer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(CaptureServer::Reply)

namespace {

const QByteArray counteraccept = "Accept: application/json, text/plain; q=0.9, text/html;q=0.8,\r\n"
                                 "Accept-Charset: UTF-8, *;q=0.8\r\n"
                                 "Accept-Encoding: identity\r\n"
                                 "User-Agent: Embarcadero RESTClient/1.0\r\n";

HttpClient::Profile holderprofile()
{
    return {"Mozilla/3.0 (compatible; Indy Library)",
            "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
            {}};
}

QByteArray hostline(const CaptureServer& server)
{
    return "Host: 127.0.0.1:" + QByteArray::number(server.port()) + "\r\n";
}

// A port on which nothing listens.
quint16 closedport()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT
private slots:
    void formencode_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("blank and braces") << u"json_data={x: y}"_s << QByteArray("json_data=%7Bx%3A+y%7D");
        QTest::newRow("quote and comma")
            << u"json_data={\"a\",\"b\"}"_s << QByteArray("json_data=%7B%22a%22%2C%22b%22%7D");
        QTest::newRow("accent as utf-8") << u"json_data=é"_s << QByteArray("json_data=%C3%A9");
        QTest::newRow("kept as is") << u"Az09*-._=Az09*-._"_s << QByteArray("Az09*-._=Az09*-._");
        QTest::newRow("split at first equals") << u"a=b=c&d"_s << QByteArray("a=b%3Dc%26d");
        QTest::newRow("no equals") << u"a b/c"_s << QByteArray("a+b%2Fc");
        QTest::newRow("line break") << u"a=\r\n"_s << QByteArray("a=%0D%0A");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void formencode()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, encoded);
        QCOMPARE(HttpClient::formencode(line), encoded);
    }

    // The PUT goes out byte for byte: the body as UTF-8, a trailing CR LF kept, the headers in order.
    void putBytes_data()
    {
        QTest::addColumn<bool>("counter");
        QTest::addColumn<QByteArray>("headers");
        QTest::newRow("counter client") << true << counteraccept;
        QTest::newRow("connection holder client")
            << false
            << QByteArray("Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
                          "Accept-Encoding: identity\r\n"
                          "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n");
    }
    void putBytes()
    {
        QFETCH(bool, counter);
        QFETCH(QByteArray, headers);
        CaptureServer server;
        HttpClient client(counter ? CounterClient::profile() : holderprofile());
        client.setcustomheaders({{"Authorization", "Basic a2V5OnB3"}});
        const QString text = u"json_data={\"nom\":\"Hélène\"}\r\n"_s;
        const HttpReply reply = client.put(server.url(u"/api/v1?op=put"_s), text.toUtf8());
        QVERIFY2(reply.ok, qPrintable(reply.failure));
        QCOMPARE(reply.body, QByteArray("{}"));
        QCOMPARE(server.requests().size(), 1);
        const QByteArray body = "json_data={\"nom\":\"H\xC3\xA9l\xC3\xA8ne\"}\r\n";
        // clang-format off
        const QByteArray expected = "PUT /api/v1?op=put HTTP/1.1\r\n"
                                    "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                                    "Authorization: Basic a2V5OnB3\r\n"
                                    + hostline(server) + headers + "\r\n" + body;
        // clang-format on
        QCOMPARE(server.requests().at(0), expected);
    }

    void formPostBytes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("query") << u"json_data={x: y}"_s << QByteArray("json_data=%7Bx%3A+y%7D");
        QTest::newRow("accent, line end trimmed")
            << u"json_data={\"nom\":\"é\"}\r\n"_s << QByteArray("json_data=%7B%22nom%22%3A%22%C3%A9%22%7D");
        QTest::newRow("empty form") << QString() << QByteArray();
    }
    // A form post: HTTP/1.0, Connection and Content-Type first, on a new connection; both headers
    // then stay on the client, a later PUT included.
    void formPostBytes()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, body);
        CaptureServer server;
        HttpClient client(CounterClient::profile());
        client.setcustomheaders({{"Authorization", "Basic a2V5OnB3"}});
        QVERIFY(client.put(server.url(), "json_data={}").ok);
        QVERIFY(!server.requests().at(0).contains("Content-Type"));
        QVERIFY(!server.requests().at(0).contains("Connection"));

        const HttpReply reply = client.postform(server.url(u"/api?q=1"_s), line);
        QVERIFY2(reply.ok, qPrintable(reply.failure));
        QVERIFY(client.put(server.url(), "json_data={}").ok);

        QCOMPARE(server.requests().size(), 3);
        // clang-format off
        const QByteArray form = "POST /api?q=1 HTTP/1.0\r\n"
                                "Connection: keep-alive\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\n"
                                "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                                "Authorization: Basic a2V5OnB3\r\n"
                                + hostline(server) + counteraccept + "\r\n" + body;
        const QByteArray put = "PUT /api HTTP/1.1\r\n"
                               "Connection: keep-alive\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: 12\r\n"
                               "Authorization: Basic a2V5OnB3\r\n"
                               + hostline(server) + counteraccept + "\r\njson_data={}";
        // clang-format on
        QCOMPARE(server.requests().at(1), form);
        QCOMPARE(server.requests().at(2), put);
        QVERIFY(server.connectionof().at(1) != server.connectionof().at(0));
    }

    // With a proxy, the first request already carries the credentials and names the absolute URL.
    // Proxy-Authorization comes last, after User-Agent.
    void proxyCredentialsOnFirstRequest()
    {
        CaptureServer proxy;
        HttpClient client(CounterClient::profile());
        client.setproxy({u"127.0.0.1"_s, proxy.port(), u"PROXYUS"_s, u"abcd1234"_s});
        QVERIFY(client.put(u"http://platform.invalid/api?x=1"_s, "json_data={}").ok);
        QCOMPARE(proxy.requests().size(), 1);
        // clang-format off
        const QByteArray expected = "PUT http://platform.invalid/api?x=1 HTTP/1.1\r\n"
                                    "Content-Length: 12\r\n"
                                    "Host: platform.invalid\r\n"
                                    + counteraccept +
                                    "Proxy-Authorization: Basic " + QByteArray("PROXYUS:abcd1234").toBase64() + "\r\n"
                                    "\r\njson_data={}";
        // clang-format on
        QCOMPARE(proxy.requests().at(0), expected);
    }

    // A reply the proxy wrote itself because it could not reach the platform proves the request
    // never left: squid's page for a refused connection, a name not found or no route left, a
    // Proxy-Status (RFC 9209) that says the next hop was never handed it, and for an https URL any
    // refused tunnel. Any other reply through the proxy may come after the platform had the
    // request: the platform's own 503 forwarded, squid's page for a connection lost or silent
    // after the request went on, a next hop that answered. The proxy's 407 stays a refused access,
    // which never reached the platform either; without a proxy, no mark counts (a server's own
    // front may be a squid). A sale and a lookup alike.
    void proxyOwnError_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("throughproxy");
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("proxyerror");
        QTest::addColumn<bool>("sent");
        const QString http = u"http://platform.invalid/api"_s;
        const QString https = u"https://platform.invalid/api"_s;
        const QByteArray squid = "Server: squid/5.7\r\nMime-Version: 1.0\r\nContent-Type: text/html\r\n";
        const QByteArray via = "Via: 1.1 proxy (squid/5.7)\r\n";
        const QByteArray page = "<html><body id=ERR>ERROR</body></html>";
        const auto answer = [&](const QByteArray& statusline, const QByteArray& headers) {
            return CaptureServer::status(statusline, page, headers);
        };
        const QByteArray unavailable = "HTTP/1.1 503 Service Unavailable";
        const QByteArray badgateway = "HTTP/1.1 502 Bad Gateway";

        QTest::newRow("squid: connection refused")
            << http << true << answer(unavailable, squid + "X-Squid-Error: ERR_CONNECT_FAIL 111\r\n" + via)
            << 503 << true << false;
        QTest::newRow("squid: connection timed out")
            << http << true
            << answer("HTTP/1.1 504 Gateway Timeout", squid + "X-Squid-Error: ERR_CONNECT_FAIL 110\r\n" + via)
            << 504 << true << false;
        QTest::newRow("squid: name not found")
            << http << true << answer(unavailable, squid + "X-Squid-Error: ERR_DNS_FAIL 0\r\n") << 503 << true
            << false;
        QTest::newRow("squid: no route left")
            << http << true
            << answer("HTTP/1.1 500 Internal Server Error", squid + "X-Squid-Error: ERR_CANNOT_FORWARD 0\r\n")
            << 500 << true << false;
        QTest::newRow("proxy-status: connection refused")
            << http << true
            << answer(badgateway, "Proxy-Status: proxy.kestrel.lan; error=connection_refused; "
                                  "next-hop=\"platform.invalid\"\r\n")
            << 502 << true << false;
        QTest::newRow("proxy-status: the next proxy timed out connecting")
            << http << true
            << answer("HTTP/1.1 504 Gateway Timeout",
                      "Proxy-Status: \"cdn, front\"; error=connection_timeout\r\nProxy-Status: proxy\r\n")
            << 504 << true << false;
        QTest::newRow("platform's 503 forwarded")
            << http << true
            << answer(unavailable,
                      "Content-Type: application/json\r\n" + via + "X-Cache: MISS from proxy\r\n")
            << 503 << false << true;
        QTest::newRow("squid: connection lost after the request")
            << http << true << answer(badgateway, squid + "X-Squid-Error: ERR_ZERO_SIZE_OBJECT 0\r\n") << 502
            << false << true;
        QTest::newRow("squid: no reply in time")
            << http << true
            << answer("HTTP/1.1 504 Gateway Timeout", squid + "X-Squid-Error: ERR_READ_TIMEOUT 110\r\n")
            << 504 << false << true;
        QTest::newRow("proxy-status: connection closed after the request")
            << http << true << answer(badgateway, "Proxy-Status: proxy; error=connection_terminated\r\n")
            << 502 << false << true;
        QTest::newRow("proxy-status: the next hop answered")
            << http << true
            << answer(unavailable, "Proxy-Status: proxy; error=connection_refused; received-status=503\r\n")
            << 503 << false << true;
        QTest::newRow("proxy-status unreadable")
            << http << true << answer(badgateway, "Proxy-Status: proxy; error=\"connection_refused\r\n")
            << 502 << false << true;
        QTest::newRow("squid: credentials refused")
            << http << true
            << answer("HTTP/1.1 407 Proxy Authentication Required",
                      squid + "X-Squid-Error: ERR_CACHE_ACCESS_DENIED 0\r\n")
            << 407 << false << false;
        QTest::newRow("no proxy: the server's own squid page")
            << http << false << answer(unavailable, squid + "X-Squid-Error: ERR_CONNECT_FAIL 111\r\n") << 503
            << false << true;
        QTest::newRow("tunnel refused: connection refused")
            << https << true << answer(unavailable, squid + "X-Squid-Error: ERR_CONNECT_FAIL 111\r\n") << 503
            << true << false;
        QTest::newRow("tunnel refused without a mark")
            << https << true << answer(badgateway, {}) << 502 << true << false;
        QTest::newRow("tunnel: credentials refused") << https << true
                                                     << answer("HTTP/1.1 407 Proxy Authentication Required",
                                                               "Proxy-Authenticate: Basic realm=\"k\"\r\n")
                                                     << 407 << false << false;
    }
    void proxyOwnError()
    {
        QFETCH(QString, url);
        QFETCH(bool, throughproxy);
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(int, status);
        QFETCH(bool, proxyerror);
        QFETCH(bool, sent);
        CaptureServer server;
        HttpClient client(CounterClient::profile());
        if (throughproxy)
            client.setproxy({u"127.0.0.1"_s, server.port(), u"PROXYUS"_s, u"abcd1234"_s});
        else
            url = server.url();
        server.enqueue(answer);
        server.enqueue(answer);
        const HttpReply replies[] = {client.put(url, "json_data={}"),
                                     client.postform(url, u"json_data={}"_s)};
        QCOMPARE(server.requests().size(), 2);
        for (const HttpReply& reply : replies) {
            QVERIFY(!reply.ok);
            QCOMPARE(reply.status, status);
            QCOMPARE(reply.proxyerror, proxyerror);
            QCOMPARE(reply.sent, sent);
            // The proxy's 407 is said in French: the pharmacist reads it before the proxy's page.
            const QString denied =
                u"Le proxy a refusé son mot de passe (HTTP 407) : la demande n'a pas atteint la plateforme."_s;
            QCOMPARE(reply.proxydenied, throughproxy && status == 407);
            QCOMPARE(reply.failure,
                     proxyerror ? u"Le proxy n'a pas pu joindre la plateforme (HTTP %1)."_s.arg(status)
                     : reply.proxydenied ? denied
                                         : QString::fromUtf8(reply.statusline));
            QVERIFY(reply.statusline.startsWith(QByteArray("HTTP/1.1 " + QByteArray::number(status) + ' ')));
        }
        if (url.startsWith(u"https"_s))
            QVERIFY(server.requests().at(0).startsWith("CONNECT platform.invalid:443 HTTP/1.1\r\n"));
    }

    // Through a tunnel the request goes once the tunnel is open and TLS done: a proxy that closes
    // the connection instead of answering the CONNECT, or a tunnel to a server that speaks no
    // TLS, leaves it unsent, although the CONNECT's own bytes went.
    void tunnelNeverReadyNothingLeft_data()
    {
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::newRow("closed without answering") << CaptureServer::closed();
        QTest::newRow("no TLS behind the tunnel")
            << CaptureServer::raw("HTTP/1.1 200 Connection established\r\n\r\nbonjour\r\n", true);
    }
    void tunnelNeverReadyNothingLeft()
    {
        QFETCH(CaptureServer::Reply, answer);
        CaptureServer proxy;
        proxy.enqueue(answer);
        HttpClient client(CounterClient::profile());
        client.setproxy({u"127.0.0.1"_s, proxy.port(), u"PROXYUS"_s, u"abcd1234"_s});
        const HttpReply reply = client.put(u"https://platform.invalid/api"_s, "json_data={}");
        QVERIFY(!reply.ok);
        QVERIFY(!reply.sent);
        QVERIFY(!reply.proxyerror);
        QCOMPARE(reply.status, 0);
        QCOMPARE(proxy.requests().size(), 1);
        QVERIFY(proxy.requests().at(0).startsWith("CONNECT platform.invalid:443 HTTP/1.1\r\n"));
    }

    // The cookies a reply sets go back on the next requests, in one Cookie header written last,
    // after User-Agent and, through the proxy, after Proxy-Authorization: byte for byte, directly
    // and through the proxy, on a PUT and on a form post. "lang" holds for the request's folder,
    // a longer path than "/": it comes first.
    void cookieAndProxyHeadersLast_data()
    {
        QTest::addColumn<bool>("throughproxy");
        QTest::newRow("direct") << false;
        QTest::newRow("through the proxy") << true;
    }
    void cookieAndProxyHeadersLast()
    {
        QFETCH(bool, throughproxy);
        CaptureServer server;
        server.enqueue(CaptureServer::ok("{}", "Set-Cookie: JSESSIONID=abc123; Path=/; HttpOnly\r\n"
                                               "Set-Cookie: lang=fr\r\n"));
        HttpClient client(CounterClient::profile());
        client.setcustomheaders({{"Authorization", "Basic a2V5OnB3"}});
        QString url = server.url(u"/apiv1/webapi.do"_s);
        QByteArray target = "/apiv1/webapi.do";
        QByteArray host = hostline(server);
        QByteArray proxyline;
        if (throughproxy) {
            client.setproxy({u"127.0.0.1"_s, server.port(), u"PROXYUS"_s, u"abcd1234"_s});
            url = u"http://platform.invalid/apiv1/webapi.do"_s;
            target = "http://platform.invalid/apiv1/webapi.do";
            host = "Host: platform.invalid\r\n";
            proxyline = "Proxy-Authorization: Basic " + QByteArray("PROXYUS:abcd1234").toBase64() + "\r\n";
        }
        QVERIFY(client.put(url, "json_data={}").ok);
        QVERIFY(client.put(url, "json_data={}").ok);
        QVERIFY(client.postform(url, u"json_data=x"_s).ok);
        QCOMPARE(server.requests().size(), 3);
        // clang-format off
        QCOMPARE(server.requests().at(0), "PUT " + target + " HTTP/1.1\r\n"
                                          "Content-Length: 12\r\n"
                                          "Authorization: Basic a2V5OnB3\r\n"
                                          + host + counteraccept + proxyline + "\r\njson_data={}");
        QCOMPARE(server.requests().at(1), "PUT " + target + " HTTP/1.1\r\n"
                                          "Content-Length: 12\r\n"
                                          "Authorization: Basic a2V5OnB3\r\n"
                                          + host + counteraccept + proxyline +
                                          "Cookie: lang=fr; JSESSIONID=abc123\r\n"
                                          "\r\njson_data={}");
        QCOMPARE(server.requests().at(2), "POST " + target + " HTTP/1.0\r\n"
                                          "Connection: keep-alive\r\n"
                                          "Content-Type: application/x-www-form-urlencoded\r\n"
                                          "Content-Length: 11\r\n"
                                          "Authorization: Basic a2V5OnB3\r\n"
                                          + host + counteraccept + proxyline +
                                          "Cookie: lang=fr; JSESSIONID=abc123\r\n"
                                          "\r\njson_data=x");
        // clang-format on
    }

    void replies_data()
    {
        QTest::addColumn<CaptureServer::Reply>("answer");
        QTest::addColumn<qint64>("maxreply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QByteArray>("body");
        const qint64 big = 1 << 20;
        QTest::newRow("refusal 500") << CaptureServer::status("HTTP/1.1 500 Internal Server Error", "panne")
                                     << big << false << 500 << u"HTTP/1.1 500 Internal Server Error"_s
                                     << QByteArray("panne");
        QTest::newRow("refusal 401") << CaptureServer::status("HTTP/1.1 401 Unauthorized", "") << big << false
                                     << 401 << u"HTTP/1.1 401 Unauthorized"_s << QByteArray();
        QTest::newRow("redirect not followed")
            << CaptureServer::status("HTTP/1.1 302 Found", "ailleurs", "Location: http://127.0.0.1:1/x\r\n")
            << big << true << 302 << QString() << QByteArray();
        QTest::newRow("redirect without location") << CaptureServer::status("HTTP/1.1 302 Found", "") << big
                                                   << false << 302 << u"HTTP/1.1 302 Found"_s << QByteArray();
        QTest::newRow("chunked") << CaptureServer::chunked({"{\"a\":", "1}"}) << big << true << 200
                                 << QString() << QByteArray("{\"a\":1}");
        QTest::newRow("close-delimited") << CaptureServer::closedelimited("{\"b\":2}\n") << big << true << 200
                                         << QString() << QByteArray("{\"b\":2}\n");
        QTest::newRow("bytes kept") << CaptureServer::ok("\xEF\xBB\xBF{\"c\":\"\xC3\xA9\"}\n") << big << true
                                    << 200 << QString() << QByteArray("\xEF\xBB\xBF{\"c\":\"\xC3\xA9\"}\n");
        QTest::newRow("closed without reply")
            << CaptureServer::closed() << big << false << 0
            << u"Le serveur a fermé la connexion sans répondre."_s << QByteArray();
        QTest::newRow("not http") << CaptureServer::raw("bonjour\r\n\r\n", true) << big << false << 0
                                  << u"Réponse du serveur mal formée."_s << QByteArray();
        QTest::newRow("cut short") << CaptureServer::raw("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{",
                                                         true)
                                   << big << false << 0
                                   << u"La connexion a été coupée avant la fin de la réponse."_s
                                   << QByteArray();
        QTest::newRow("oversize announced")
            << CaptureServer::ok(QByteArray(100, 'x')) << qint64(64) << false << 0
            << u"Réponse trop volumineuse (plus de 64 octets)."_s << QByteArray();
        QTest::newRow("oversize chunked")
            << CaptureServer::chunked({QByteArray(40, 'x'), QByteArray(40, 'y')}) << qint64(64) << false << 0
            << u"Réponse trop volumineuse (plus de 64 octets)."_s << QByteArray();
    }
    void replies()
    {
        QFETCH(CaptureServer::Reply, answer);
        QFETCH(qint64, maxreply);
        QFETCH(bool, ok);
        QFETCH(int, status);
        QFETCH(QString, failure);
        QFETCH(QByteArray, body);
        CaptureServer server;
        server.enqueue(answer);
        HttpClient client(CounterClient::profile());
        client.setmaxreply(maxreply);
        const HttpReply reply = client.put(server.url(), "json_data={}");
        QCOMPARE(reply.ok, ok);
        QCOMPARE(reply.failure, failure);
        if (status != 0)
            QCOMPARE(reply.status, status);
        if (!failure.startsWith(u"HTTP/"_s) && ok)
            QVERIFY(reply.statusline.startsWith("HTTP/1.1 "));
        if (failure.startsWith(u"HTTP/"_s))
            QCOMPARE(QString::fromUtf8(reply.statusline), failure);
        QCOMPARE(reply.body, body);
        QCOMPARE(server.requests().size(), 1); // nothing followed, nothing retried

        // The client is still usable afterwards.
        const HttpReply next = client.put(server.url(), "json_data={}");
        QVERIFY2(next.ok, qPrintable(next.failure));
        QCOMPARE(next.body, QByteArray("{}"));
    }

    // A write that the server may have received is never sent a second time on its own: when a kept
    // connection closes without a reply, the request ends as a failure that says it left.
    void writeNotSentAgainOnClosedConnection()
    {
        CaptureServer server;
        server.enqueue(CaptureServer::ok("{}"));
        server.enqueue(CaptureServer::closed());
        HttpClient client(CounterClient::profile());
        QVERIFY(client.put(server.url(), "json_data={\"vente\":1}").ok);
        const HttpReply reply = client.put(server.url(), "json_data={\"vente\":2}");
        QVERIFY(!reply.ok);
        QVERIFY(reply.sent);
        QCOMPARE(
            reply.failure,
            u"La connexion a été coupée après l'envoi de la demande : la plateforme a pu la recevoir."_s);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.connectionof(), QList<int>({0, 0}));

        // The next request goes out on a new connection.
        const HttpReply next = client.put(server.url(), "json_data={}");
        QVERIFY2(next.ok, qPrintable(next.failure));
        QCOMPARE(server.requests().size(), 3);
    }

    // A server that sends its head and then nothing does not hold the counter for ever.
    void stalledServer()
    {
        CaptureServer server;
        server.enqueue(CaptureServer::stalled("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n{\"a\""));
        HttpClient client(CounterClient::profile());
        client.setstalltimeout(1);
        const HttpReply reply = client.put(server.url(), "json_data={}");
        QVERIFY(!reply.ok);
        QCOMPARE(reply.failure, u"Le serveur ne répond plus (aucune donnée reçue pendant 1 s)."_s);
        QVERIFY(reply.body.isEmpty());
    }

    void connectionRefused()
    {
        HttpClient client(CounterClient::profile());
        const HttpReply reply =
            client.put(u"http://127.0.0.1:"_s + QString::number(closedport()) + u"/api"_s, "json_data={}");
        QVERIFY(!reply.ok);
        QCOMPARE(reply.oserror, ECONNREFUSED);
        QCOMPARE(reply.failure,
                 u"Erreur de socket n° "_s + QString::number(ECONNREFUSED) + u"\r\nConnexion refusée."_s);
    }

    void tlsFailure()
    {
        QTcpServer plain;
        QVERIFY(plain.listen(QHostAddress::LocalHost, 0));
        connect(&plain, &QTcpServer::newConnection, this, [&plain] {
            QTcpSocket* socket = plain.nextPendingConnection();
            socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            socket->disconnectFromHost();
        });
        HttpClient client(CounterClient::profile());
        const HttpReply reply = client.put(
            u"https://127.0.0.1:"_s + QString::number(plain.serverPort()) + u"/api"_s, "json_data={}");
        QVERIFY(!reply.ok);
        QCOMPARE(reply.failure, u"Échec de la connexion sécurisée (TLS) avec le serveur."_s);
    }

    // A listening socket whose accept queue is full drops new connection attempts: the connect
    // time limit is what ends the request.
    void connectTimeLimit()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(listener >= 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0);
        QVERIFY(::listen(listener, 0) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0);
        QList<int> fillers;
        for (int i = 0; i < 4; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
            ::fcntl(filler, F_SETFL, O_NONBLOCK);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), size);
            fillers.append(filler);
        }
        QThread::msleep(100);

        HttpClient client(CounterClient::profile());
        client.setconnecttimeout(300);
        client.setstalltimeout(5);
        const HttpReply reply = client.put(
            u"http://127.0.0.1:"_s + QString::number(ntohs(address.sin_port)) + u"/api"_s, "json_data={}");
        for (int filler : fillers)
            ::close(filler);
        ::close(listener);
        if (reply.failure.startsWith(u"Le serveur ne répond plus"_s) || reply.failure.isEmpty())
            QSKIP("this system accepted the connection despite the full queue");
        QVERIFY(!reply.ok);
        QCOMPARE(reply.failure, u"Délai de connexion."_s);
    }

    // While a request waits, the caller's event loop keeps running (timers fire, windows paint);
    // a second request on the same client is refused instead of disturbing the first.
    void eventLoopRunsWhileWaiting()
    {
        CaptureServer server;
        server.enqueue(CaptureServer::held(CaptureServer::ok("{\"late\":true}")));
        HttpClient client(CounterClient::profile());
        client.setstalltimeout(30);
        bool fired = false;
        HttpReply nested;
        connect(&server, &CaptureServer::requestreceived, this, [&] {
            QTimer::singleShot(0, this, [&] {
                fired = true;
                nested = client.put(server.url(), "json_data={}");
                server.release();
            });
        });
        const HttpReply reply = client.put(server.url(), "json_data={}");
        QVERIFY(fired);
        QVERIFY2(reply.ok, qPrintable(reply.failure));
        QCOMPARE(reply.body, QByteArray("{\"late\":true}"));
        QVERIFY(!nested.ok);
        QCOMPARE(nested.failure, u"Une requête est déjà en cours sur ce client."_s);
        QCOMPARE(server.requests().size(), 1);
    }

    // An event handled while a request waits may destroy the client: the waiting request ends as a
    // failure instead of touching what is gone.
    void clientDestroyedWhileWaiting()
    {
        CaptureServer server;
        server.enqueue(CaptureServer::held(CaptureServer::ok("{}")));
        auto client = std::make_unique<HttpClient>(CounterClient::profile());
        HttpClient* waiting = client.get();
        connect(&server, &CaptureServer::requestreceived, this,
                [&] { QTimer::singleShot(0, this, [&] { client.reset(); }); });
        const HttpReply reply = waiting->put(server.url(), "json_data={}");
        QVERIFY(!client);
        QVERIFY(!reply.ok);
        QCOMPARE(reply.failure, u"Requête interrompue : le client HTTP a été fermé."_s);
    }

    void downloadProgressOnCallerThread()
    {
        CaptureServer server;
        const QByteArray file(200000, 'z');
        server.enqueue(CaptureServer::ok(file));
        HttpClient client(holderprofile());
        QList<qint64> done;
        qint64 total = 0;
        bool elsewhere = false;
        QThread* caller = QThread::currentThread();
        const HttpReply reply = client.get(server.url(u"/setup.exe"_s), [&](qint64 now, qint64 all) {
            elsewhere = elsewhere || QThread::currentThread() != caller;
            done.append(now);
            total = all;
        });
        QVERIFY2(reply.ok, qPrintable(reply.failure));
        QCOMPARE(reply.body.size(), file.size());
        QVERIFY(server.requests().at(0).startsWith("GET /setup.exe HTTP/1.1\r\nHost: "));
        QVERIFY(!elsewhere);
        QVERIFY(!done.isEmpty());
        QCOMPARE(done.last(), file.size());
        QCOMPARE(total, file.size());
    }

    // The counter client's two operations and the reply buffer.
    void counterHttpput()
    {
        CaptureServer server;
        ReplyBuffer buffer;
        buffer.settext(u"avant"_s);
        CounterClient counter(buffer, [&server] { return server.url(); });
        server.enqueue(CaptureServer::ok("\xEF\xBB\xBF{\"ApiReturn\":\n{\"code\":\"OK\"}\n}"));
        QVERIFY(counter.httpput(u"json_data={}"_s).ok);
        QCOMPARE(buffer.bytes(), QByteArray("{\"ApiReturn\":\r\n{\"code\":\"OK\"}\r\n}"));

        server.enqueue(CaptureServer::status("HTTP/1.1 500 Internal Server Error", "panne"));
        const HttpReply refused = counter.httpput(u"json_data={}"_s);
        QVERIFY(!refused.ok);
        QCOMPARE(refused.status, 500);
        QCOMPARE(buffer.bytes(), QByteArray("{\"ApiReturn\":\r\n{\"code\":\"OK\"}\r\n}"));
    }

    void counterPostform()
    {
        CaptureServer server;
        ReplyBuffer buffer;
        buffer.settext(u"avant"_s);
        CounterClient counter(buffer, [&server] { return server.url(); });
        server.enqueue(CaptureServer::status("HTTP/1.1 404 Not Found", "absent"));
        const HttpReply refused = counter.postform(u"json_data={}"_s);
        QVERIFY(!refused.ok);
        QCOMPARE(refused.failure, u"HTTP/1.1 404 Not Found"_s);
        QCOMPARE(refused.status, 404);
        QCOMPARE(refused.statusline, QByteArray("HTTP/1.1 404 Not Found"));
        QCOMPARE(refused.body, QByteArray("absent"));
        QCOMPARE(buffer.bytes(), QByteArray("avant"));

        server.enqueue(CaptureServer::ok("{\"list\":[]}\n"));
        QVERIFY(counter.postform(u"json_data={}"_s).ok);
        QCOMPARE(buffer.bytes(), QByteArray("{\"list\":[]}\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
