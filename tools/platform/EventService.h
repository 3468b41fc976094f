#pragma once

#include "AccountList.h"
#include "Clock.h"
#include "CouponService.h"
#include "Records.h"
#include "Store.h"

#include <rapidjson/document.h>

#include <string>
#include <vector>

// AdEvent requests: "addCA" (a sale, with its AdEventDetail lines) credits points and may issue coupons;
// "usedcoupon" records the use of one of the member's open coupons. Called inside a store transaction;
// refusals throw ApiError.
class EventService final
{
public:
    EventService(Store& store, const Clock& clock, CouponService& coupons);

    // Answers the id of the event recorded.
    long long record(const Account& account, const rapidjson::Value& adEvent);

    // The sale itself, at `date`: the addCA event and its lines, the addPoint event, the new balance, the
    // date of the last sale and the coupons released. Answers the addCA event's id.
    long long recordSale(MemberRecord& member, long long cents, const std::string& sparam,
                         const std::string& idExternal, const std::vector<EventDetailRecord>& details,
                         const std::string& date);
    long long recordCouponUse(const MemberRecord& member, const CouponRecord& coupon,
                              const std::string& comment, const std::string& date);

private:
    Store& m_store;
    const Clock& m_clock;
    CouponService& m_coupons;
};
