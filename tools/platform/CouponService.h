#pragma once

#include "AccountList.h"
#include "Clock.h"
#include "Records.h"
#include "Store.h"

#include <rapidjson/document.h>

#include <string>
#include <vector>

// Coupons, kept as Sent objects of type "COUPON": the query with its filters, the status update, and the
// issue of a new coupon. Called inside a store transaction; refusals throw ApiError.
//
// Filters of a query: "type", "group", "member":{"id"}, and conditions on the coupon's fields ("status1",
// "status2", "startDate", "endDate", "fvalue", "trackCode", "id", ...), written as the field name for
// equality or with a suffix "_is_null", "_lt", "_le", "_gt", "_ge". Each object of the array "or" is a set
// of alternatives (one of its conditions must hold); every object of the array must be satisfied, as must
// every condition outside it.
class CouponService final
{
public:
    CouponService(Store& store, const Clock& clock);

    std::vector<CouponRecord> query(const Account& account, const rapidjson::Value& sent);
    // Sets "status1"/"status2" with their dates ("dateUpdateStatus1/2", now when absent); answers the id.
    long long updateStatus(const Account& account, const rapidjson::Value& sent);
    // A new coupon of `cents` for the member, released by the sale whose last event is `saleEventId`, valid
    // from `date` for the scheme's validity period.
    long long issue(const MemberRecord& member, long long cents, const std::string& date,
                    long long saleEventId);

    static bool matches(const CouponRecord& coupon, const rapidjson::Value& filter);

private:
    Store& m_store;
    const Clock& m_clock;
};
