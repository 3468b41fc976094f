#pragma once

#include "AccountList.h"
#include "Clock.h"
#include "CouponService.h"
#include "EventService.h"
#include "HttpReply.h"
#include "MemberService.h"
#include "Store.h"

#include <string_view>

// The API path: checks the Authorization header, reads the json_data document and hands it to the
// service of the object it names. A POST of "FidelityMember" or "Sent" is a query; every other request
// (and every PUT) writes. Platform refusals are answered with status 200 and an "ApiReturn".
class ApiRouter final
{
public:
    ApiRouter(Store& store, const Clock& clock, const AccountList& accounts);

    HttpReply handle(std::string_view method, std::string_view body, std::string_view authorization);

private:
    std::string dispatch(std::string_view method, const Account& account, const std::string& object,
                         const rapidjson::Value& payload);

    Store& m_store;
    const AccountList& m_accounts;
    MemberService m_members;
    CouponService m_coupons;
    EventService m_events;
};
