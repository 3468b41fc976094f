#include "CouponService.h"

#include "ApiError.h"
#include "JsonText.h"
#include "LoyaltyRules.h"
#include "Money.h"

#include <string_view>

namespace {

enum class Kind
{
    Flag,
    Text,
    Amount,
    Number
};

struct FieldValue
{
    bool known = false;
    Kind kind = Kind::Text;
    std::optional<std::string> text; // nullopt: the field is null
};

FieldValue fieldOf(const CouponRecord& c, std::string_view name)
{
    auto flag = [](const std::optional<bool>& v) -> std::optional<std::string> {
        if (!v)
            return std::nullopt;
        return std::string(*v ? "true" : "false");
    };
    auto date = [](const std::string& v) -> std::optional<std::string> {
        if (v.empty())
            return std::nullopt;
        return v;
    };
    if (name == "status1")
        return {true, Kind::Flag, flag(c.status1)};
    if (name == "status2")
        return {true, Kind::Flag, flag(c.status2)};
    if (name == "startDate")
        return {true, Kind::Text, date(c.startDate)};
    if (name == "endDate")
        return {true, Kind::Text, date(c.endDate)};
    if (name == "dateUpdateStatus1")
        return {true, Kind::Text, date(c.dateUpdateStatus1)};
    if (name == "dateUpdateStatus2")
        return {true, Kind::Text, date(c.dateUpdateStatus2)};
    if (name == "trackCode")
        return {true, Kind::Text, c.trackCode};
    if (name == "fvalue")
        return {true, Kind::Amount, Money::format(c.valueCents)};
    if (name == "id")
        return {true, Kind::Number, std::to_string(c.id)};
    return {};
}

// -1, 0, 1; nullopt when the two cannot be compared.
std::optional<int> compare(Kind kind, const std::string& a, const std::string& b)
{
    switch (kind) {
    case Kind::Flag:
        return std::nullopt;
    case Kind::Text:
        return a < b ? -1 : (a == b ? 0 : 1);
    case Kind::Amount:
    case Kind::Number: {
        const auto x = Money::parse(a);
        const auto y = Money::parse(b);
        if (!x || !y)
            return std::nullopt;
        return *x < *y ? -1 : (*x == *y ? 0 : 1);
    }
    }
    return std::nullopt;
}

// nullopt: the key is not a condition this platform knows, and is left out.
std::optional<bool> condition(const CouponRecord& c, std::string_view key, const rapidjson::Value& value)
{
    static constexpr std::string_view kSuffixes[] = {"_is_null", "_le", "_lt", "_ge", "_gt"};
    std::string_view field = key;
    std::string_view op;
    for (const auto suffix : kSuffixes) {
        if (key.size() > suffix.size() && key.ends_with(suffix)) {
            field = key.substr(0, key.size() - suffix.size());
            op = suffix;
            break;
        }
    }
    const FieldValue f = fieldOf(c, field);
    if (!f.known)
        return std::nullopt;
    if (op == "_is_null") {
        const auto wanted = jsontext::flag(value);
        if (!wanted)
            return false;
        return *wanted == !f.text.has_value();
    }
    const auto wanted = jsontext::text(value);
    if (!wanted || !f.text)
        return false; // null never equals nor compares
    if (op.empty()) {
        if (f.kind == Kind::Flag) {
            const auto flag = jsontext::flag(value);
            return flag && (*flag ? "true" : "false") == *f.text;
        }
        const auto order = compare(f.kind, *f.text, *wanted);
        return order && *order == 0;
    }
    const auto order = compare(f.kind, *f.text, *wanted);
    if (!order)
        return false;
    if (op == "_lt")
        return *order < 0;
    if (op == "_le")
        return *order <= 0;
    if (op == "_gt")
        return *order > 0;
    return *order >= 0;
}

bool isStructural(std::string_view key)
{
    return key == "type" || key == "group" || key == "member" || key == "or";
}

} // namespace

CouponService::CouponService(Store& store, const Clock& clock) : m_store(store), m_clock(clock) {}

