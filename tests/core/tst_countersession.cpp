// The counter's flows driven whole through CounterSession, with no window: a lookup, a sale of two
// product lines and a coupon use against the local platform.
#include "FixedClock.h"
#include "LocalPlatform.h"
#include "ProductLines.h"
#include "ScriptedDialogs.h"

#include "api/CounterClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "counter/Coupons.h"
#include "counter/Reconciliation.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "counter/Settlement.h"
#include "members/Lookup.h"
#include "outbox/KeptSales.h"
#include "platform/Clock.h"
#include "sender/KeptSender.h"
#include "settings/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// How long after a send without an answer the platform may still be processing it, in the tests.
constexpr int klimit = 3;

// A session on the first demo pharmacy of a local platform, with nothing on screen.
class Rig
{
public:
    // virtualtime: the session and its outbox read `clock`, which the test sets, instead of the
    // system's.
    explicit Rig(LocalPlatform& platform, bool virtualtime = false)
        : m_platform(platform), m_settings(m_work.path() + u'/'),
          m_client(m_buffer, [this] { return m_settings.url(); }),
          m_time(virtualtime ? static_cast<const Clock&>(clock) : m_clock),
          session(CounterSession::Context{m_client, m_buffer, m_settings, dialogs, m_time})
    {
        Settings::Values values;
        values.apikey = LocalPlatform::demoapikey();
        values.login = LocalPlatform::demologin();
        values.password = LocalPlatform::demopassword();
        values.idpharma = LocalPlatform::demoidpharma();
        values.url = platform.apiurl();
        m_settings.write(values);
        m_settings.setauthorization(m_client.client());
        received();
    }

    // The request texts the platform received since the last call, form posts decoded.
    QStringList received()
    {
        const QJsonDocument journal =
            QJsonDocument::fromJson(m_platform.admin("GET", u"journal?after="_s + QString::number(m_seen)));
        QStringList texts;
        for (const QJsonValue entry : journal.object().value(u"entries"_s).toArray()) {
            const QJsonObject request = entry.toObject();
            m_seen = std::max(m_seen, request.value(u"seq"_s).toInteger());
            QByteArray body = QByteArray::fromBase64(request.value(u"body_base64"_s).toString().toLatin1());
            if (request.value(u"method"_s).toString() == u"POST"_s)
                body = QByteArray::fromPercentEncoding(body.replace('+', ' '));
            texts.append(QString::fromUtf8(body));
        }
        return texts;
    }

    CounterClient& client() { return m_client; }
    QString outboxpath() const { return KeptSales::pathin(m_work.path()); }
    // The outbox in the work folder, whose platform processing limit is the tests' short one; the
    // session notes its writes there from now on.
    KeptSales& outbox()
    {
        if (!m_outbox) {
            m_outbox = std::make_unique<KeptSales>(KeptSales::pathin(m_work.path()), m_time, klimit);
            session.setkeptsales(m_outbox.get());
        }
        return *m_outbox;
    }

    // How many requests received since the last call hold `text`.
    int count(const QString& text)
    {
        const QStringList texts = received();
        return int(
            std::count_if(texts.begin(), texts.end(), [&](const QString& t) { return t.contains(text); }));
    }

    // The next request on the API waits `ms` before the platform records it and answers.
    void slow(int ms)
    {
        m_platform.admin("POST", u"faults"_s,
                         QByteArray("{\"action\":\"delay\",\"path\":\"/apiv1/\",\"delay_ms\":") +
                             QByteArray::number(ms) + "}");
    }

    // The coupon of that value shown, or none.
    std::optional<Coupons::Coupon> coupon(const QString& value) const
    {
        for (const Coupons::Coupon& shown : session.shown().coupons) {
            if (!shown.isnone() && shown.value == value)
                return shown;
        }
        return std::nullopt;
    }

    // The texts the session sent, with the line breaks the request texts end with dropped.
    static QStringList trimmed(const QStringList& sent)
    {
        QStringList texts;
        for (const QString& text : sent)
            texts.append(text.trimmed());
        return texts;
    }

private:
    LocalPlatform& m_platform;
    QTemporaryDir m_work;
    Settings m_settings;
    ReplyBuffer m_buffer;
    CounterClient m_client;
    SystemClock m_clock;

public:
    FixedClock clock;

private:
    const Clock& m_time;
    std::unique_ptr<KeptSales> m_outbox;
    qint64 m_seen = 0;

public:
    ScriptedDialogs dialogs;
    CounterSession session;
};

