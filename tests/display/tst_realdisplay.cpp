// The real program on a real X display with a window manager, against the local platform, driven
// by xdotool as a person's keyboard and mouse: what reaches the platform is what those hands made
// the program send. A card typed and Enter, a sale of two lines sent by F9, a coupon used from the
// keyboard, a slow lookup abandoned by a click on "Abandonner", a new member with one child.
#include "LocalPlatform.h"
#include "RealDisplay.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "members/Lookup.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// Whether each text occurs in the bodies in order, each in a body after the one before.
bool inorder(const QByteArrayList& bodies, const QByteArrayList& texts)
{
    qsizetype at = 0;
    for (const QByteArray& text : texts) {
        while (at < bodies.size() && !bodies.at(at).contains(text))
            ++at;
        if (at == bodies.size())
            return false;
        ++at;
    }
    return true;
}

// The requests the platform receives, from its journal: their bodies, form-decoded, "json_data="
// dropped.
class Received
{
public:
    explicit Received(LocalPlatform& platform) : m_platform(platform) {}

    // The bodies received since the last wait, once they hold the texts in order or ten seconds
    // have passed.
    QByteArrayList waitfor(const QByteArrayList& texts)
    {
        QByteArrayList bodies;
        const QDeadlineTimer deadline(10000);
        for (;;) {
            bodies += next();
            if (inorder(bodies, texts) || deadline.hasExpired())
                return bodies;
            QThread::msleep(25);
        }
    }

private:
    QByteArrayList next()
    {
        const QJsonArray entries =
            QJsonDocument::fromJson(m_platform.admin("GET", u"journal?after="_s + QString::number(m_seen)))
                .object()
                .value(u"entries"_s)
                .toArray();
        QByteArrayList bodies;
        for (const QJsonValue value : entries) {
            const QJsonObject entry = value.toObject();
            m_seen = std::max(m_seen, entry.value(u"seq"_s).toInteger());
            QByteArray body = QByteArray::fromBase64(entry.value(u"body_base64"_s).toString().toLatin1());
            if (entry.value(u"method"_s).toString() == u"POST"_s)
                body = QByteArray::fromPercentEncoding(body.replace('+', ' '));
            if (body.startsWith("json_data="))
                body = body.mid(10);
            bodies.append(body.trimmed());
        }
        return bodies;
    }

    LocalPlatform& m_platform;
    qint64 m_seen = 0;
};

const QByteArray lookup = "\"FidelityMember\":{\"actif\":\"1\"";
const QByteArray coupons = "\"Sent\":{\"type\":\"COUPON\"";

} // namespace

class TestRealDisplay : public QObject
{
    Q_OBJECT
private slots:
    void aDayAtTheCounterThroughTheDisplay();
};

