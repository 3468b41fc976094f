#include "counter/Reconciliation.h"

#include "api/JsonGetters.h"

using namespace Qt::StringLiterals;

namespace Reconciliation {

namespace {

const JsonValue* eventlist(const std::optional<JsonValue>& events)
{
    if (!events || !events->isObject())
        return nullptr;
    const JsonValue* list = events->find("list");
    return list && list->isArray() ? list : nullptr;
}

// An event's text field, empty when absent.
QString field(const JsonValue& event, const char* name)
{
    const JsonValue* value = event.isObject() ? event.find(name) : nullptr;
    if (!value || value->isObject() || value->isArray() || value->isNull())
        return QString();
    return value->isString() ? value->text() : QString::fromUtf8(value->view());
}

QString key(const JsonValue& event)
{
    return field(event, "type") + u':' + field(event, "id");
}

// The events of `after` whose key `before` did not hold, calling `match` on each; Unknown when
// the evidence is missing.
template <typename Match>
Found findnew(const std::optional<QSet<QString>>& before, const std::optional<JsonValue>& after, Match match)
{
    if (!before)
        return Found::Unknown;
    // A member without any event gets the empty text: nothing new there.
    if (after && after->isString() && after->text().isEmpty())
        return Found::No;
    const JsonValue* list = eventlist(after);
    if (!list)
        return Found::Unknown;
    for (const JsonValue& event : list->items()) {
        if (!before->contains(key(event)) && match(event))
            return Found::Yes;
    }
    return Found::No;
}

// A number as the platform writes it ("25.8") or as typed ("25,8").
std::optional<qint64> cents(QString text)
{
    bool ok = false;
    const double value = text.replace(u',', u'.').trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return qRound64(value * 100);
}

QString unquoted(QString text)
{
    return text.remove(u'"');
}

} // namespace

std::optional<QSet<QString>> eventkeys(const std::optional<JsonValue>& events)
{
    if (events && events->isString() && events->text().isEmpty())
        return QSet<QString>();
    const JsonValue* list = eventlist(events);
    if (!list)
        return std::nullopt;
    QSet<QString> keys;
    for (const JsonValue& event : list->items())
        keys.insert(key(event));
    return keys;
}

Found findsale(const std::optional<QSet<QString>>& before, const std::optional<JsonValue>& after,
               const QString& amount, const QString& seller, const QString& number)
{
    const std::optional<qint64> sold = cents(amount);
    return findnew(before, after, [&](const JsonValue& event) {
        return field(event, "type") == u"addCA"_s && sold && cents(field(event, "fvalue")) == sold &&
               field(event, "sparam") == unquoted(seller) && field(event, "idExternal") == unquoted(number);
    });
}

Found findcouponuse(const std::optional<QSet<QString>>& before, const std::optional<JsonValue>& after,
                    const QString& couponid)
{
    return findnew(before, after, [&](const JsonValue& event) {
        const JsonValue* cause = event.isObject() ? event.find("cause") : nullptr;
        return field(event, "type") == u"usedcoupon"_s && cause && field(*cause, "id") == couponid;
    });
}

QSet<QString> usedcoupons(const std::optional<JsonValue>& events)
{
    QSet<QString> used;
    const JsonValue* list = eventlist(events);
    if (!list)
        return used;
    for (const JsonValue& event : list->items()) {
        const JsonValue* cause = event.isObject() ? event.find("cause") : nullptr;
        if (field(event, "type") == u"usedcoupon"_s && cause)
            used.insert(field(*cause, "id"));
    }
    return used;
}

QString saleconfirmedmessage()
{
    return u"La vente a bien été enregistrée"_s;
}

QString salenotrecordedmessage()
{
    return u"La vente n'a pas été enregistrée par la plateforme. La saisie est conservée : validez la "
           "vente à nouveau."_s;
}

QString statusnotconfirmedmessage()
{
    return u"L'utilisation du coupon est enregistrée, mais la plateforme n'a pas confirmé qu'il est "
           "marqué utilisé. Il ne sera plus proposé pour ce client."_s;
}

} // namespace Reconciliation