// Abandons the wait for the reply running, as Échap does, `ms` from now.
void abandonafter(int ms)
{
    QTimer::singleShot(ms, [] { HttpClient::abandonwait(); });
}

// Waits for the platform's processing and the outbox's limit to be over.
void waitfor(int ms)
{
    QTest::qWait(ms);
}

const QString addca = u"\"type\":\"addCA\""_s;
const QString usedcoupon = u"\"type\":\"usedcoupon\""_s;
const QString status2 = u"\"status2\":true"_s;

} // namespace

class TestCounterSession : public QObject
{
    Q_OBJECT
private slots:
    // A customer served without a window: found, a sale credited, a coupon used; what the session
    // says it sent is what the platform received, and what it shows follows the platform.
    void serveACustomer()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        CounterSession& session = rig.session;

        const CounterOutcome found = session.lookup(u"1010001"_s);
        QCOMPARE(found.result, CounterOutcome::Result::Done);
        QVERIFY2(found.told.empty(), qPrintable(found.texts().join(u'|')));
        QVERIFY(found.loaded);
        QCOMPARE(found.sent.size(), 2); // the member, then its coupons
        QCOMPARE(found.sent, rig.received());
        QVERIFY(!session.idle());
        QCOMPARE(session.shown().search, u"1010001"_s);
        QCOMPARE(session.shown().searchcaption, u"Actualiser"_s);
        QVERIFY(!session.shown().name.isEmpty());
        bool number = false;
        const int before = session.shown().points.toInt(&number);
        QVERIFY(number);
        const std::optional<Coupons::Coupon> coupon = rig.coupon(u"7.5"_s);
        QVERIFY(coupon);

        // The sale of two product lines, the amount from the lines.
        SaleLines& produits = session.state().Produits();
        QVERIFY(storeLines(produits, {{u"A100"_s, 2, 4.5, 9.0}, {u"B200"_s, 1, 16.8, 16.8}}));
        QCOMPARE(session.shown().amount, u"25,8"_s);
        session.setnumber(u"V-2026-1"_s);
        const CounterOutcome sold = session.sale({u"AB"_s, u"V-2026-1"_s, session.shown().amount});
        QCOMPARE(sold.result, CounterOutcome::Result::Done);
        QVERIFY2(sold.told.empty(), qPrintable(sold.texts().join(u'|')));
        QCOMPARE(sold.sent.size(), 3); // the sale, then the member and its coupons again
        QVERIFY(sold.sent.first().contains(u"\"type\":\"addCA\""_s));
        QVERIFY(sold.sent.first().contains(u"A100"_s) && sold.sent.first().contains(u"B200"_s));
        QCOMPARE(Rig::trimmed(sold.sent), Rig::trimmed(rig.received()));
        QCOMPARE(session.shown().points, QString::number(before + 25));
        QCOMPARE(session.shown().amount, QString());
        QCOMPARE(session.shown().number, QString());
        QCOMPARE(produits.size(), 0);
        QVERIFY(!session.idle());