void TestRealDisplay::aDayAtTheCounterThroughTheDisplay()
{
    QElapsedTimer took;
    took.start();
    RealDisplay display;
    QVERIFY2(display.started(), qPrintable(display.error()));
    LocalPlatform platform;
    QVERIFY2(platform.started(), qPrintable(platform.error()));
    QTemporaryDir work;
    platform.preparework(work.path());

    QProcess quilba;
    QProcessEnvironment environment = display.environment();
    environment.insert(u"QUILBA_PRINT_DIR"_s, work.filePath(u"imprimes"_s));
    quilba.setProcessEnvironment(environment);
    quilba.setProcessChannelMode(QProcess::MergedChannels);
    quilba.start(QStringLiteral(QUILBA_PROGRAM), QStringList());
    const auto stop = qScopeGuard([&quilba] {
        quilba.terminate();
        if (!quilba.waitForFinished(5000))
            quilba.kill();
        quilba.waitForFinished(5000);
    });
    const quint64 counter = display.waitwindow(u"^Quilba v"_s);
    QVERIFY2(counter, quilba.readAll().constData());
    QVERIFY(display.waitactive(counter));
    Received received(platform);
    const QList<qint64> programs{quilba.processId(), platform.pid()};
    // Before each key, as a person who looks at the screen first: the program is done with
    // start-up and with the requests of the key before.
    const auto settle = [&] { return display.settle(programs); };
    QByteArrayList bodies;

    // The card number typed into the search field, which has the cursor, then Enter.
    QVERIFY(settle());
    QVERIFY(display.type(u"1010001"_s));
    QVERIFY(display.key({u"Return"_s}));
    bodies = received.waitfor({R"("cardnumber":"1010001")", coupons});
    QVERIFY2(inorder(bodies, {R"("cardnumber":"1010001")", coupons}), bodies.join('\n').constData());
    const QString member = QRegularExpression(u"\"member\": \\{ \"id\":\"(\\d+)\""_s)
                               .match(QString::fromUtf8(bodies.constLast()))
                               .captured(1);
    QVERIFY(!member.isEmpty());

    // Two product lines typed into the grid, which has the cursor now, and F9.
    QVERIFY(settle());
    QVERIFY(display.type(u"A100"_s));
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.type(u"2"_s));
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.type(u"4.5"_s));
    QVERIFY(display.key({u"Return"_s, u"Return"_s}));
    QVERIFY(display.type(u"B200"_s));
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.type(u"1"_s));
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.type(u"3"_s));
    QVERIFY(display.key({u"Return"_s, u"Return"_s, u"F9"_s}));
    const QByteArray sale =
        uR"({"AdEvent":{"type":"addCA", "member":{"id":%1},"group":{"loadFromKeys":{"idExternal":"101" }},"fvalue":"12","details":[{"AdEventDetail":{"detailType":"I","class1":"produit A100","class10":"A100","quantity":"2","unitValue":"4.5","finalvalue":"9"}},{"AdEventDetail":{"detailType":"I","class1":"produit B200","class10":"B200","quantity":"1","unitValue":"3","finalvalue":"3"}}]}})"_s
            .arg(member)
            .toUtf8();
    bodies = received.waitfor({sale, lookup, coupons});
    QVERIFY2(inorder(bodies, {sale, lookup, coupons}), bodies.join('\n').constData());

    // Shift+Tab twice to the coupons, the cursor on the first one's "Utiliser"; Enter, and
    // Enter again on the question's "Oui".
    QVERIFY(settle());
    QVERIFY(display.key({u"shift+Tab"_s, u"shift+Tab"_s, u"Return"_s}));
    const quint64 question = display.waitwindow(u"^Quilba$"_s);
    QVERIFY(question);
    QVERIFY(display.waitactive(question));
    QVERIFY(settle());
    QVERIFY(display.key({u"Return"_s}));
    const QByteArray used = R"({"AdEvent":{"type":"usedcoupon", "member":{"id":)" + member.toUtf8() +
                            R"(},"group":{"loadFromKeys":{"idExternal":"101" }},"fvalue":"7.5")";
    bodies = received.waitfor({used, R"("status2":true)", lookup, coupons});
    QVERIFY2(inorder(bodies, {used, R"("status2":true)", lookup, coupons}), bodies.join('\n').constData());
    QVERIFY(display.waitgone(u"^Quilba$"_s));

    // The next customer, whose lookup stalls: the bar comes after half a second, and a click
    // where its "Abandonner" shows ends the wait with its message, long before the program's
    // own limit. Clicks before the bar shows are dropped, as every click of a wait is.
    platform.admin("POST", u"faults"_s, R"({"action":"stall","path":"/apiv1/"})");
    QVERIFY(settle());
    QVERIFY(display.key({u"F12"_s}));
    QVERIFY(settle());
    QVERIFY(display.type(u"1010002"_s));
    QVERIFY(display.key({u"Return"_s}));
    bodies = received.waitfor({R"("cardnumber":"1010002")"});
    QVERIFY2(inorder(bodies, {R"("cardnumber":"1010002")"}), bodies.join('\n').constData());
    const QSize size = display.size(counter);
    QVERIFY(!size.isEmpty());
    quint64 abandoned = 0;
    const QDeadlineTimer wait(15000);
    while (!abandoned && !wait.hasExpired()) {
        QVERIFY(display.click(counter, QPoint(size.width() - 20, size.height() - 15)));
        abandoned = display.waitwindow(u"^Quilba$"_s, 100);
    }
    QVERIFY2(abandoned, "un clic sur « Abandonner » ne met pas fin à l'attente");
    QVERIFY(display.waitactive(abandoned));
    QVERIFY(settle());
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.waitgone(u"^Quilba$"_s));
    platform.admin("DELETE", u"faults"_s);

    // A new member from the enrolment form, every box reached with Enter, one child added in
    // its grid with Insert, and Alt+V.
    QVERIFY(settle());
    QVERIFY(display.key({u"F3"_s}));
    const quint64 form = display.waitwindow(u"^Formulaire d'adh"_s);
    QVERIFY(form);
    QVERIFY(display.waitactive(form));
    QVERIFY(settle());
    const QStringList boxes{u"7777001"_s,
                            {},
                            u"MME"_s,
                            u"MARTIN"_s,
                            u"Zoe"_s,
                            u"12031980"_s,
                            u"0612345678"_s,
                            {},
                            u"zoe.martin@example.fr"_s,
                            {},
                            {},
                            {},
                            {},
                            {},
                            {}};
    for (const QString& text : boxes) {
        if (!text.isEmpty())
            QVERIFY(display.type(text));
        QVERIFY(display.key({u"Return"_s}));
    }
    QVERIFY(display.key({u"Insert"_s}));
    QVERIFY(display.type(u"Lea"_s));
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.type(u"F"_s));
    QVERIFY(display.key({u"Return"_s}));
    QVERIFY(display.type(u"04032015"_s));
    QVERIFY(display.key({u"alt+v"_s}));
    const QByteArray created =
        R"({"FidelityMember" : {"name":"MARTIN","firstname":"Zoe","email":"zoe.martin@example.fr","gender":"MME","cardnumber":"7777001","mobile":"0612345678","birthday":"1980-03-12")";
    const QByteArray child = R"({"FidelityMemberChild" : {"parent":{"id":")";
    bodies = received.waitfor({created, child, lookup});
    QVERIFY2(inorder(bodies, {created, child, lookup}), bodies.join('\n').constData());
    QVERIFY(display.waitgone(u"^Formulaire d'adh"_s));

    // The platform's record holds the member with the child.
    ReplyBuffer buffer;
    CounterClient client(buffer, [&platform] { return platform.apiurl(); });
    client.client().setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
    const HttpReply reply = client.postform(Lookup::requestline(u"7777001"_s, LocalPlatform::demoidpharma()));
    QVERIFY2(reply.ok, qPrintable(reply.failure));
    const QJsonObject record =
        QJsonDocument::fromJson(reply.body).object().value(u"FidelityMember"_s).toObject();
    QCOMPARE(record.value(u"name"_s).toString(), u"MARTIN"_s);
    const QJsonObject kid = record.value(u"children"_s).toObject().value(u"FidelityMemberChild"_s).toObject();
    QCOMPARE(kid.value(u"firstname"_s).toString(), u"Lea"_s);
    QCOMPARE(kid.value(u"sex"_s).toString(), u"F"_s);
    QCOMPARE(kid.value(u"birthday"_s).toString(), u"2015-03-04"_s);

    qInfo("écran réel : %lld ms", took.elapsed());
}

QTEST_GUILESS_MAIN(TestRealDisplay)
#include "tst_realdisplay.moc"
