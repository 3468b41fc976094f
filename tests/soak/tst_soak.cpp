// The soak: two counters (quilba-soak-counter, real processes) serve random customers on one work
// folder while the local platform is slowed, drops replies, records late, stops and comes back,
// and each counter is killed and started again at random moments. Then everything settles (the
// counters started again without faults, past the platform's processing limit and their leases),
// and the platform's record is compared with what each counter told and kept (SoakCheck).
//
// The suite runs the seed 1 for a short history. A failing seed is printed with its logs' folder;
//   QUILBA_SOAK_SEED=<seed> [QUILBA_SOAK_CHAOS=<s>] tst_soak     replays it (the same faults, kills
//                                                                and answers; the timing of the
//                                                                processes differs from run to run);
//   QUILBA_SOAK_SECONDS=<s> tst_soak                             fresh seeds for that long
//   (./run soak [seconds]), each history QUILBA_SOAK_CHAOS seconds of chaos (60 by default).
#include "LocalPlatform.h"
#include "OutboxTrace.h"
#include "SoakCheck.h"
#include "SoakLog.h"

#include "api/CounterClient.h"
#include "api/HttpClient.h"
#include "members/Lookup.h"
#include "outbox/KeptSales.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The platform's processing limit and the counters' leases in the soak: short, so that a history
// settles within seconds of its end. Every fault keeps the platform's processing of a request
// within the limit after its transfer ended (the contract the counters rely on).
constexpr int klimit = 6;
constexpr int klease = 9;
constexpr int kmaxdelayms = 2500;

// Members of the first demo pharmacy with short histories, some with open coupons.
const QStringList cards{u"1010001"_s, u"1010002"_s, u"1010003"_s, u"1010004"_s,
                        u"1010005"_s, u"1010007"_s, u"1010011"_s, u"1010012"_s};

int environment(const char* name, int otherwise)
{
    bool number = false;
    const int value = qEnvironmentVariableIntValue(name, &number);
    return number ? value : otherwise;
}

struct Totals
{
    int histories = 0;
    int faults = 0;
    int stops = 0;
    int kills = 0;
    int credited = 0;
    SoakCheck::Counts counts;

    void add(const Totals& other)
    {
        histories += other.histories;
        faults += other.faults;
        stops += other.stops;
        kills += other.kills;
        credited += other.credited;
        const SoakCheck::Counts& c = other.counts;
        counts.sales += c.sales;
        counts.coupons += c.coupons;
        counts.lookups += c.lookups;
        counts.killed += c.killed;
        counts.recorded += c.recorded;
        counts.confirming += c.confirming;
        counts.kept += c.kept;
        counts.deleted += c.deleted;
        counts.once += c.once;
        counts.never += c.never;
        counts.atmostonce += c.atmostonce;
    }

    QString text() const
    {
        return u"%1 histoire(s) : %2 ventes validées (%3 dites enregistrées, %4 à confirmer, %5 mises en "
               "attente, %6 supprimées), %7 ventes créditées, %8 utilisations de coupon, %9 recherches, "
               "%10 pannes, %11 arrêts de la plateforme, %12 postes tués (%13 en plein pas) ; numéros "
               "vérifiés : %14 crédités une fois, %15 jamais, %16 au plus une fois"_s.arg(histories)
                   .arg(counts.sales)
                   .arg(counts.recorded)
                   .arg(counts.confirming)
                   .arg(counts.kept)
                   .arg(counts.deleted)
                   .arg(credited)
                   .arg(counts.coupons)
                   .arg(counts.lookups)
                   .arg(faults)
                   .arg(stops)
                   .arg(kills)
                   .arg(counts.killed)
                   .arg(counts.once)
                   .arg(counts.never)
                   .arg(counts.atmostonce);
    }
};

// One counter: its process, started again under a new incarnation after each kill.
struct Counter
{
    QString name;
    int incarnation = 0;
    std::unique_ptr<QProcess> process;
    qint64 restartAt = 0;
};

class History final
{
public:
    History(quint32 seed, int chaosSeconds) : m_seed(seed), m_chaos(chaosSeconds), m_random(seed) {}

