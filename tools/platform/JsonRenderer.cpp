#include "JsonRenderer.h"

#include "Money.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <limits>

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void text(Writer& w, const char* key, std::string_view value)
{
    w.Key(key);
    w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void textIfAny(Writer& w, const char* key, std::string_view value)
{
    if (!value.empty())
        text(w, key, value);
}

void number(Writer& w, const char* key, long long value)
{
    w.Key(key);
    w.Int64(value);
}

void rawNumber(Writer& w, const char* key, const std::string& lexeme)
{
    w.Key(key);
    w.RawValue(lexeme.data(), lexeme.size(), rapidjson::kNumberType);
}

void status(Writer& w, const char* key, const std::optional<bool>& value)
{
    if (!value)
        return;
    w.Key(key);
    w.Bool(*value);
}

void address(Writer& w, const MemberRecord& m)
{
    if (m.line1.empty() && m.line2.empty() && m.zip.empty() && m.town.empty())
        return;
    w.Key("address");
    w.StartObject();
    text(w, "line1", m.line1);
    text(w, "line2", m.line2);
    text(w, "zip", m.zip);
    text(w, "town", m.town);
    w.EndObject();
}

void child(Writer& w, const ChildRecord& c)
{
    w.StartObject();
    number(w, "id", c.id);
    text(w, "firstname", c.firstname);
    text(w, "sex", c.sex);
    textIfAny(w, "birthday", c.birthday);
    w.EndObject();
}

void coupon(Writer& w, const CouponRecord& c)
{
    number(w, "id", c.id);
    text(w, "type", "COUPON");
    text(w, "trackCode", c.trackCode);
    rawNumber(w, "fvalue", Money::format(c.valueCents));
    text(w, "startDate", c.startDate);
    text(w, "endDate", c.endDate);
    status(w, "status1", c.status1);
    textIfAny(w, "dateUpdateStatus1", c.dateUpdateStatus1);
    status(w, "status2", c.status2);
    textIfAny(w, "dateUpdateStatus2", c.dateUpdateStatus2);
}

void event(Writer& w, const EventRecord& e)
{
    w.StartObject();
    number(w, "id", e.id);
    text(w, "type", e.type);
    text(w, "date", e.date);
    text(w, "fvalue", e.fvalue);
    textIfAny(w, "sparam", e.sparam);
    textIfAny(w, "idExternal", e.idExternal);
    textIfAny(w, "comment", e.comment);
    if (e.couponId != 0) {
        w.Key("cause");
        w.StartObject();
        number(w, "id", e.couponId);
        w.EndObject();
    }
    w.EndObject();
}

// Sales, points and coupon uses, with the coupons issued, in the order they happened.
void eventList(Writer& w, const std::vector<EventRecord>& events, const std::vector<CouponRecord>& coupons)
{
    w.Key("event");
    if (events.empty() && coupons.empty()) {
        w.String("");
        return;
    }
    // Ordered by date, then as recorded: a coupon right after the sale that released it (after the
    // events of its date when no sale did).
    struct Item
    {
        const std::string* date;
        long long after; // the event id it follows
        int kind;        // 0 event, 1 coupon
        long long id;
        const EventRecord* event;
        const CouponRecord* coupon;
    };
    constexpr long long kLast = std::numeric_limits<long long>::max();
    std::vector<Item> items;
    items.reserve(events.size() + coupons.size());
    for (const auto& e : events)
        items.push_back(Item{&e.date, e.id, 0, e.id, &e, nullptr});
    for (const auto& c : coupons)
        items.push_back(Item{&c.startDate, c.saleEventId != 0 ? c.saleEventId : kLast, 1, c.id, nullptr, &c});
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (*a.date != *b.date)
            return *a.date < *b.date;
        if (a.after != b.after)
            return a.after < b.after;
        if (a.kind != b.kind)
            return a.kind < b.kind;
        return a.id < b.id;
    });
    w.StartObject();
    w.Key("list");
    w.StartArray();
    for (const Item& item : items) {
        if (item.event != nullptr) {
            event(w, *item.event);
        } else {
            w.StartObject();
            coupon(w, *item.coupon);
            text(w, "date", item.coupon->startDate);
            w.EndObject();
        }
    }
    w.EndArray();
    w.EndObject();
}

