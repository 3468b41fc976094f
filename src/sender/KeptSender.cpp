#include "sender/KeptSender.h"

#include "api/CounterClient.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "counter/Reconciliation.h"
#include "counter/Settlement.h"
#include "members/Lookup.h"
#include "members/MemberWrites.h"
#include "outbox/KeptSales.h"
#include "platform/Clock.h"

#include <QSet>

using namespace Qt::StringLiterals;

struct KeptSender::Events
{
    bool read = false;
    std::optional<JsonValue> value; // the member's "event" value
    std::optional<QSet<QString>> keys;
    // When the lookup that read them left.
    QDateTime asked;
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
        const Step step = send(claimed.sale, round);
        if (step == Step::Stopped)
            break;
        // A sale of the counter found not recorded is a kept sale now: sent in this round.
        if (step == Step::Kept)
            tried.remove(claimed.sale.id);
    }
    return round;
}

KeptSender::Events KeptSender::readevents(const KeptSale& sale)
{
    Events events;
    events.asked = m_store.clock().now();
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
        sale.id, failure, mayhaveleft ? KeptSales::Departure::MayHaveLeft : KeptSales::Departure::NotLeft,
        sale.settleAfter);
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

KeptSender::Step KeptSender::settlewrite(const KeptSale& write, const Events& now, Round& round)
{
    Settlement settlement(m_store, m_store.clock(),
                          [this](const QString& text) { return m_client.httpput(text); });
    const Settlement::Settled settled = settlement.settle(write, now.value, now.asked);
    if (!settled.failure.isEmpty()) {
        round.failure = settled.failure;
        return Step::Stopped;
    }
    switch (settled.state) {
    case WriteResult::State::Recorded:
        ++round.settled;
        return Step::Settled;
    case WriteResult::State::NotRecorded:
    case WriteResult::State::Refused:
        if (write.kind == KeptSale::Kind::Sale)
            return Step::Kept;
        ++round.settled;
        return Step::Settled;
    case WriteResult::State::NotYetKnown:
        break;
    }
    return Step::Failed;
}

KeptSender::Step KeptSender::settlemember(const KeptSale& write, Round& round)
{
    const QDateTime asked = m_store.clock().now();
    const HttpReply reply = m_client.postform(MemberWrites::lookupline(write, m_idpharma));
    const MemberWrites::Judged judged =
        MemberWrites::judge(write, MemberWrites::readrecord(write, reply, asked));
    const KeptSales::Status status = judged.state == WriteResult::State::NotYetKnown
                                         ? m_store.await(write.id, QDateTime())
                                         : m_store.settle(write.id);
    if (status == KeptSales::Status::Failed) {
        round.failure = m_store.errorstring();
        return Step::Stopped;
    }
    if (judged.state != WriteResult::State::NotYetKnown) {
        ++round.settled;
        return Step::Settled;
    }
    // The platform is away: the other writes would fare no better.
    return !reply.sent || isaccessdenied(reply.status) ? Step::Stopped : Step::Failed;
}

KeptSender::Step KeptSender::send(const KeptSale& sale, Round& round)
{
    // Never sent again: its member's record settles it.
    if (MemberWrites::ismember(sale.kind))
        return settlemember(sale, round);
    const Events now = readevents(sale);
    if (!now.read)
        return release(sale, now.failure, sale.mayhaveleft, now.stop ? Step::Stopped : Step::Failed, round);

    // A sale or coupon use of the counter is never sent from here: its record settles it.
    if (sale.kind != KeptSale::Kind::Kept)
        return settlewrite(sale, now, round);

    // An earlier send may have landed: its sale is among the events that came after it. While the
    // platform may still be processing that send, its absence proves nothing: it waits.
    if (sale.mayhaveleft && sale.before) {
        switch (Settlement::judge(sale, now.value, now.asked)) {
        case WriteResult::State::Recorded:
            return settle(sale, round);
        case WriteResult::State::NotYetKnown:
            return release(sale, unconfirmedmessage(), true, Step::Failed, round);
        case WriteResult::State::NotRecorded:
        case WriteResult::State::Refused:
            break;
        }
    }

    // Written before the request leaves: whoever takes the sale after a lost reply looks for it
    // among the events that are not these.
    const KeptSales::Status recorded = m_store.recordbefore(sale.id, *now.keys);
    if (recorded != KeptSales::Status::Done) {
        round.failure = m_store.errorstring();
        return Step::Stopped;
    }

    const HttpReply reply = m_client.httpput(QString::fromUtf8(sale.request));
    const WriteResult result = WriteResult::read(reply);
    switch (result.state) {
    case WriteResult::State::Recorded:
        return settle(sale, round);
    case WriteResult::State::Refused:
        return release(sale, refusedmessage(result.refusal.isEmpty() ? result.code : result.refusal), false,
                       Step::Failed, round);
    case WriteResult::State::NotRecorded:
        return release(sale, unreachablemessage(reply), false, Step::Stopped, round);
    case WriteResult::State::NotYetKnown:
        break;
    }

    // It left and no readable answer came back: the member's events tell, once the platform can no
    // longer be processing it.
    KeptSale sent = sale;
    sent.before = now.keys;
    sent.settleAfter = result.processingOver
                           ? m_store.clock().now()
                           : m_store.clock().now().addSecs(m_store.processinglimitseconds());
    const Events after = readevents(sale);
    if (!after.read)
        return release(sent, unconfirmedmessage(), true, after.stop ? Step::Stopped : Step::Failed, round);
    switch (Settlement::judge(sent, after.value, after.asked)) {
    case WriteResult::State::Recorded:
        return settle(sale, round);
    case WriteResult::State::NotRecorded:
    case WriteResult::State::Refused:
        return release(sale, notrecordedmessage(), false, Step::Failed, round);
    case WriteResult::State::NotYetKnown:
        break;
    }
    return release(sent, unconfirmedmessage(), true, Step::Failed, round);
}