    // The failures, empty when the history kept the invariant.
    QStringList run()
    {
        if (!m_work.isValid())
            return {u"pas de dossier de travail"_s};
        m_platform = std::make_unique<LocalPlatform>(QStringList(), true, LocalPlatform::Data::File);
        if (!m_platform->started())
            return {m_platform->error()};
        m_platform->preparework(m_work.path());
        if (const QString error = OutboxTrace::install(KeptSales::pathin(m_work.path())); !error.isEmpty())
            return {u"la trace de la boîte d'envoi ne s'installe pas : "_s + error};
        for (const QString& name : {u"A"_s, u"B"_s})
            m_counters.push_back(Counter{name, 0, nullptr, 0});

        for (Counter& counter : m_counters)
            start(counter, false);
        chaos();
        if (!m_failures.isEmpty())
            return m_failures;
        settle();
        if (!m_failures.isEmpty())
            return m_failures;
        QStringList failures = judge();
        for (QString& failure : failures)
            failure += tell(failure);
        return failures;
    }

    QString folder() const { return m_work.path(); }
    void keep() { m_work.setAutoRemove(false); }
    const Totals& totals() const { return m_totals; }

private:
    qint64 now() const { return m_clock.elapsed(); }
    int between(int low, int high) { return int(m_random.bounded(low, high + 1)); }

    QString logpath(const Counter& counter) const { return m_work.filePath(counter.name + u".log"_s); }

    void start(Counter& counter, bool settling)
    {
        ++counter.incarnation;
        counter.process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QUILBA_PROCESSING_LIMIT"_s, QString::number(klimit));
        environment.insert(u"QUILBA_LEASE_SECONDS"_s, QString::number(klease));
        counter.process->setProcessEnvironment(environment);
        counter.process->setStandardOutputFile(m_work.filePath(counter.name + u".out"_s), QIODevice::Append);
        counter.process->setStandardErrorFile(m_work.filePath(counter.name + u".err"_s), QIODevice::Append);
        const quint32 seed =
            m_seed * 1000u + quint32(counter.name.at(0).unicode()) * 37u + quint32(counter.incarnation);
        QStringList arguments{QString::number(seed),
                              m_work.path(),
                              logpath(counter),
                              counter.name,
                              QString::number(counter.incarnation),
                              cards.join(u',')};
        if (settling)
            arguments.append(u"settle"_s);
        counter.process->start(QStringLiteral(SOAK_COUNTER), arguments);
        if (!counter.process->waitForStarted(10000))
            m_failures.append(
                u"le poste %1 ne démarre pas : %2"_s.arg(counter.name, counter.process->errorString()));
    }

    void kill(Counter& counter)
    {
        if (!counter.process)
            return;
        if (counter.process->state() != QProcess::NotRunning) {
            counter.process->kill();
            counter.process->waitForFinished(10000);
        }
        counter.process.reset();
    }

    // A counter that ended by itself crashed or gave up: that is a finding.
    void checkalive(Counter& counter)
    {
        if (counter.process && counter.process->state() == QProcess::NotRunning) {
            QFile err(m_work.filePath(counter.name + u".err"_s));
            err.open(QIODevice::ReadOnly);
            m_failures.append(
                u"le poste %1 (incarnation %2) s'est arrêté seul (%3, code %4) : %5"_s.arg(counter.name)
                    .arg(counter.incarnation)
                    .arg(counter.process->exitStatus() == QProcess::CrashExit ? u"plantage"_s : u"sortie"_s)
                    .arg(counter.process->exitCode())
                    .arg(QString::fromUtf8(err.readAll().right(2000))));
            counter.process.reset();
        }
    }

