#pragma once

#include <string>

// Request texts built as the counter program writes them, and the form encoding of its posts.
namespace counter {

// The counter's form encoding of one "json_data=..." line: split at the first "=", each side encoded
// (blank "+", letters, digits and "*-._" kept, any other byte "%XX"), joined again with "=".
std::string formEncode(const std::string& line);

std::string lookupByCard(const std::string& group, const std::string& card);
std::string lookupById(const std::string& group, const std::string& id);
std::string lookupByName(const std::string& group, const std::string& name);
std::string lookupByNames(const std::string& group, const std::string& name, const std::string& firstname);
std::string couponQuery(const std::string& group, const std::string& memberId, const std::string& now);
// A sale without product lines; `seller` and `number` are left out when empty.
std::string sale(const std::string& memberId, const std::string& group, const std::string& amount,
                 const std::string& seller = "", const std::string& number = "");
std::string usedCoupon(const std::string& memberId, const std::string& group, const std::string& value,
                       const std::string& track, const std::string& couponId);
std::string couponUsed(const std::string& couponId, const std::string& now);

} // namespace counter
