// The outbox of the counter's writes: what a reply says of a write, what the member's events say
// of one not known yet, and how the file holds it between counters while nobody knows.
#include "FixedClock.h"

#include "api/HttpClient.h"
#include "api/JsonValue.h"
#include "api/WriteResult.h"
#include "counter/Coupons.h"
#include "counter/Settlement.h"
#include "outbox/KeptSales.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

const QDateTime t0(QDate(2026, 12, 1), QTime(9, 30, 0), Qt::UTC);
constexpr int klimit = 300;

HttpReply reply(bool ok, int status, bool sent, const QByteArray& body = {})
{
    HttpReply reply;
    reply.ok = ok;
    reply.status = status;
    reply.sent = sent;
    reply.body = body;
    return reply;
}

KeptSale write(KeptSale::Kind kind, const QString& memberid = u"4711"_s)
{
    KeptSale write;
    write.kind = kind;
    write.memberid = memberid;
    write.membername = u"M. Jean DUPONT"_s;
    write.cardnumber = u"1010002"_s;
    write.amount = u"25,8"_s;
    write.seller = u"AB"_s;
    write.number = u"V1"_s;
    write.couponId = kind == KeptSale::Kind::Coupon ? u"77"_s : QString();
    write.request = "json_data={}\r\n";
    write.before = QSet<QString>{u"addCA:1"_s};
    return write;
}

std::optional<JsonValue> events(const QByteArray& list)
{
    return parsejson("{\"list\":[" + list + "]}");
}

const QByteArray oldsale = R"({"type":"addCA","id":"1","fvalue":"25.8","sparam":"AB","idExternal":"V1"})";
const QByteArray newsale = R"({"type":"addCA","id":"2","fvalue":"25.80","sparam":"AB","idExternal":"V1"})";
const QByteArray otherSale = R"({"type":"addCA","id":"3","fvalue":"9","sparam":"AB","idExternal":"V1"})";
const QByteArray newuse = R"({"type":"usedcoupon","id":"4","cause":{"id":"77"}})";

} // namespace

Q_DECLARE_METATYPE(HttpReply)

class TestOutbox : public QObject
{
    Q_OBJECT
private slots:
    // What a reply says of a write, for every write.
    void writeResult_data()
    {
        QTest::addColumn<HttpReply>("reply");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("neverleft");
        QTest::addColumn<bool>("processingover");
        using S = WriteResult::State;
        QTest::newRow("OK envelope") << reply(true, 200, true, R"({"ApiReturn":{"code":"OK","id":"9"}})")
                                     << int(S::Recorded) << false << false;
        QTest::newRow("refused") << reply(true, 200, true,
                                          R"({"ApiReturn":{"code":"KO","errorMessage":"Non"}})")
                                 << int(S::Refused) << false << false;
        QTest::newRow("refused, no message")
            << reply(true, 200, true, R"({"ApiReturn":{"code":"KO"}})") << int(S::Refused) << false << false;
        QTest::newRow("envelope without code")
            << reply(true, 200, true, R"({"ApiReturn":{}})") << int(S::Refused) << false << false;
        QTest::newRow("envelope not an object")
            << reply(true, 200, true, R"({"ApiReturn":"OK"})") << int(S::NotYetKnown) << false << true;
        QTest::newRow("another document") << reply(true, 200, true, R"({"FidelityMember":{"id":1}})")
                                          << int(S::NotYetKnown) << false << true;
        QTest::newRow("empty reply") << reply(true, 200, true) << int(S::NotYetKnown) << false << true;
        QTest::newRow("platform's page instead of its envelope")
            << reply(true, 200, true, "<html>erreur</html>") << int(S::NotYetKnown) << false << true;
        QTest::newRow("platform's 500")
            << reply(false, 500, true, "panne") << int(S::NotYetKnown) << false << true;
        QTest::newRow("platform's 404") << reply(false, 404, true) << int(S::NotYetKnown) << false << true;
        QTest::newRow("gateway gave up (504)")
            << reply(false, 504, true) << int(S::NotYetKnown) << false << false;
        QTest::newRow("gateway 503") << reply(false, 503, true) << int(S::NotYetKnown) << false << false;
        QTest::newRow("abandoned or cut after it left")
            << reply(false, 0, true) << int(S::NotYetKnown) << false << false;
        QTest::newRow("connection refused") << reply(false, 0, false) << int(S::NotRecorded) << true << false;
        QTest::newRow("access refused (401)")
            << reply(false, 401, true) << int(S::NotRecorded) << false << false;
        QTest::newRow("access refused (403)")
            << reply(false, 403, true) << int(S::NotRecorded) << false << false;
        QTest::newRow("proxy password refused (407)")
            << reply(false, 407, true) << int(S::NotRecorded) << false << false;
    }
    void writeResult()
    {
        QFETCH(HttpReply, reply);
        QFETCH(int, state);
        QFETCH(bool, neverleft);
        QFETCH(bool, processingover);
        const WriteResult result = WriteResult::read(reply);
        QCOMPARE(int(result.state), state);
        QCOMPARE(result.neverLeft(), neverleft);
        if (result.state == WriteResult::State::NotYetKnown)
            QCOMPARE(result.processingOver, processingover);
        if (result.state == WriteResult::State::Refused && reply.body.contains("errorMessage"))
            QCOMPARE(result.refusal, u"Non"_s);
    }