    // One fault for the next requests of the API, at random.
    void fault()
    {
        const int roll = between(0, 99);
        const QByteArray process = m_random.bounded(2) ? "true" : "false";
        QByteArray json;
        if (roll < 40) {
            json = R"({"action":"delay","delay_ms":)" + QByteArray::number(between(300, kmaxdelayms)) + "}";
        } else if (roll < 55) {
            json = R"({"action":"close","process":)" + process + R"(,"delay_ms":)" +
                   QByteArray::number(between(0, 1500)) + "}";
        } else if (roll < 68) {
            json = R"({"action":"status","status_line":"HTTP/1.1 503 Service Unavailable","process":)" +
                   process + "}";
        } else if (roll < 76) {
            json =
                R"({"action":"status","status_line":"HTTP/1.1 502 Bad Gateway","process":)" + process + "}";
        } else if (roll < 82) {
            // The platform's own error after it recorded the request: its processing is over.
            json = R"({"action":"status","status_line":"HTTP/1.1 500 Internal Server Error","process":true})";
        } else {
            json = R"({"action":"stall","stall_ms":)" + QByteArray::number(between(300, kmaxdelayms)) + "}";
        }
        json.insert(1, R"("path":"/apiv1/","count":)" + QByteArray::number(between(1, 3)) + ",");
        const QByteArray answer = m_platform->admin("POST", u"faults"_s, json);
        if (answer.contains("queued"))
            ++m_totals.faults;
    }

    // The sale attempts the platform received since the last look (its journal starts afresh at
    // each start).
    void harvest()
    {
        if (!m_platform->running())
            return;
        static const QRegularExpression attempt(u"T[AB]\\d+-\\d+\\.\\d+"_s);
        const QJsonDocument journal =
            QJsonDocument::fromJson(m_platform->admin("GET", u"journal?after="_s + QString::number(m_seen)));
        for (const QJsonValue entry : journal.object().value(u"entries"_s).toArray()) {
            const QJsonObject request = entry.toObject();
            m_seen = std::max(m_seen, request.value(u"seq"_s).toInteger());
            const QString body = QString::fromUtf8(
                QByteArray::fromBase64(request.value(u"body_base64"_s).toString().toLatin1()));
            if (!body.contains(u"addCA"_s))
                continue;
            QRegularExpressionMatchIterator found = attempt.globalMatch(body);
            while (found.hasNext())
                m_record.received.insert(found.next().captured());
        }
    }

    void chaos()
    {
        m_clock.start();
        const qint64 end = qint64(m_chaos) * 1000;
        qint64 nextfault = between(200, 2000);
        qint64 nextkill = between(3000, 9000);
        qint64 nextstop = between(8000, 20000);
        qint64 back = 0;
        qint64 nextharvest = 1000;
        while (now() < end && m_failures.isEmpty()) {
            QTest::qWait(50);
            if (!m_platform->running() && now() >= back) {
                if (!m_platform->restart()) {
                    m_failures.append(m_platform->error());
                    return;
                }
                m_seen = 0;
            }
            if (now() >= nextfault) {
                if (m_platform->running())
                    fault();
                nextfault = now() + between(100, 1200);
            }
            if (now() >= nextstop) {
                if (m_platform->running()) {
                    harvest();
                    if (!m_platform->stop()) {
                        m_failures.append(m_platform->error());
                        return;
                    }
                    ++m_totals.stops;
                    back = now() + between(1000, 5000);
                }
                nextstop = now() + between(8000, 20000);
            }
            if (now() >= nextkill) {
                Counter& counter = m_counters.at(m_random.bounded(quint32(m_counters.size())));
                if (counter.process) {
                    kill(counter);
                    ++m_totals.kills;
                    counter.restartAt = now() + between(0, 1500);
                }
                nextkill = now() + between(2000, 8000);
            }
            for (Counter& counter : m_counters) {
                checkalive(counter);
                if (!counter.process && now() >= counter.restartAt)
                    start(counter, false);
            }
            if (now() >= nextharvest) {
                harvest();
                nextharvest = now() + 1000;
            }
        }
    }

