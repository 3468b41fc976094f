#include "counter/Settlement.h"

#include "counter/CounterRules.h"
#include "counter/Coupons.h"
#include "counter/Reconciliation.h"
#include "platform/Clock.h"

using namespace Qt::StringLiterals;

Settlement::Settlement(KeptSales& store, const Clock& clock, Put put)
    : m_store(store), m_clock(clock), m_put(std::move(put))
{
}

WriteResult::State Settlement::judge(const KeptSale& write, const std::optional<JsonValue>& events,
                                     const QDateTime& asked)
{
    const Reconciliation::Found found =
        write.kind == KeptSale::Kind::Coupon
            ? Reconciliation::findcouponuse(write.before, events, write.couponId)
            : Reconciliation::findsale(write.before, events, write.amount, write.seller, write.number);
    switch (found) {
    case Reconciliation::Found::Yes:
        return WriteResult::State::Recorded;
    case Reconciliation::Found::No:
        // Absence is proof only in events asked once the platform could no longer be processing
        // the request.
        if (!write.settleAfter.isValid() || (asked.isValid() && asked >= write.settleAfter))
            return WriteResult::State::NotRecorded;
        break;
    case Reconciliation::Found::Unknown:
        break;
    }
    return WriteResult::State::NotYetKnown;
}

Settlement::Settled Settlement::settle(const KeptSale& held, const std::optional<JsonValue>& events,
                                       const QDateTime& asked, IfNotRecorded ifNotRecorded, bool keep)
{
    Settled settled{held, judge(held, events, asked), true, {}};
    KeptSales::Status status = KeptSales::Status::Done;
    switch (settled.state) {
    case WriteResult::State::Recorded:
        if (held.kind == KeptSale::Kind::Coupon) {
            // The use is recorded: the coupon is marked used, once, whatever that answers.
            const HttpReply reply = m_put(Coupons::statusline(held.couponId, nowtext(m_clock)));
            settled.statusConfirmed = WriteResult::read(reply).recorded();
        }
        status = m_store.settle(held.id);
        break;
    case WriteResult::State::NotRecorded:
    case WriteResult::State::Refused:
        if (held.kind == KeptSale::Kind::Sale && ifNotRecorded == IfNotRecorded::Keep)
            status = m_store.keepSale(held.id, notRecordedKeptMessage());
        else
            status = m_store.settle(held.id);
        break;
    case WriteResult::State::NotYetKnown:
        status = keep ? m_store.expect(held.id, held.settleAfter) : m_store.await(held.id, QDateTime());
        break;
    }
    if (status == KeptSales::Status::Failed)
        settled.failure = m_store.errorstring();
    return settled;
}

QString Settlement::notRecordedKeptMessage()
{
    return u"La plateforme n'a pas enregistré la vente envoyée au comptoir : elle sera envoyée à nouveau."_s;
}

QString Settlement::saleRecordedMessage(const KeptSale& sale)
{
    return u"La vente de %1 € envoyée au comptoir a bien été enregistrée par la plateforme."_s.arg(
        sale.amount);
}

QString Settlement::saleKeptMessage(const KeptSale& sale)
{
    return u"La vente de %1 € envoyée au comptoir n'a pas été enregistrée par la plateforme : elle est mise "
           "en attente et sera envoyée dès que possible."_s.arg(sale.amount);
}

QString Settlement::couponRecordedMessage()
{
    return u"L'utilisation du coupon a bien été enregistrée par la plateforme."_s;
}

QString Settlement::couponNotRecordedMessage()
{
    return u"L'utilisation du coupon n'a pas été enregistrée par la plateforme : le coupon peut être utilisé "
           "à nouveau."_s;
}