    // What the member's events say of a write not known yet: found among the new events, it is
    // recorded; absent, it is not recorded only once the platform can no longer be processing it.
    void judge_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<int>("secondsafterlimit"); // now, against the write's settle-after time
        QTest::addColumn<bool>("before");           // the events before the write are known
        QTest::addColumn<int>("state");
        using S = WriteResult::State;
        const int sale = int(KeptSale::Kind::Sale);
        const int coupon = int(KeptSale::Kind::Coupon);
        QTest::newRow("sale found") << sale << oldsale + "," + newsale << -60 << true << int(S::Recorded);
        QTest::newRow("sale absent, platform may still process it")
            << sale << oldsale + "," + otherSale << -1 << true << int(S::NotYetKnown);
        QTest::newRow("sale absent, processing over")
            << sale << oldsale + "," + otherSale << 0 << true << int(S::NotRecorded);
        QTest::newRow("only the old sale of the same amount")
            << sale << oldsale << 10 << true << int(S::NotRecorded);
        QTest::newRow("no events before the write")
            << sale << oldsale + "," + newsale << 10 << false << int(S::NotYetKnown);
        QTest::newRow("coupon use found")
            << coupon << oldsale + "," + newuse << -60 << true << int(S::Recorded);
        QTest::newRow("coupon use absent, too early")
            << coupon << oldsale << -60 << true << int(S::NotYetKnown);
        QTest::newRow("coupon use absent, late") << coupon << oldsale << 1 << true << int(S::NotRecorded);
    }
    void judge()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, list);
        QFETCH(int, secondsafterlimit);
        QFETCH(bool, before);
        QFETCH(int, state);
        KeptSale pending = write(KeptSale::Kind(kind));
        if (!before)
            pending.before.reset();
        pending.settleAfter = t0;
        QCOMPARE(int(Settlement::judge(pending, events(list), t0.addSecs(secondsafterlimit))), state);
        // No list at all proves nothing.
        QCOMPARE(Settlement::judge(pending, std::nullopt, t0.addSecs(3600)), WriteResult::State::NotYetKnown);
    }

    // A write of the counter is in the file before it leaves and held by its counter; another
    // counter leaves it alone until its holder lets go of it, or is gone for a minute; then the
    // platform's processing limit counts from the end of that lease.
    // A coupon use is noted once: while the file holds a use of that coupon of that member (of
    // another counter, or not known yet), a second one is not noted; another member's coupon of the
    // same id is, and so is the coupon once its first use left the file or is leaving it.
    void couponNotedOnce()
    {
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const FixedClock clock(t0);
        KeptSales first(path, clock, klimit);
        KeptSales second(path, clock, klimit);
        const std::optional<qint64> used = first.begin(write(KeptSale::Kind::Coupon));
        QVERIFY(used);
        QVERIFY(!second.begin(write(KeptSale::Kind::Coupon)));
        QVERIFY(second.busy());
        QCOMPARE(second.errorstring(), KeptSales::couponBusyMessage());
        QVERIFY(!first.begin(write(KeptSale::Kind::Coupon)));
        QVERIFY(second.begin(write(KeptSale::Kind::Coupon, u"4712"_s)));
        QVERIFY(!second.busy());
        // Leaving: its holder notes the coupon again at once.
        first.settleLater(*used);
        QVERIFY(first.begin(write(KeptSale::Kind::Coupon)));
        first.waitSettled();
        QCOMPARE(first.counts()->coupons, 2);
    }

    void heldUntilLetGoOrGone()
    {
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const FixedClock clock(t0);
        KeptSales counter(path, clock, klimit);
        const std::optional<qint64> id = counter.begin(write(KeptSale::Kind::Sale));
        QVERIFY2(id, qPrintable(counter.errorstring()));
        QCOMPARE(counter.counts()->sales, 1);
        QCOMPARE(counter.counts()->kept, 0);
        QCOMPARE(KeptSales::confirmCaption(*counter.counts()), u"1 vente à confirmer"_s);
        const auto pending = counter.pendingFor(u"4711"_s);
        QCOMPARE(pending->size(), size_t(1));
        QVERIFY(pending->front().held);
        QCOMPARE(pending->front().before, (QSet<QString>{u"addCA:1"_s}));
        QVERIFY(counter.pendingFor(u"4712"_s)->empty());

        const FixedClock within(t0.addSecs(KeptSales::leaseSeconds() - 1));
        KeptSales other(path, within, klimit);
        QCOMPARE(other.claimWrite(*id).status, KeptSales::Status::Held);
        // The sender's round does not take it either.
        QCOMPARE(other.claim().status, KeptSales::Status::None);

        // Its holder gone, the lease ends within a minute; the send it may have made can be
        // processed until the limit after that.
        const FixedClock after(t0.addSecs(KeptSales::leaseSeconds() + 1));
        KeptSales next(path, after, klimit);
        const KeptSales::Claimed taken = next.claimWrite(*id);
        QCOMPARE(taken.status, KeptSales::Status::Done);
        QVERIFY(taken.sale.mayhaveleft);
        QCOMPARE(taken.sale.settleAfter, t0.addSecs(KeptSales::leaseSeconds() + klimit));
        QCOMPARE(counter.await(*id, t0), KeptSales::Status::Lost);

        // Let go with its own time, it is any counter's to settle.
        QCOMPARE(next.await(*id, t0.addSecs(klimit)), KeptSales::Status::Done);
        const KeptSales::Claimed again = other.claimWrite(*id);
        QCOMPARE(again.status, KeptSales::Status::Done);
        QCOMPARE(again.sale.settleAfter, t0.addSecs(klimit));
    }

    // What settling does to the file: a recorded use gets its status update once and goes; a
    // sale not recorded becomes a kept sale, or goes when its counter has it validated again;
    // one not known yet goes back, free, as it was.
    void settle_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<bool>("drop");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("sales"); // left in the file: to confirm, kept
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("statusupdates");
        using S = WriteResult::State;
        const int sale = int(KeptSale::Kind::Sale);
        const int coupon = int(KeptSale::Kind::Coupon);
        QTest::newRow("sale recorded")
            << sale << oldsale + "," + newsale << false << int(S::Recorded) << 0 << 0 << 0;
        QTest::newRow("sale not recorded: kept")
            << sale << oldsale << false << int(S::NotRecorded) << 0 << 1 << 0;
        QTest::newRow("sale not recorded: validated again")
            << sale << oldsale << true << int(S::NotRecorded) << 0 << 0 << 0;
        QTest::newRow("sale not known")
            << sale << QByteArray() << false << int(S::NotYetKnown) << 1 << 0 << 0;
        QTest::newRow("use recorded") << coupon << newuse << false << int(S::Recorded) << 0 << 0 << 1;
        QTest::newRow("use not recorded") << coupon << oldsale << false << int(S::NotRecorded) << 0 << 0 << 0;
    }
    void settle()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, list);
        QFETCH(bool, drop);
        QFETCH(int, state);
        QFETCH(int, sales);
        QFETCH(int, kept);
        QFETCH(int, statusupdates);
        QTemporaryDir dir;
        const FixedClock clock(t0);
        KeptSales store(KeptSales::pathin(dir.path()), clock, klimit);
        const std::optional<qint64> id = store.begin(write(KeptSale::Kind(kind)));
        QVERIFY(id);
        // The send ended long enough ago.
        QCOMPARE(store.await(*id, t0), KeptSales::Status::Done);
        const KeptSales::Claimed held = store.claimWrite(*id);
        QCOMPARE(held.status, KeptSales::Status::Done);

        QStringList put;
        Settlement settlement(store, clock, [&](const QString& text) {
            put.append(text);
            return reply(true, 200, true, R"({"ApiReturn":{"code":"OK"}})");
        });
        const std::optional<JsonValue> read = list.isNull() ? std::nullopt : events(list);
        // The events asked now, with the send long over.
        const Settlement::Settled settled =
            settlement.settle(held.sale, read, clock.now(),
                              drop ? Settlement::IfNotRecorded::Drop : Settlement::IfNotRecorded::Keep);
        QCOMPARE(int(settled.state), state);
        QVERIFY2(settled.failure.isEmpty(), qPrintable(settled.failure));
        QCOMPARE(put.size(), statusupdates);
        if (statusupdates > 0)
            QCOMPARE(put.front(), Coupons::statusline(u"77"_s, u"2026-12-01 09:30:00"_s));
        const KeptSales::Counts counts = *store.counts();
        QCOMPARE(counts.sales, sales);
        QCOMPARE(counts.kept, kept);
        QCOMPARE(counts.coupons, 0);
        // Whatever became of it, nobody holds it now.
        if (sales + kept > 0) {
            QVERIFY(!store.find(*id).sale.held);
            if (kept > 0) {
                QCOMPARE(store.list()->front().kind, KeptSale::Kind::Kept);
                QCOMPARE(store.list()->front().failure, Settlement::notRecordedKeptMessage());
            }
        }
    }

    // The coupon uses waiting are counted apart and never listed with the sales.
    void couponsCountedApart()
    {
        QTemporaryDir dir;
        const FixedClock clock(t0);
        KeptSales store(KeptSales::pathin(dir.path()), clock, klimit);
        QVERIFY(store.begin(write(KeptSale::Kind::Coupon)));
        KeptSale other = write(KeptSale::Kind::Coupon);
        other.couponId = u"78"_s;
        QVERIFY(store.begin(other));
        QVERIFY(store.begin(write(KeptSale::Kind::Sale)));
        QVERIFY(store.keep(write(KeptSale::Kind::Kept)));
        const KeptSales::Counts counts = *store.counts();
        QCOMPARE(counts.coupons, 2);
        QCOMPARE(counts.sales, 1);
        QCOMPARE(counts.kept, 1);
        QCOMPARE(*store.count(), 1);
        QCOMPARE(store.list()->size(), size_t(2));
        QCOMPARE(KeptSales::confirmCaption(counts), u"1 vente à confirmer, 2 coupons à confirmer"_s);
    }

    // A recorded write leaves the file off its holder's thread: while another counter's
    // transaction keeps the file busy, the holder's reads already leave it out (and its other
    // writes stay), and it is gone from the file once the file is free.
    void recordedWriteLeavesInTheBackground()
    {
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const FixedClock clock(t0);
        KeptSales store(path, clock, klimit);
        const std::optional<qint64> recorded = store.begin(write(KeptSale::Kind::Sale));
        QVERIFY(store.begin(write(KeptSale::Kind::Coupon)));

        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
        // As a counter's own connection does: its commit waits for the remover's read to end.
        sqlite3_busy_timeout(other, 10000);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        store.settleLater(*recorded);
        QCOMPARE(store.counts()->sales, 0);
        QCOMPARE(store.counts()->coupons, 1);
        QCOMPARE(store.pendingFor(u"4711"_s)->size(), size_t(1));
        QVERIFY(store.list()->empty());
        QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);

        store.waitSettled();
        KeptSales reader(path, clock, klimit);
        QCOMPARE(reader.counts()->sales, 0);
        QCOMPARE(reader.counts()->coupons, 1);
        QCOMPARE(reader.find(*recorded).status, KeptSales::Status::None);
    }
};

QTEST_GUILESS_MAIN(TestOutbox)
#include "tst_outbox.moc"
