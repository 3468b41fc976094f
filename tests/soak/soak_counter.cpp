// One counter of the soak, without a window: a pharmacist serving random customers of the local
// platform (lookups, sales, coupon uses, abandoned waits, kept sales deleted now and then) through
// CounterSession, with the outbox in the work folder, its background sender and its watch, as the
// program has them. Every step and what it was told goes to the soak's log (SoakLog).
//
//   quilba-soak-counter SEED WORKFOLDER LOG NAME INCARNATION CARD[,CARD...] [settle]
//
// With "settle" it only looks the members up one after the other and lets the sender run, so that
// every write of the outbox gets settled.
#include "ProductLines.h"
#include "SoakLog.h"

#include "api/CounterClient.h"
#include "api/HttpClient.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "counter/Coupons.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "outbox/KeptSales.h"
#include "outbox/OutboxWatch.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "sender/KeptSending.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace {

QString resultname(CounterOutcome::Result result)
{
    switch (result) {
    case CounterOutcome::Result::Nothing:
        return u"nothing"_s;
    case CounterOutcome::Result::Done:
        return u"done"_s;
    case CounterOutcome::Result::Refused:
        return u"refused"_s;
    case CounterOutcome::Result::NotSent:
        return u"notsent"_s;
    case CounterOutcome::Result::Unconfirmed:
        return u"unconfirmed"_s;
    case CounterOutcome::Result::Kept:
        return u"kept"_s;
    }
    return {};
}

// The pharmacist's answers: mostly what a person at the counter would answer, the rest at random;
// each box and its answer is logged.
class SoakDialogs final : public Dialogs
{
public:
    SoakDialogs(QRandomGenerator& random, SoakLog::Writer& log) : m_random(random), m_log(log) {}

    void information(const QString& text) override { ask(text, true); }
    bool error(const QString& text) override { return ask(text, true); }
    bool question(const QString& text) override
    {
        if (text == Sale::keepquestion())
            return ask(text, m_random.bounded(100) < 85);
        if (text == Coupons::confirmmessage() || text == u"Annuler la saisie en cours"_s)
            return ask(text, m_random.bounded(100) < 90);
        // Sending a write that could not be noted risks counting it twice: a careful pharmacist
        // says no.
        if (text.endsWith(KeptSales::unnotedquestion(QString())))
            return ask(text, false);
        return ask(text, m_random.bounded(2) == 1);
    }
    bool warning(const QString& text) override { return ask(text, m_random.bounded(2) == 1); }
    void exception(const QString& text) override { ask(text, true); }

private:
    bool ask(const QString& text, bool answer)
    {
        m_log.write(u"question"_s, {{u"text"_s, text}, {u"answer"_s, answer}});
        return answer;
    }

    QRandomGenerator& m_random;
    SoakLog::Writer& m_log;
};

class Pharmacist final : public QObject
{
public:
    Pharmacist(CounterSession& session, KeptSales& outbox, KeptSending& sending, const Settings& settings,
               QRandomGenerator& random, SoakLog::Writer& log, const QString& name, int incarnation,
               const QStringList& cards, bool settling)
        : m_session(session), m_outbox(outbox), m_sending(sending), m_settings(settings), m_random(random),
          m_log(log), m_name(name), m_incarnation(incarnation), m_cards(cards), m_settling(settling)
    {
        m_abandon.setSingleShot(true);
        connect(&m_abandon, &QTimer::timeout, [] { HttpClient::abandonwait(); });
    }

    void start()
    {
        QTimer::singleShot(0, this, [this] { step(); });
    }

    void sendnow()
    {
        HttpClient& client = m_session.context().client.client();
        m_sending.sendnow({m_settings.url(), client.customheaders(), client.proxy(), m_settings.idpharma()});
    }

private:
    void step()
    {
        if (m_settling) {
            settlestep();
            QTimer::singleShot(200, this, [this] { step(); });
            return;
        }
        const int roll = int(m_random.bounded(100));
        if (m_session.idle() || roll < 12)
            newcustomer();
        else if (roll < 70)
            sale();
        else if (roll < 80)
            usecoupon();
        else if (roll < 90)
            call(u"refresh"_s, {}, [this] { return m_session.refresh(); });
        else if (roll < 93)
            deletekept();
        else
            sendnow();
        QTimer::singleShot(int(m_random.bounded(10, 120)), this, [this] { step(); });
    }

