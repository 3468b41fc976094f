#include "api/CookieJar.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Which cookies go back where. Each case sets cookies from replies ("url|Set-Cookie value") and
// reads the Cookie header a request to another url gets.
class TestCookieJar : public QObject
{
    Q_OBJECT
private slots:
    void header_data()
    {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QByteArray>("cookie");
        const QString api = u"https://api.quilba.fr/apiv1/webapi.do"_s;
        QTest::newRow("sent back to its host")
            << QStringList{api + u"|SID=1"_s} << api << QByteArray("SID=1");
        QTest::newRow("blanks around name and value")
            << QStringList{api + u"| SID = a b ; Path=/"_s} << api << QByteArray("SID=a b");
        QTest::newRow("no equals sign: ignored") << QStringList{api + u"|SID"_s} << api << QByteArray();
        QTest::newRow("host only: not to a sub-domain")
            << QStringList{u"https://quilba.fr/|SID=1"_s} << api << QByteArray();
        QTest::newRow("domain: to its sub-domains")
            << QStringList{u"https://quilba.fr/|SID=1; Domain=.quilba.fr"_s} << api << QByteArray("SID=1");
        QTest::newRow("domain of another site: refused")
            << QStringList{api + u"|SID=1; Domain=exemple.fr"_s} << u"https://exemple.fr/"_s << QByteArray();
        QTest::newRow("top-level domain: refused")
            << QStringList{api + u"|SID=1; Domain=fr"_s} << api << QByteArray();
        QTest::newRow("other host") << QStringList{api + u"|SID=1"_s} << u"https://maj.quilba.fr/x"_s
                                    << QByteArray();
        QTest::newRow("default path is the folder: not above it")
            << QStringList{api + u"|SID=1"_s} << u"https://api.quilba.fr/autre"_s << QByteArray();
        QTest::newRow("path prefix must end at a slash")
            << QStringList{api + u"|SID=1; Path=/api"_s} << api << QByteArray();
        QTest::newRow("path of a parent folder")
            << QStringList{api + u"|SID=1; Path=/apiv1"_s} << api << QByteArray("SID=1");
        QTest::newRow("secure: not over http") << QStringList{api + u"|SID=1; Secure"_s}
                                               << u"http://api.quilba.fr/apiv1/webapi.do"_s << QByteArray();
        QTest::newRow("secure set over http: refused")
            << QStringList{u"http://api.quilba.fr/apiv1/x|SID=1; Secure"_s} << api << QByteArray();
        QTest::newRow("replaced, keeps its place")
            << QStringList{api + u"|A=1"_s, api + u"|B=2"_s, api + u"|A=3"_s} << api
            << QByteArray("A=3; B=2");
        QTest::newRow("longest path first")
            << QStringList{api + u"|A=1; Path=/"_s, api + u"|B=2; Path=/apiv1"_s} << api
            << QByteArray("B=2; A=1");
        QTest::newRow("max-age 0 deletes")
            << QStringList{api + u"|A=1"_s, api + u"|B=2"_s, api + u"|A=; Max-Age=0"_s} << api
            << QByteArray("B=2");
        QTest::newRow("date in the past deletes")
            << QStringList{api + u"|A=1"_s, api + u"|A=1; Expires=Wed, 21 Oct 2015 07:28:00 GMT"_s} << api
            << QByteArray();
        QTest::newRow("max-age wins over a past date")
            << QStringList{api + u"|A=1; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Max-Age=3600"_s} << api
            << QByteArray("A=1");
        QTest::newRow("future date kept")
            << QStringList{api + u"|A=1; expires=Fri, 01 Jan 2100 00:00:00 GMT"_s} << api
            << QByteArray("A=1");
        QTest::newRow("address host: exact only")
            << QStringList{u"http://127.0.0.1:8080/a|SID=1; Domain=0.0.1"_s, u"http://127.0.0.1:8080/a|T=2"_s}
            << u"http://127.0.0.1:9/b"_s << QByteArray("T=2");
    }
    void header()
    {
        QFETCH(QStringList, replies);
        QFETCH(QString, request);
        QFETCH(QByteArray, cookie);
        CookieJar jar;
        for (const QString& reply : replies)
            jar.store(QUrl(reply.section(u'|', 0, 0)), {reply.section(u'|', 1).toUtf8()});
        QCOMPARE(jar.header(QUrl(request)), cookie);
    }
};

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