bool CouponService::matches(const CouponRecord& coupon, const rapidjson::Value& filter)
{
    for (auto it = filter.MemberBegin(); it != filter.MemberEnd(); ++it) {
        const std::string_view key(it->name.GetString(), it->name.GetStringLength());
        if (key == "or") {
            if (!it->value.IsArray())
                throw ApiError(ApiError::kInvalidValue, "Valeur invalide pour or : tableau attendu");
            for (const auto& alternatives : it->value.GetArray()) {
                if (!alternatives.IsObject())
                    throw ApiError(ApiError::kInvalidValue, "Valeur invalide dans or : objet attendu");
                bool any = false;
                bool anyKnown = false;
                for (auto a = alternatives.MemberBegin(); a != alternatives.MemberEnd(); ++a) {
                    const auto result = condition(
                        coupon, std::string_view(a->name.GetString(), a->name.GetStringLength()), a->value);
                    if (!result)
                        continue;
                    anyKnown = true;
                    any = any || *result;
                }
                if (anyKnown && !any)
                    return false;
            }
            continue;
        }
        if (isStructural(key))
            continue;
        const auto result = condition(coupon, key, it->value);
        if (result && !*result)
            return false;
    }
    return true;
}

std::vector<CouponRecord> CouponService::query(const Account& account, const rapidjson::Value& sent)
{
    AccountList::requireGroup(account, jsontext::groupAt(sent));
    if (const auto type = jsontext::textAt(sent, "type"); type && *type != "COUPON")
        return {};
    std::vector<CouponRecord> candidates;
    if (const auto memberId = jsontext::idAt(sent, "member")) {
        const auto id = jsontext::identifier(*memberId);
        if (!id)
            return {};
        candidates = m_store.coupons(*id);
    } else {
        candidates = m_store.allCoupons();
    }
    std::vector<CouponRecord> found;
    for (auto& coupon : candidates) {
        if (coupon.group == account.group && matches(coupon, sent))
            found.push_back(std::move(coupon));
    }
    return found;
}

long long CouponService::updateStatus(const Account& account, const rapidjson::Value& sent)
{
    const auto idText = jsontext::textAt(sent, "id");
    const auto id = idText ? jsontext::identifier(*idText) : std::nullopt;
    auto coupon = id ? m_store.coupon(*id) : std::nullopt;
    if (!coupon || coupon->group != account.group)
        throw ApiError(ApiError::kUnknown, "Coupon inconnu : " + idText.value_or(""));
    auto readStatus = [&](const char* key, const char* dateKey, std::optional<bool>& status,
                          std::string& date) -> bool {
        const rapidjson::Value* value = jsontext::find(sent, key);
        if (value == nullptr)
            return false;
        const auto flag = jsontext::flag(*value);
        if (!flag)
            throw ApiError(ApiError::kInvalidValue,
                           std::string("Valeur invalide pour ") + key + " : true ou false attendu");
        auto when = jsontext::textAt(sent, dateKey);
        if (when && !Clock::isDateTime(*when))
            throw ApiError(ApiError::kInvalidValue,
                           std::string("Date invalide pour ") + dateKey + " : aaaa-mm-jj hh:mm:ss attendu");
        status = *flag;
        date = when ? *when : m_clock.now();
        return *flag;
    };
    const bool wasUsed = coupon->status2.value_or(false);
    const bool wasDeleted = coupon->status1.value_or(false);
    const bool deleting =
        readStatus("status1", "dateUpdateStatus1", coupon->status1, coupon->dateUpdateStatus1);
    const bool using_ =
        readStatus("status2", "dateUpdateStatus2", coupon->status2, coupon->dateUpdateStatus2);
    if (using_ && wasUsed)
        throw ApiError(ApiError::kCouponClosed,
                       "Coupon déjà utilisé le " + m_store.coupon(*id)->dateUpdateStatus2);
    if (using_ && wasDeleted)
        throw ApiError(ApiError::kCouponClosed, "Coupon supprimé");
    if (deleting && wasDeleted)
        throw ApiError(ApiError::kCouponClosed, "Coupon déjà supprimé");
    m_store.updateCoupon(*coupon);
    return coupon->id;
}

long long CouponService::issue(const MemberRecord& member, long long cents, const std::string& date,
                               long long saleEventId)
{
    CouponRecord coupon;
    coupon.memberId = member.id;
    coupon.group = member.group;
    coupon.valueCents = cents;
    coupon.startDate = date;
    coupon.endDate = Clock::addDays(date, LoyaltyRules::kCouponValidityDays);
    coupon.saleEventId = saleEventId;
    return m_store.insertCoupon(coupon);
}
