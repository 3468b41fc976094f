#include "EventService.h"

#include "ApiError.h"
#include "JsonText.h"
#include "LoyaltyRules.h"
#include "Money.h"

namespace {

std::string optionalText(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = jsontext::find(object, key);
    if (value == nullptr)
        return {};
    auto text = jsontext::text(*value);
    if (!text)
        throw ApiError(ApiError::kInvalidValue,
                       std::string("Valeur invalide pour ") + key + " : texte attendu");
    return *text;
}

std::vector<EventDetailRecord> readDetails(const rapidjson::Value& adEvent)
{
    std::vector<EventDetailRecord> details;
    const rapidjson::Value* list = jsontext::find(adEvent, "details");
    if (list == nullptr)
        return details;
    if (!list->IsArray())
        throw ApiError(ApiError::kInvalidValue, "Valeur invalide pour details : tableau attendu");
    for (const auto& element : list->GetArray()) {
        const rapidjson::Value* line = jsontext::find(element, "AdEventDetail");
        if (line == nullptr || !line->IsObject())
            throw ApiError(ApiError::kInvalidValue, "Ligne de détail invalide : objet AdEventDetail attendu");
        details.push_back(EventDetailRecord{0, optionalText(*line, "detailType"),
                                            optionalText(*line, "class1"), optionalText(*line, "class10"),
                                            optionalText(*line, "quantity"), optionalText(*line, "unitValue"),
                                            optionalText(*line, "finalvalue")});
    }
    return details;
}

} // namespace

EventService::EventService(Store& store, const Clock& clock, CouponService& coupons)
    : m_store(store), m_clock(clock), m_coupons(coupons)
{
}

long long EventService::record(const Account& account, const rapidjson::Value& adEvent)
{
    AccountList::requireGroup(account, jsontext::groupAt(adEvent));
    const std::string type = optionalText(adEvent, "type");
    if (type != "addCA" && type != "usedcoupon")
        throw ApiError(ApiError::kInvalidValue, "Type d'événement inconnu : " + type);
    const auto memberText = jsontext::idAt(adEvent, "member");
    const auto memberId = memberText ? jsontext::identifier(*memberText) : std::nullopt;
    auto member = memberId ? m_store.member(*memberId) : std::nullopt;
    if (!member || member->group != account.group)
        throw ApiError(ApiError::kUnknown, "Adhérent inconnu : " + memberText.value_or(""));
    const std::string now = m_clock.now();

    if (type == "addCA") {
        const std::string value = optionalText(adEvent, "fvalue");
        const auto cents = Money::parse(value);
        if (!cents)
            throw ApiError(ApiError::kInvalidValue, "Montant invalide : " + value);
        return recordSale(*member, *cents, optionalText(adEvent, "sparam"),
                          optionalText(adEvent, "idExternal"), readDetails(adEvent), now);
    }

    const auto couponText = jsontext::idAt(adEvent, "cause");
    const auto couponId = couponText ? jsontext::identifier(*couponText) : std::nullopt;
    const auto coupon = couponId ? m_store.coupon(*couponId) : std::nullopt;
    if (!coupon || coupon->memberId != member->id)
        throw ApiError(ApiError::kUnknown, "Coupon inconnu pour cet adhérent : " + couponText.value_or(""));
    if (coupon->status2.value_or(false))
        throw ApiError(ApiError::kCouponClosed, "Coupon déjà utilisé le " + coupon->dateUpdateStatus2);
    if (coupon->status1.value_or(false))
        throw ApiError(ApiError::kCouponClosed, "Coupon supprimé");
    if (coupon->endDate <= now)
        throw ApiError(ApiError::kCouponClosed, "Coupon expiré le " + coupon->endDate);
    if (coupon->startDate > now)
        throw ApiError(ApiError::kCouponClosed, "Coupon valable à partir du " + coupon->startDate);
    return recordCouponUse(*member, *coupon, optionalText(adEvent, "comment"), now);
}

long long EventService::recordSale(MemberRecord& member, long long cents, const std::string& sparam,
                                   const std::string& idExternal,
                                   const std::vector<EventDetailRecord>& details, const std::string& date)
{
    const auto outcome = LoyaltyRules::applySale(member.points, member.firstCouponIssued, cents);

    EventRecord sale;
    sale.memberId = member.id;
    sale.group = member.group;
    sale.type = "addCA";
    sale.date = date;
    sale.fvalue = Money::format(cents);
    sale.sparam = sparam;
    sale.idExternal = idExternal;
    const long long saleId = m_store.insertEvent(sale);
    for (EventDetailRecord detail : details) {
        detail.eventId = saleId;
        m_store.insertDetail(detail);
    }
    long long lastEventId = saleId;
    if (outcome.points != 0) {
        EventRecord points;
        points.memberId = member.id;
        points.group = member.group;
        points.type = "addPoint";
        points.date = date;
        points.fvalue = std::to_string(outcome.points);
        lastEventId = m_store.insertEvent(points);
    }
    member.points = outcome.balance;
    member.firstCouponIssued = outcome.firstCouponIssued;
    if (date > member.lastSale)
        member.lastSale = date;
    m_store.updateMember(member);
    for (const long long couponCents : outcome.couponCents)
        m_coupons.issue(member, couponCents, date, lastEventId);
    return saleId;
}

long long EventService::recordCouponUse(const MemberRecord& member, const CouponRecord& coupon,
                                        const std::string& comment, const std::string& date)
{
    EventRecord use;
    use.memberId = member.id;
    use.group = member.group;
    use.type = "usedcoupon";
    use.date = date;
    use.fvalue = Money::format(coupon.valueCents);
    use.comment = comment;
    use.couponId = coupon.id;
    return m_store.insertEvent(use);
}