    // Every member once, then the sender: what is left of the outbox is settled by the lookups and
    // the rounds.
    void settlestep()
    {
        const QString card = m_cards.at(m_next++ % m_cards.size());
        call(
            u"lookup"_s, {{u"card"_s, card}}, [&] { return m_session.lookup(card); }, false);
        sendnow();
    }

    // One step of the session: logged before it starts and with what it told once it is over.
    // Its wait for the platform may be abandoned at a random moment, as with Échap.
    template <typename Step>
    CounterOutcome call(const QString& kind, QJsonObject line, Step step, bool mayabandon = true)
    {
        line.insert(u"k"_s, kind);
        line.insert(u"typed"_s, m_session.shown().number);
        m_log.write(u"call"_s, line);
        if (mayabandon && m_random.bounded(100) < 35)
            m_abandon.start(int(m_random.bounded(50, 2500)));
        const CounterOutcome outcome = step();
        m_abandon.stop();
        QJsonArray texts;
        for (const QString& text : outcome.texts())
            texts.append(text);
        m_log.write(u"told"_s, {{u"k"_s, kind},
                                {u"result"_s, resultname(outcome.result)},
                                {u"texts"_s, texts},
                                {u"after"_s, m_session.shown().number}});
        return outcome;
    }

    void newcustomer()
    {
        if (!m_session.nextCustomer())
            return;
        m_typed = {};
        const QString card = m_cards.at(int(m_random.bounded(qsizetype(m_cards.size()))));
        call(u"lookup"_s, {{u"card"_s, card}}, [&] { return m_session.lookup(card); });
    }

    // A new sale, or the one whose inputs are still on the counter validated again as it is. Its
    // one product line's code names the attempt, so that the platform's journal tells which
    // attempts reached it.
    void sale()
    {
        SaleLines& lines = m_session.state().Produits();
        const bool again = !m_typed.number.isEmpty() && m_session.shown().number == m_typed.number;
        if (!again) {
            const int cents = int(m_random.bounded(100, 9999));
            m_typed = {u"%1%2-%3"_s.arg(m_name).arg(m_incarnation).arg(++m_sales), QString(), 0, cents};
        }
        const QString attempt = u"T%1.%2"_s.arg(m_typed.number).arg(++m_typed.attempts);
        const double price = m_typed.cents / 100.0;
        lines.clear();
        storeLines(lines, {{attempt, 1, price, price}});
        if (!again)
            m_typed.amount = m_session.shown().amount;
        m_session.setnumber(m_typed.number);
        const QString seller = u"S"_s + m_name;
        const SaleInput input{seller, m_typed.number, m_typed.amount};
        call(u"sale"_s, {{u"n"_s, m_typed.number}, {u"a"_s, attempt}, {u"amount"_s, m_typed.amount}},
             [&] { return m_session.sale(input); });
    }

    void usecoupon()
    {
        std::vector<Coupons::Coupon> usable;
        for (const Coupons::Coupon& coupon : m_session.shown().coupons) {
            if (!coupon.isnone() && !coupon.confirming)
                usable.push_back(coupon);
        }
        if (usable.empty()) {
            call(u"refresh"_s, {}, [this] { return m_session.refresh(); });
            return;
        }
        const Coupons::Coupon coupon = usable.at(m_random.bounded(quint32(usable.size())));
        call(u"coupon"_s, {{u"coupon"_s, coupon.id}, {u"value"_s, coupon.value}},
             [&] { return m_session.useCoupon(coupon); });
        // The window looks the member up again after the messages.
        call(u"refresh"_s, {}, [this] { return m_session.refresh(); });
    }