        // The coupon: asked first, the event then the status, then gone from the refreshed list.
        const CounterOutcome used = session.useCoupon(*coupon);
        QCOMPARE(rig.dialogs.texts(), QStringList{Coupons::confirmmessage()});
        QCOMPARE(used.result, CounterOutcome::Result::Done);
        QVERIFY2(used.told.empty(), qPrintable(used.texts().join(u'|')));
        QCOMPARE(used.sent.size(), 2);
        QVERIFY(used.sent.at(0).contains(u"\"type\":\"usedcoupon\""_s));
        QVERIFY(used.sent.at(1).contains(u"\"status2\":true"_s));
        QCOMPARE(used.sent, rig.received());
        for (const Coupons::Coupon& shown : session.shown().coupons)
            QVERIFY(shown.isnone()); // emptied until the refresh
        const CounterOutcome refreshed = session.refresh();
        QCOMPARE(refreshed.result, CounterOutcome::Result::Done);
        for (const Coupons::Coupon& shown : session.shown().coupons)
            QVERIFY(shown.id != coupon->id);
    }

    // What stops a step before anything leaves, and what a No keeps.
    void stepsThatSendNothing()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        CounterSession& session = rig.session;

        const CounterOutcome nomember = session.sale({u"AB"_s, u"1"_s, u"12"_s});
        QCOMPARE(nomember.texts(), QStringList{Sale::nomembermessage()});
        QCOMPARE(session.lookup(u"ab"_s).texts(), QStringList{Lookup::tooshortmessage()});
        QVERIFY(rig.received().isEmpty());

        session.lookup(u"1010001"_s);
        rig.received();
        const std::optional<Coupons::Coupon> coupon = rig.coupon(u"7.5"_s);
        QVERIFY(coupon);
        rig.dialogs.script({false});
        const CounterOutcome kept = session.useCoupon(*coupon);
        QCOMPARE(kept.result, CounterOutcome::Result::Nothing);
        QVERIFY(kept.sent.isEmpty());
        QVERIFY(rig.received().isEmpty());

        const CounterOutcome invalid = session.sale({u"AB"_s, u"1"_s, u"0"_s});
        QCOMPARE(invalid.texts(), QStringList{Sale::invalidmessage()});
        const CounterOutcome incorrect = session.sale({u"AB"_s, u"1"_s, u"douze"_s});
        QCOMPARE(incorrect.result, CounterOutcome::Result::Nothing);
        QCOMPARE(session.shown().amount, u"0"_s);
        QVERIFY(rig.received().isEmpty());
    }

    // A sale abandoned while the platform is still recording it: absent from the member's events
    // at once, it is "à confirmer", not "not recorded"; validated again meanwhile it is not sent;
    // the refresh after the platform recorded it tells so and empties the inputs. One sale.
    void abandonedSaleSentOnce()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        KeptSales& outbox = rig.outbox();
        CounterSession& session = rig.session;
        session.lookup(u"1010001"_s);
        const int points = session.shown().points.toInt();
        rig.received();

        rig.slow(2000);
        abandonafter(300);
        const CounterOutcome abandoned = session.sale({u"AB"_s, u"V7"_s, u"25"_s});
        QCOMPARE(abandoned.result, CounterOutcome::Result::Unconfirmed);
        QCOMPARE(abandoned.texts(), QStringList{Sale::confirmingmessage()});
        QCOMPARE(session.shown().amount, u"25"_s);
        QCOMPARE(session.shown().confirming, u"1 vente à confirmer"_s);

        const CounterOutcome again = session.sale({u"AB"_s, u"V7"_s, u"25"_s});
        QCOMPARE(again.result, CounterOutcome::Result::Unconfirmed);
        QCOMPARE(again.texts(), QStringList{Sale::pendingmessage()});
        for (const QString& sent : again.sent)
            QVERIFY2(!sent.contains(addca), qPrintable(sent));

        waitfor(klimit * 1000);
        const CounterOutcome settled = session.refresh();
        QCOMPARE(settled.texts(), QStringList{Reconciliation::saleconfirmedmessage()});
        QCOMPARE(session.shown().amount, QString());
        QCOMPARE(session.shown().number, QString());
        QCOMPARE(session.shown().confirming, QString());
        QCOMPARE(session.shown().points, QString::number(points + 25));
        QCOMPARE(rig.count(addca), 1);
        QCOMPARE(outbox.counts()->sales, 0);
        QCOMPARE(outbox.counts()->kept, 0);
    }

    // The check right after a lost reply fails too: the sale waits, and the next refresh settles
    // it, as after the platform's OK; a sale the platform never recorded is told so once its
    // processing is over, the inputs kept to validate it again.
    void lostReplySettledLater_data()
    {
        QTest::addColumn<bool>("recorded");
        QTest::newRow("recorded") << true;
        QTest::newRow("not recorded") << false;
    }
    void lostReplySettledLater()
    {
        QFETCH(bool, recorded);
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        rig.outbox();
        CounterSession& session = rig.session;
        session.lookup(u"1010001"_s);
        rig.received();

        platform.admin(
            "POST", u"faults"_s,
            QByteArray(R"([{"action":"status","status_line":"HTTP/1.1 503 Service Unavailable",)") +
                R"("path":"/apiv1/","process":)" + (recorded ? "true" : "false") +
                R"(},{"action":"status","status_line":"HTTP/1.1 503 Service Unavailable","path":"/apiv1/"}])");
        const CounterOutcome lost = session.sale({u"AB"_s, u"V8"_s, u"12,5"_s});
        QCOMPARE(lost.result, CounterOutcome::Result::Unconfirmed);
        QCOMPARE(lost.texts().last(), Sale::confirmingmessage());
        QCOMPARE(session.shown().amount, u"12,5"_s);

        waitfor(klimit * 1000);
        const CounterOutcome settled = session.refresh();
        QCOMPARE(settled.texts(), QStringList{recorded ? Reconciliation::saleconfirmedmessage()
                                                       : Reconciliation::salenotrecordedmessage()});
        QCOMPARE(session.shown().amount, recorded ? QString() : u"12,5"_s);
        QCOMPARE(session.shown().confirming, QString());
        const CounterOutcome next = session.sale({u"AB"_s, u"V8"_s, session.shown().amount});
        if (recorded) {
            QCOMPARE(next.texts(), QStringList{Sale::invalidmessage()});
        } else {
            QCOMPARE(next.result, CounterOutcome::Result::Done);
        }
        QCOMPARE(rig.count(addca), recorded ? 1 : 2); // the lost one counted as received, recorded or not
    }

    // Events prove a sale absent only if their lookup left once the platform could no longer be
    // processing it: the platform may have read them at any moment after the lookup left, so a
    // reply that comes after the limit to a lookup asked before it says nothing yet.
    void absenceProvenOnlyByLookupsAskedAfterTheLimit()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform, true);
        rig.outbox();
        CounterSession& session = rig.session;
        const QDateTime t0 = rig.clock.now();
        session.lookup(u"1010001"_s);
        rig.received();

        // Its reply lost, and the platform never records it.
        platform.admin("POST", u"faults"_s,
                       R"({"action":"status","status_line":"HTTP/1.1 503 Service Unavailable",)"
                       R"("path":"/apiv1/","process":false})");
        const CounterOutcome lost = session.sale({u"AB"_s, u"V9"_s, u"8"_s});
        QCOMPARE(lost.texts().last(), Sale::confirmingmessage());

        // The refresh leaves a second before the limit; its reply comes once the limit has passed.
        rig.clock.set(t0.addSecs(klimit - 1));
        rig.slow(600);
        QTimer::singleShot(100, [&rig, t0] { rig.clock.set(t0.addSecs(klimit + 60)); });
        const CounterOutcome early = session.refresh();
        QVERIFY2(early.texts().isEmpty(), qPrintable(early.texts().join(u'\n')));
        QCOMPARE(session.shown().confirming, u"1 vente à confirmer"_s);
        QCOMPARE(session.shown().amount, u"8"_s);

        // Asked after the limit, the same absence is proof.
        const CounterOutcome late = session.refresh();
        QCOMPARE(late.texts(), QStringList{Reconciliation::salenotrecordedmessage()});
        QCOMPARE(session.shown().confirming, QString());
        QCOMPARE(rig.count(addca), 1);
    }

    // Two counters of one work folder show the same customer's coupon and both use it: the use of
    // the first is not known yet (abandoned while the platform records it), and the second is
    // stopped before it leaves instead of using the coupon a second time.
    void couponUsedAtTwoCountersOnce()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig first(platform);
        Rig second(platform);
        first.outbox();
        SystemClock clock;
        KeptSales shared(first.outboxpath(), clock, klimit);
        second.session.setkeptsales(&shared);
        first.session.lookup(u"1010001"_s);
        second.session.lookup(u"1010001"_s);
        const std::optional<Coupons::Coupon> coupon = first.coupon(u"7.5"_s);
        const std::optional<Coupons::Coupon> same = second.coupon(u"7.5"_s);
        QVERIFY(coupon && same);
        QCOMPARE(same->id, coupon->id);
        first.received();

        first.slow(2000);
        abandonafter(300);
        QCOMPARE(first.session.useCoupon(*coupon).result, CounterOutcome::Result::Unconfirmed);
        const CounterOutcome stopped = second.session.useCoupon(*same);
        QCOMPARE(stopped.texts(), QStringList{KeptSales::couponBusyMessage()});
        QVERIFY(stopped.sent.isEmpty());

        waitfor(klimit * 1000);
        first.session.refresh();
        QCOMPARE(first.count(usedcoupon), 1);
        // Once settled, the second counter's refresh no longer offers it.
        second.session.refresh();
        QVERIFY(!second.coupon(u"7.5"_s) || second.coupon(u"7.5"_s)->id != coupon->id);
    }

    // A coupon use abandoned while the platform records it: the coupon stays shown "À confirmer"
    // and cannot be used; once its use is among the events, its status update goes, once.
    void abandonedCouponUseOnce()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        rig.outbox();
        CounterSession& session = rig.session;
        session.lookup(u"1010001"_s);
        const std::optional<Coupons::Coupon> coupon = rig.coupon(u"7.5"_s);
        QVERIFY(coupon);
        rig.received();

        rig.slow(2000);
        abandonafter(300);
        const CounterOutcome abandoned = session.useCoupon(*coupon);
        QCOMPARE(abandoned.result, CounterOutcome::Result::Unconfirmed);
        QCOMPARE(abandoned.texts().last(), Coupons::confirmingusemessage());
        QCOMPARE(session.shown().confirming, u"1 coupon à confirmer"_s);
        session.refresh();
        const std::optional<Coupons::Coupon> shown = rig.coupon(u"7.5"_s);
        QVERIFY(shown);
        QVERIFY(shown->confirming);
        QCOMPARE(shown->use, Coupons::confirmingcaption());
        const CounterOutcome again = session.useCoupon(*shown);
        QCOMPARE(again.texts(), QStringList{Coupons::confirmingmessage()});
        QVERIFY(again.sent.isEmpty());

        waitfor(klimit * 1000);
        const CounterOutcome settled = session.refresh();
        QCOMPARE(settled.texts(), QStringList{Settlement::couponRecordedMessage()});
        QVERIFY(!rig.coupon(u"7.5"_s) || rig.coupon(u"7.5"_s)->id != coupon->id);
        const QStringList received = rig.received();
        QCOMPARE(received.filter(usedcoupon).size(), 1);
        QCOMPARE(received.filter(status2).size(), 1);
        QCOMPARE(session.shown().confirming, QString());
    }

    // The background sender: a kept sale whose send stalls past the client's limit while the
    // platform is still processing it is looked for, not sent again, until the platform's record
    // settles it.
    void senderNeverSendsTwice()
    {
        LocalPlatform platform;
        QVERIFY2(platform.started(), qPrintable(platform.error()));
        Rig rig(platform);
        KeptSales& outbox = rig.outbox();
        CounterSession& session = rig.session;
        session.lookup(u"1010001"_s);
        const int points = session.shown().points.toInt();
        KeptSale sale;
        sale.memberid = session.state().currentmemberid();
        sale.amount = u"30"_s;
        sale.seller = u"AB"_s;
        sale.number = u"K1"_s;
        sale.request =
            Sale::requesttext(
                {sale.memberid, LocalPlatform::demoidpharma(), sale.seller, sale.number, sale.amount, {}})
                .toUtf8() +
            "\r\n";
        QVERIFY(outbox.keep(sale));
        rig.received();

        KeptSender sender(outbox, rig.client());
        // The member is read, then the sale sent; the platform is silent for two seconds before it
        // records the sale, and the send ends after a second without a byte.
        rig.client().client().setstalltimeout(1);
        platform.admin("POST", u"faults"_s,
                       R"([{"action":"delay","path":"/apiv1/","delay_ms":0},)"
                       R"({"action":"delay","path":"/apiv1/","delay_ms":2000}])");
        KeptSender::Round round = sender.run(LocalPlatform::demoidpharma());
        QCOMPARE(round.settled, 0);
        QCOMPARE(outbox.list()->front().failure, KeptSender::unconfirmedmessage());
        round = sender.run(LocalPlatform::demoidpharma());
        QCOMPARE(round.settled, 0);

        waitfor(klimit * 1000);
        round = sender.run(LocalPlatform::demoidpharma());
        QCOMPARE(round.settled, 1);
        QCOMPARE(*outbox.count(), 0);
        QCOMPARE(rig.count(addca), 1);
        session.refresh();
        QCOMPARE(session.shown().points, QString::number(points + 30));
    }
};

QTEST_GUILESS_MAIN(TestCounterSession)
#include "tst_countersession.moc"
