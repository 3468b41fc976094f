#pragma once

#include "Records.h"

#include <string>
#include <string_view>
#include <vector>

// The reply documents of the API, written compactly with members in a fixed order. Texts are UTF-8 as
// stored; identifiers, points and coupon values are JSON numbers.
class JsonRenderer final
{
public:
    static std::string apiOk(long long id, std::string_view message);
    static std::string apiRefusal(std::string_view errorCode, std::string_view errorMessage);

    // {"list":[short member objects]}
    static std::string memberList(const std::vector<MemberRecord>& members);
    // {"FidelityMember":{...}} with children and the event list.
    static std::string member(const MemberRecord& member, const std::vector<ChildRecord>& children,
                              const std::vector<EventRecord>& events,
                              const std::vector<CouponRecord>& coupons);
    // {"list":[Sent objects]}
    static std::string couponList(const std::vector<CouponRecord>& coupons);
};
