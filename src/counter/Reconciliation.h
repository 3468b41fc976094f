#pragma once

#include "api/JsonValue.h"

#include <QSet>
#include <QString>
#include <optional>

// What the member's events say of a write whose reply was lost. The lookup that follows a sale or
// a coupon use brings the member's events ("event": {"list": [...]}); an event that was not in
// the list loaded before the write, and that matches it, is that write landed.
namespace Reconciliation {

enum class Found
{
    Yes,     // the write is among the new events
    No,      // the events are there, and the write is not among the new ones
    Unknown, // the evidence is missing: no event list before or after
};

// The keys ("type:id") of the sales and coupon uses of an event value; none when the value holds
// no list and is not the empty text a member without events gets.
std::optional<QSet<QString>> eventkeys(const std::optional<JsonValue>& events);

// A sale of that amount (as typed, decimal comma), seller code and sale number among the events
// of `after` that `before` did not hold.
Found findsale(const std::optional<QSet<QString>>& before, const std::optional<JsonValue>& after,
               const QString& amount, const QString& seller, const QString& number);
// A use of that coupon among the events of `after` that `before` did not hold.
Found findcouponuse(const std::optional<QSet<QString>>& before, const std::optional<JsonValue>& after,
                    const QString& couponid);
// The ids of the coupons whose use is among the events: they are never offered again.
QSet<QString> usedcoupons(const std::optional<JsonValue>& events);

// Told when the lost reply's sale is among the member's events.
QString saleconfirmedmessage();
// Told when it is not: the inputs are kept, ready to send again.
QString salenotrecordedmessage();
// Told when a coupon's use is recorded but marking it used was not confirmed.
QString statusnotconfirmedmessage();

} // namespace Reconciliation