    // Now and then the pharmacist opens the kept sales and deletes one.
    void deletekept()
    {
        const std::optional<std::vector<KeptSale>> sales = m_outbox.list();
        if (!sales)
            return;
        std::vector<KeptSale> kept;
        for (const KeptSale& sale : *sales) {
            if (sale.kind == KeptSale::Kind::Kept && !sale.held)
                kept.push_back(sale);
        }
        if (kept.empty())
            return;
        const KeptSale& chosen = kept.at(m_random.bounded(quint32(kept.size())));
        if (m_outbox.remove(chosen.id) == KeptSales::Status::Done)
            m_log.write(u"deleted"_s, {{u"n"_s, chosen.number}});
        m_session.refreshkept();
    }

    using SaleInput = CounterSession::SaleInput;
    // The sale whose inputs the counter shows, as this pharmacist typed it.
    struct Typed
    {
        QString number;
        QString amount;
        int attempts = 0;
        int cents = 0;
    };

    CounterSession& m_session;
    KeptSales& m_outbox;
    KeptSending& m_sending;
    const Settings& m_settings;
    QRandomGenerator& m_random;
    SoakLog::Writer& m_log;
    QString m_name;
    int m_incarnation;
    QStringList m_cards;
    bool m_settling;
    QTimer m_abandon;
    Typed m_typed;
    int m_sales = 0;
    int m_next = 0;
};

} // namespace

int main(int argc, char** argv)
{
    // Gone with the soak that started it, whatever ends the soak.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 7) {
        std::fprintf(stderr, "quilba-soak-counter GRAINE DOSSIER JOURNAL NOM INCARNATION CARTES [settle]\n");
        return 2;
    }
    const quint32 seed = arguments.at(1).toUInt();
    const QString work = arguments.at(2);
    const QString name = arguments.at(4);
    const int incarnation = arguments.at(5).toInt();
    const QStringList cards = arguments.at(6).split(u',');
    const bool settling = arguments.size() > 7 && arguments.at(7) == u"settle"_s;

    SoakLog::Writer log(arguments.at(3), name, incarnation);
    if (!log.opened()) {
        std::fprintf(stderr, "le journal %s ne s'ouvre pas\n", qPrintable(arguments.at(3)));
        return 1;
    }
    QRandomGenerator random(seed);
    Settings settings(work + u'/');
    if (!settings.read()) {
        std::fprintf(stderr, "%s\n", qPrintable(settings.errorstring()));
        return 1;
    }
    ReplyBuffer buffer;
    CounterClient client(buffer, [&settings] { return settings.url(); });
    settings.setauthorization(client.client());
    SystemClock clock;
    SoakDialogs dialogs(random, log);
    CounterSession session(CounterSession::Context{client, buffer, settings, dialogs, clock});
    session.setchooser([](const std::vector<QStringList>&) { return std::optional<QString>(); });

    const QString path = KeptSales::pathin(work);
    KeptSales outbox(path, clock);
    session.setkeptsales(&outbox);
    KeptSending sending(path, clock, 3000);
    QObject::connect(&sending, &KeptSending::roundended, &session, &CounterSession::refreshkept);
    OutboxWatch watch(outbox);
    QObject::connect(&watch, &OutboxWatch::changed, &session, &CounterSession::refreshkept);

    Pharmacist pharmacist(session, outbox, sending, settings, random, log, name, incarnation, cards,
                          settling);
    // As the program does: a request that reached the platform lets the sender follow.
    client.setreached([&] {
        if (session.shown().kept > 0 || !session.shown().confirming.isEmpty())
            pharmacist.sendnow();
    });
    log.write(u"start"_s, {{u"seed"_s, qint64(seed)},
                           {u"settle"_s, settling},
                           {u"pid"_s, qint64(app.applicationPid())},
                           {u"owner"_s, outbox.owner().left(8)}});
    pharmacist.sendnow();
    pharmacist.start();
    return app.exec();
}