std::string finish(const rapidjson::StringBuffer& buffer)
{
    return std::string(buffer.GetString(), buffer.GetSize());
}

} // namespace

std::string JsonRenderer::apiOk(long long id, std::string_view message)
{
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("ApiReturn");
    w.StartObject();
    text(w, "code", "OK");
    text(w, "message", message);
    number(w, "id", id);
    w.EndObject();
    w.EndObject();
    return finish(buffer);
}

std::string JsonRenderer::apiRefusal(std::string_view errorCode, std::string_view errorMessage)
{
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("ApiReturn");
    w.StartObject();
    text(w, "code", "KO");
    text(w, "message", "");
    text(w, "errorCode", errorCode);
    text(w, "errorMessage", errorMessage);
    w.EndObject();
    w.EndObject();
    return finish(buffer);
}

std::string JsonRenderer::memberList(const std::vector<MemberRecord>& members)
{
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("list");
    w.StartArray();
    for (const auto& m : members) {
        w.StartObject();
        number(w, "id", m.id);
        text(w, "cardnumber", m.cardnumber);
        text(w, "name", m.name);
        text(w, "firstname", m.firstname);
        number(w, "nbPoint", m.points);
        address(w, m);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return finish(buffer);
}

std::string JsonRenderer::member(const MemberRecord& m, const std::vector<ChildRecord>& children,
                                 const std::vector<EventRecord>& events,
                                 const std::vector<CouponRecord>& coupons)
{
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("FidelityMember");
    w.StartObject();
    number(w, "id", m.id);
    text(w, "cardnumber", m.cardnumber);
    text(w, "name", m.name);
    text(w, "firstname", m.firstname);
    textIfAny(w, "gender", m.gender);
    textIfAny(w, "birthday", m.birthday);
    textIfAny(w, "email", m.email);
    w.Key("emailoptin");
    w.Bool(m.emailoptin);
    textIfAny(w, "mobile", m.mobile);
    w.Key("smsoptin");
    w.Bool(m.smsoptin);
    textIfAny(w, "tel", m.tel);
    address(w, m);
    w.Key("criteria");
    w.StartObject();
    const char* keys[] = {"cn1", "cn2", "cn3", "cn4", "cn5"};
    for (size_t i = 0; i < 5; ++i)
        rawNumber(w, keys[i], m.criteria[i]);
    w.EndObject();
    // No child: the empty text; one child: an object under "FidelityMemberChild"; several: an array.
    w.Key("children");
    if (children.empty()) {
        w.String("");
    } else if (children.size() == 1) {
        w.StartObject();
        w.Key("FidelityMemberChild");
        child(w, children.front());
        w.EndObject();
    } else {
        w.StartArray();
        for (const auto& c : children)
            child(w, c);
        w.EndArray();
    }
    number(w, "nbPoint", m.points);
    textIfAny(w, "dateUpdate", m.lastSale);
    w.Key("actif");
    w.Bool(m.actif);
    w.Key("group");
    w.StartObject();
    text(w, "idExternal", m.group);
    w.EndObject();
    eventList(w, events, coupons);
    w.EndObject();
    w.EndObject();
    return finish(buffer);
}

std::string JsonRenderer::couponList(const std::vector<CouponRecord>& coupons)
{
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    w.Key("list");
    w.StartArray();
    for (const auto& c : coupons) {
        w.StartObject();
        coupon(w, c);
        w.Key("member");
        w.StartObject();
        number(w, "id", c.memberId);
        w.EndObject();
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return finish(buffer);
}
