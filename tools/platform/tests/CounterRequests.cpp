#include "CounterRequests.h"

#include <cstdio>

namespace counter {

namespace {

std::string encodePart(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == ' ') {
            out += '+';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
                   c == '-' || c == '.' || c == '_') {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", b);
            out += hex;
        }
    }
    return out;
}

std::string lookup(const std::string& group, const std::string& criterion)
{
    return R"(json_data={ "FidelityMember":{"actif":"1","group":{"idExternal":")" + group + R"(" },)" +
           criterion + "}}";
}

} // namespace

std::string formEncode(const std::string& line)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return encodePart(line);
    return encodePart(line.substr(0, eq)) + "=" + encodePart(line.substr(eq + 1));
}

std::string lookupByCard(const std::string& group, const std::string& card)
{
    return lookup(group, R"("cardnumber":")" + card + R"(")");
}

std::string lookupById(const std::string& group, const std::string& id)
{
    return lookup(group, R"("id":")" + id + R"(")");
}

std::string lookupByName(const std::string& group, const std::string& name)
{
    return lookup(group, R"("name_starts_with":")" + name + R"(")");
}

std::string lookupByNames(const std::string& group, const std::string& name, const std::string& firstname)
{
    return lookup(group,
                  R"("name_starts_with":")" + name + R"(","firstname_starts_with":")" + firstname + R"(")");
}

std::string couponQuery(const std::string& group, const std::string& memberId, const std::string& now)
{
    return R"(json_data={ "Sent":{"type":"COUPON","group":{"idExternal":")" + group +
           R"("},"member": { "id":")" + memberId +
           R"("},"or":[{"status1_is_null": "true", "status1": "false"},{"status2_is_null": "true", "status2": "false"}],"startDate_le":")" +
           now + R"(","endDate_gt":")" + now + R"("}})";
}

std::string sale(const std::string& memberId, const std::string& group, const std::string& amount,
                 const std::string& seller, const std::string& number)
{
    std::string text = R"(json_data={"AdEvent":{"type":"addCA", "member":{"id":)" + memberId +
                       R"(},"group":{"loadFromKeys":{"idExternal":")" + group + R"(" }},)";
    if (!seller.empty())
        text += R"("sparam":")" + seller + R"(",)";
    if (!number.empty())
        text += R"("idExternal":")" + number + R"(",)";
    return text + R"("fvalue":")" + amount + R"("}})" + "\r\n";
}

std::string usedCoupon(const std::string& memberId, const std::string& group, const std::string& value,
                       const std::string& track, const std::string& couponId)
{
    return R"(json_data={"AdEvent":{"type":"usedcoupon", "member":{"id":)" + memberId +
           R"(},"group":{"loadFromKeys":{"idExternal":")" + group + R"(" }},"fvalue":")" + value +
           R"(","comment":")" + track + R"(","cause":{"id":")" + couponId + R"("}}})";
}

std::string couponUsed(const std::string& couponId, const std::string& now)
{
    return R"(json_data={"Sent":{"id":")" + couponId + R"(","status2":true,"dateUpdateStatus2":")" + now +
           R"("}})";
}

} // namespace counter
