#pragma once

#include "api/HttpClient.h"
#include "api/JsonValue.h"
#include "api/WriteResult.h"
#include "outbox/KeptSales.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class Clock;

// What the platform's own record says of a write whose outcome is not known, and what follows
// from it. The member's events, read after the write's request left, settle it:
//   found among the events that were not there before it left   recorded;
//   absent from events asked once the platform could no longer
//   be processing it                                             not recorded;
//   otherwise (absent too early, or no events to read)          still not known.
// A recorded coupon use gets its status update, once; a recorded write leaves the outbox. A sale
// of the counter found not recorded becomes a kept sale (sent later, once) unless its holder
// drops it to have it validated again; a coupon use not recorded leaves the outbox, the coupon
// usable again.
class Settlement final
{
public:
    // Sends a request by PUT (the status update of a coupon).
    using Put = std::function<HttpReply(const QString& text)>;

    enum class IfNotRecorded
    {
        Keep, // a sale joins the kept sales
        Drop, // a sale leaves the outbox: the pharmacist validates it again
    };

    struct Settled
    {
        KeptSale write;
        WriteResult::State state = WriteResult::State::NotYetKnown;
        // A recorded coupon use: its status update was confirmed.
        bool statusConfirmed = true;
        // The file could not take the change: why; the write stays as it was.
        QString failure;
    };

    Settlement(KeptSales& store, const Clock& clock, Put put);

    // asked: when the lookup that read the events left. The platform may have answered it at any
    // moment after, so the events prove an absence only if it left after the write's settleAfter.
    static WriteResult::State judge(const KeptSale& write, const std::optional<JsonValue>& events,
                                    const QDateTime& asked);

    // Settles a write this object's store holds (begin() or a claim): recorded, not recorded or
    // still not known. It lets go of it, but for a write still not known that the caller keeps
    // (`keep`: a sale whose inputs are on its counter).
    Settled settle(const KeptSale& held, const std::optional<JsonValue>& events, const QDateTime& asked,
                   IfNotRecorded ifNotRecorded = IfNotRecorded::Keep, bool keep = false);

    // The texts kept with a sale found not recorded, and told at the counter.
    static QString notRecordedKeptMessage();
    static QString saleRecordedMessage(const KeptSale& sale);
    static QString saleKeptMessage(const KeptSale& sale);
    static QString couponRecordedMessage();
    static QString couponNotRecordedMessage();

private:
    KeptSales& m_store;
    const Clock& m_clock;
    Put m_put;
};
