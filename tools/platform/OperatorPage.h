#pragma once

#include "AccountList.h"
#include "Clock.h"
#include "Store.h"

#include <optional>
#include <string>

// The read-only operator page ("/loyaltyoperator/login.jsp"): per pharmacy, its members with their
// points, its coupons with their state, and, for the member asked for with "member=<id>", the events.
class OperatorPage final
{
public:
    OperatorPage(Store& store, const AccountList& accounts, const Clock& clock);

    std::string render(const std::string& programme, std::optional<long long> member);

private:
    Store& m_store;
    const AccountList& m_accounts;
    const Clock& m_clock;
};
