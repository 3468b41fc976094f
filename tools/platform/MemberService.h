#pragma once

#include "AccountList.h"
#include "Clock.h"
#include "Records.h"
#include "Store.h"

#include <rapidjson/document.h>

#include <string>
#include <vector>

// FidelityMember queries and saves, FidelityMemberChild saves. Called inside a store transaction; refusals
// throw ApiError.
class MemberService final
{
public:
    MemberService(Store& store, const Clock& clock);

    // The members a query asks for ("actif", "group", then "id", "cardnumber" or "name_starts_with" with
    // "firstname_starts_with"); none throws the "unknown" refusal.
    std::vector<MemberRecord> find(const Account& account, const rapidjson::Value& query);
    // The reply document for one member: record, children and events.
    std::string render(const MemberRecord& member);

    // Creates the member (no "id") or changes the members sent; answers the member's id.
    long long save(const Account& account, const rapidjson::Value& object);
    // Creates a child under "parent" (no "id") or changes the child; answers the child's id.
    long long saveChild(const Account& account, const rapidjson::Value& object);

private:
    MemberRecord memberOfAccount(const Account& account, const std::string& idText);

    Store& m_store;
    const Clock& m_clock;
};