    // The counters killed one last time, the platform back without faults; counters that only look
    // the members up and let their senders run until the outbox is empty.
    void settle()
    {
        for (Counter& counter : m_counters) {
            kill(counter);
            ++m_totals.kills;
        }
        if (!m_platform->running()) {
            if (!m_platform->restart()) {
                m_failures.append(m_platform->error());
                return;
            }
            m_seen = 0;
        }
        m_platform->admin("DELETE", u"faults"_s);
        m_platform->admin("POST", u"release"_s);
        harvest();
        for (Counter& counter : m_counters)
            start(counter, true);
        KeptSales outbox(KeptSales::pathin(m_work.path()), m_clock0, klimit);
        QElapsedTimer waited;
        waited.start();
        // The leases of the counters killed run out, then the platform's limit passes; a few rounds.
        const qint64 longest = qint64(klease + klimit + 60) * 1000;
        int empty = 0;
        while (empty < 3) {
            QTest::qWait(500);
            for (Counter& counter : m_counters)
                checkalive(counter);
            if (!m_failures.isEmpty())
                return;
            const std::optional<KeptSales::Counts> counts = outbox.counts();
            empty = counts && counts->kept + counts->sales + counts->coupons == 0 ? empty + 1 : 0;
            if (waited.elapsed() > longest) {
                QStringList left;
                for (const KeptSale& sale : outbox.list().value_or(std::vector<KeptSale>()))
                    left.append(u"%1 (%2, %3)"_s.arg(sale.number, sale.failure).arg(int(sale.kind)));
                m_failures.append(u"l'envoi ne finit pas : %1 ventes en attente, %2 à confirmer, %3 coupons "
                                  "à confirmer après %4 s : %5"_s.arg(counts ? counts->kept : -1)
                                      .arg(counts ? counts->sales : -1)
                                      .arg(counts ? counts->coupons : -1)
                                      .arg(longest / 1000)
                                      .arg(left.join(u", "_s)));
                return;
            }
        }
        harvest();
        for (Counter& counter : m_counters)
            kill(counter);
    }

    // What the counters logged and the outbox's trace noted of the sale or coupon a failure names.
    QString tell(const QString& failure) const
    {
        static const QRegularExpression named(u"^(vente|coupon) (\\S+) "_s);
        const QRegularExpressionMatch match = named.match(failure);
        const QString number = match.captured(2);
        if (number.isEmpty())
            return {};
        const bool coupon = match.captured(1) == u"coupon"_s;
        QStringList lines;
        for (const Counter& counter : m_counters) {
            // A step's call that names the sale, and what that step was told.
            bool called = false;
            for (const QJsonObject& line : SoakLog::read(logpath(counter))) {
                const QString event = line.value(u"e"_s).toString();
                const bool names = coupon ? line.value(u"coupon"_s).toString() == number
                                          : line.value(u"n"_s).toString() == number ||
                                                line.value(u"typed"_s).toString() == number ||
                                                line.value(u"after"_s).toString() == number;
                const bool shown = event == u"start"_s || names || (called && event != u"call"_s);
                called = (event == u"call"_s && names) || (called && event == u"question"_s);
                if (shown) {
                    lines.append(QDateTime::fromMSecsSinceEpoch(line.value(u"t"_s).toInteger())
                                     .toString(u"HH:mm:ss.zzz "_s) +
                                 QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)));
                }
            }
        }
        lines.sort();
        if (!coupon)
            lines.append(OutboxTrace::story(KeptSales::pathin(m_work.path()), number));
        return u"\n    "_s + lines.mid(0, 120).join(u"\n    "_s);
    }

    // The platform's record against the counters' logs.
    QStringList judge()
    {
        HttpClient client(CounterClient::profile());
        client.setcustomheaders({{"Authorization", LocalPlatform::demoauthorization()}});
        for (const QString& card : cards) {
            const Lookup::Plan plan = Lookup::plansearch(card, LocalPlatform::demoidpharma());
            const HttpReply reply = client.postform(m_platform->apiurl(), plan.line);
            const QJsonObject member =
                QJsonDocument::fromJson(reply.body).object().value(u"FidelityMember"_s).toObject();
            if (member.isEmpty())
                return {u"le client %1 ne se relit pas : %2"_s.arg(card,
                                                                   QString::fromUtf8(reply.body.left(300)))};
            for (const QJsonValue value : member.value(u"event"_s).toObject().value(u"list"_s).toArray()) {
                const QJsonObject event = value.toObject();
                const QString type = event.value(u"type"_s).toString();
                if (type == u"addCA"_s && event.value(u"sparam"_s).toString().startsWith(u'S')) {
                    ++m_record.credited[event.value(u"idExternal"_s).toString()];
                    ++m_totals.credited;
                } else if (type == u"usedcoupon"_s) {
                    ++m_record.used[event.value(u"cause"_s).toObject().value(u"id"_s).toVariant().toString()];
                }
            }
        }
        std::vector<std::vector<QJsonObject>> logs;
        for (const Counter& counter : m_counters)
            logs.push_back(SoakLog::read(logpath(counter)));
        const SoakCheck::Verdict verdict = SoakCheck::check(logs, m_record);
        m_totals.counts = verdict.counts;
        m_totals.histories = 1;
        return verdict.failures;
    }

    quint32 m_seed;
    int m_chaos;
    QRandomGenerator m_random;
    QTemporaryDir m_work;
    std::unique_ptr<LocalPlatform> m_platform;
    std::vector<Counter> m_counters;
    QElapsedTimer m_clock;
    SystemClock m_clock0;
    qint64 m_seen = 0;
    SoakCheck::Record m_record;
    Totals m_totals;
    QStringList m_failures;
};

