#include "counter/KeptSender.h"

#include "api/CounterClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/KeptSales.h"
#include "counter/Reconciliation.h"
#include "counter/Sale.h"
#include "members/Lookup.h"

#include <QSet>

using namespace Qt::StringLiterals;

struct KeptSender::Events
{
    bool read = false;
    std::optional<JsonValue> value; // the member's "event" value
    std::optional<QSet<QString>> keys;
    // Why they could not be read, and whether the round ends for it.
    QString failure;
    bool stop = false;
};

KeptSender::KeptSender(KeptSales& store, CounterClient& client) : m_store(store), m_client(client) {}

QString KeptSender::unreachablemessage(const HttpReply& reply)
{
    if (isaccessdenied(reply.status))
        return u"Accès refusé par la plateforme (HTTP %1) : vérifiez les paramètres de connexion."_s.arg(
            reply.status);
    return u"Plateforme injoignable : "_s + reply.failure;
}

QString KeptSender::memberfailuremessage(const QString& reason)
{
    return u"Le client n'a pas pu être relu avant l'envoi : "_s + reason;
}

QString KeptSender::noeventsmessage()
{
    return u"La plateforme n'a pas donné l'historique du client : la vente n'est pas envoyée, pour ne "
           "pas risquer de la compter deux fois."_s;
}

QString KeptSender::unconfirmedmessage()
{
    return u"La plateforme n'a pas confirmé la vente : elle sera cherchée dans l'historique du client "
           "avant tout nouvel envoi."_s;
}

QString KeptSender::notrecordedmessage()
{
    return u"La plateforme n'a pas confirmé la vente et ne l'a pas enregistrée : elle sera envoyée à "
           "nouveau."_s;
}

QString KeptSender::refusedmessage(const QString& reason)
{
    return u"Vente refusée par la plateforme : "_s + reason;
}

KeptSender::Round KeptSender::run(const QString& idpharma)
{
    m_idpharma = idpharma;
    Round round;
    QSet<qint64> tried;
    while (true) {
        const KeptSales::Claimed claimed = m_store.claim(tried);
        if (claimed.status == KeptSales::Status::None)
            break;
        if (claimed.status != KeptSales::Status::Done) {
            round.failure = m_store.errorstring();
            break;
        }
        tried.insert(claimed.sale.id);
        if (send(claimed.sale, round) == Step::Stopped)
            break;
    }
    return round;
}

KeptSender::Events KeptSender::readevents(const KeptSale& sale)
{
    Events events;
    const HttpReply reply = m_client.postform(Lookup::requestline(u"ID="_s + sale.memberid, m_idpharma));
    if (!reply.ok) {
        // The platform is away or unwell: the other sales would fare no better.
        events.failure = reply.sent && !isaccessdenied(reply.status)
                             ? memberfailuremessage(Lookup::failuremessages(reply).value(0))
                             : unreachablemessage(reply);
        events.stop = true;
        return events;
    }
    const Lookup::Reply read = Lookup::readreply(ReplyBuffer::normalised(reply.body));
    if (read.kind != Lookup::Reply::Kind::Member) {
        events.failure = memberfailuremessage(
            read.message.isEmpty() ? u"la plateforme n'a pas renvoyé ce client."_s : read.message);
        return events;
    }
    const JsonValue* event = read.member.find("event");
    events.value = event ? std::optional<JsonValue>(*event) : std::nullopt;
    events.keys = Reconciliation::eventkeys(events.value);
    if (!events.keys) {
        events.failure = noeventsmessage();
        return events;
    }
    events.read = true;
    return events;
}

KeptSender::Step KeptSender::release(const KeptSale& sale, const QString& failure, bool mayhaveleft,
                                     Step step, Round& round)
{
    const KeptSales::Status status = m_store.release(
        sale.id, failure, mayhaveleft ? KeptSales::Departure::MayHaveLeft : KeptSales::Departure::NotLeft);
    if (status == KeptSales::Status::Failed) {
        round.failure = m_store.errorstring();
        return Step::Stopped;
    }
    ++round.failed;
    return step;
}

KeptSender::Step KeptSender::settle(const KeptSale& sale, Round& round)
{
    const KeptSales::Status status = m_store.settle(sale.id);
    if (status == KeptSales::Status::Failed) {
        round.failure = m_store.errorstring();
        return Step::Stopped;
    }
    // Lost: another counter took the sale after this lease ran out; it finds the sale among the
    // events and settles it without sending it again.
    ++round.settled;
    return Step::Settled;
}

KeptSender::Step KeptSender::send(const KeptSale& sale, Round& round)
{
    const Events now = readevents(sale);
    if (!now.read)
        return release(sale, now.failure, sale.mayhaveleft, now.stop ? Step::Stopped : Step::Failed, round);

    // An earlier send may have landed: its sale is among the events that came after it.
    if (sale.mayhaveleft && sale.before &&
        Reconciliation::findsale(sale.before, now.value, sale.amount, sale.seller, sale.number) ==
            Reconciliation::Found::Yes)
        return settle(sale, round);

    // Written before the request leaves: whoever takes the sale after a lost reply looks for it
    // among the events that are not these.
    const KeptSales::Status recorded = m_store.recordbefore(sale.id, *now.keys);
    if (recorded != KeptSales::Status::Done) {
        round.failure = m_store.errorstring();
        return Step::Stopped;
    }

    const HttpReply reply = m_client.httpput(QString::fromUtf8(sale.request));
    if (reply.ok) {
        const Sale::Envelope read = Sale::readenvelope(ReplyBuffer::normalised(reply.body));
        if (read.ok())
            return settle(sale, round);
        if (read.found)
            return release(sale, refusedmessage(read.errormessage.isEmpty() ? read.code : read.errormessage),
                           false, Step::Failed, round);
    } else if (!reply.sent || isaccessdenied(reply.status)) {
        return release(sale, unreachablemessage(reply), false, Step::Stopped, round);
    }

    // It left and no readable answer came back: the member's events tell.
    const Events after = readevents(sale);
    if (!after.read)
        return release(sale, unconfirmedmessage(), true, after.stop ? Step::Stopped : Step::Failed, round);
    switch (Reconciliation::findsale(now.keys, after.value, sale.amount, sale.seller, sale.number)) {
    case Reconciliation::Found::Yes:
        return settle(sale, round);
    case Reconciliation::Found::No:
        return release(sale, notrecordedmessage(), false, Step::Failed, round);
    case Reconciliation::Found::Unknown:
        break;
    }
    return release(sale, unconfirmedmessage(), true, Step::Failed, round);
}