// One history: its failures, told with the seed and where its logs stay.
QString runseed(quint32 seed, int chaos, Totals& totals)
{
    qInfo("soak : graine %u, %d s de pannes", seed, chaos);
    History history(seed, chaos);
    const QStringList failures = history.run();
    totals.add(history.totals());
    // QUILBA_SOAK_KEEP=1 keeps every history's folder.
    if (qEnvironmentVariableIsSet("QUILBA_SOAK_KEEP")) {
        history.keep();
        qInfo("journaux dans %s", qPrintable(history.folder()));
    }
    if (failures.isEmpty())
        return {};
    history.keep();
    return u"graine %1 : %2 échec(s) ; journaux des postes dans %3 ; rejouer : QUILBA_SOAK_SEED=%1 "
           "QUILBA_SOAK_CHAOS=%4 ./run soak\n  %5"_s.arg(seed)
               .arg(failures.size())
               .arg(history.folder())
               .arg(chaos)
               .arg(failures.mid(0, 30).join(u"\n  "_s));
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private slots:
    void invariantOverWholeHistories_data()
    {
        QTest::addColumn<quint32>("seed");
        if (qEnvironmentVariableIsSet("QUILBA_SOAK_SEED"))
            QTest::addRow("graine %d", environment("QUILBA_SOAK_SEED", 1))
                << quint32(environment("QUILBA_SOAK_SEED", 1));
        else if (environment("QUILBA_SOAK_SECONDS", 0) > 0)
            QTest::addRow("graines fraîches") << 0u;
        else
            QTest::addRow("graine 1") << 1u;
    }

    void invariantOverWholeHistories()
    {
        QFETCH(quint32, seed);
        Totals totals;
        if (seed != 0) {
            // The suite's history is short; a replay takes the length it is given.
            const int chaos =
                environment("QUILBA_SOAK_CHAOS", qEnvironmentVariableIsSet("QUILBA_SOAK_SEED") ? 60 : 50);
            const QString failure = runseed(seed, chaos, totals);
            qInfo("%s", qPrintable(totals.text()));
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QElapsedTimer elapsed;
        elapsed.start();
        auto fresh = quint32(QDateTime::currentMSecsSinceEpoch() % 1000000);
        QStringList failures;
        while (elapsed.elapsed() < environment("QUILBA_SOAK_SECONDS", 0) * 1000LL) {
            const QString failure = runseed(fresh++, environment("QUILBA_SOAK_CHAOS", 60), totals);
            if (!failure.isEmpty()) {
                qWarning("%s", qPrintable(failure));
                failures.append(failure);
            }
            qInfo("%s", qPrintable(totals.text()));
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u"\n"_s)));
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
