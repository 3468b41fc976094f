#include "counter/Coupons.h"

#include "api/HttpClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterRules.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace Coupons {

namespace {

// The cells of one coupon; a missing key raises its QuilbaError before any cell is kept.
QStringList rowof(const JsonValue& coupon)
{
    const QString track = gettext(coupon, u"trackCode"_s);
    const QString value = gettext(coupon, u"fvalue"_s);
    const QString end = frdate(gettext(coupon, u"endDate"_s));
    const QString id = gettext(coupon, u"id"_s);
    return {track, label(value), u"Imprimer"_s, u"Utiliser"_s, end, value, id};
}

} // namespace

QString queryline(const QString& idpharma, const QString& memberid, const QString& now)
{
    const QString at = jsonescape(now);
    return u"json_data={ \"Sent\":{\"type\":\"COUPON\",\"group\":{\"idExternal\":\""_s +
           jsonescape(idpharma) + u"\"},\"member\": { \"id\":\""_s + jsonescape(memberid) +
           u"\"},\"or\":[{\"status1_is_null\": \"true\", \"status1\": \"false\"},"
           "{\"status2_is_null\": \"true\", \"status2\": \"false\"}],\"startDate_le\":\""_s +
           at + u"\",\"endDate_gt\":\""_s + at + u"\"}}"_s;
}

QString eventline(const QString& memberid, const QString& idpharma, const QString& value,
                  const QString& trackcode, const QString& couponid)
{
    const QString member = isjsonnumber(memberid) ? memberid : u"\""_s + jsonescape(memberid) + u"\""_s;
    return u"json_data={\"AdEvent\":{\"type\":\"usedcoupon\", \"member\":{\"id\":"_s + member +
           u"},\"group\":{\"loadFromKeys\":{\"idExternal\":\""_s + jsonescape(idpharma) +
           u"\" }},\"fvalue\":\""_s + jsonescape(value) + u"\",\"comment\":\""_s + jsonescape(trackcode) +
           u"\",\"cause\":{\"id\":\""_s + jsonescape(couponid) + u"\"}}}"_s;
}

QString statusline(const QString& couponid, const QString& now)
{
    return u"json_data={\"Sent\":{\"id\":\""_s + jsonescape(couponid) +
           u"\",\"status2\":true,\"dateUpdateStatus2\":\""_s + jsonescape(now) + u"\"}}"_s;
}

QString label(const QString& value)
{
    return u"Coupon "_s + value + u" €"_s;
}

Fill readfill(const QByteArray& reply)
{
    Fill fill;
    const std::optional<JsonValue> document = parsejson(reply);
    if (!document || !document->isObject()) {
        fill.error = unreadablemessage();
        return fill;
    }
    if (document->members().empty())
        return fill;
    const auto& [name, value] = document->members().front();
    try {
        if (name == "list") {
            if (!value.isArray()) {
                fill.error = unreadablemessage();
                return fill;
            }
            fill.kind = Fill::Kind::List;
            fill.count = static_cast<int>(value.items().size());
            for (const JsonValue& coupon : value.items()) {
                fill.lines.push_back(coupon.tojson());
                fill.rows.push_back(rowof(coupon));
            }
        } else if (name == "Sent") {
            fill.kind = Fill::Kind::Single;
            fill.rows.push_back(rowof(value));
        }
    } catch (const QuilbaError& error) {
        fill.error = error.message();
    }
    return fill;
}

Coupon Coupon::fromcells(const QStringList& cells)
{
    return {cells.value(TrackCode), cells.value(Label), cells.value(Print), cells.value(Use),
            cells.value(EndDate),   cells.value(Value), cells.value(Id)};
}

QString Coupon::cell(int column) const
{
    switch (column) {
    case TrackCode:
        return trackcode;
    case Label:
        return label;
    case Print:
        return print;
    case Use:
        return use;
    case EndDate:
        return enddate;
    case Value:
        return value;
    case Id:
        return id;
    default:
        return QString();
    }
}

QString notrecordedmessage()
{
    return u"L'utilisation du coupon n'a pas été enregistrée par la plateforme."_s;
}

QString confirmingusemessage()
{
    return u"La plateforme n'a pas encore confirmé l'utilisation du coupon : il reste affiché « À confirmer "
           u"» "
           "et ne peut pas être utilisé à nouveau tant qu'elle ne l'a pas confirmée ou infirmée."_s;
}

QString confirmingmessage()
{
    return u"L'utilisation de ce coupon attend encore la confirmation de la plateforme : il ne peut pas être "
           "utilisé à nouveau. Cliquez sur Actualiser dans un moment."_s;
}

QString confirmingcaption()
{
    return u"À confirmer"_s;
}

QString unconfirmedmessage()
{
    return u"La plateforme n'a pas confirmé l'utilisation du coupon : elle a pu être enregistrée ou "
           "non. Vérifiez la liste des coupons affichée avant de l'utiliser à nouveau."_s;
}

QString unreadablemessage()
{
    return u"La liste des coupons renvoyée par la plateforme n'est pas lisible : les coupons du client "
           "ne sont pas affichés."_s;
}

QString confirmmessage()
{
    return u"Confirmer utilisation coupon"_s;
}

QString hint(const Coupon& coupon)
{
    const QString name = coupon.isnone() ? u"Coupon"_s : label(coupon.value);
    return name + u" valable jusqu'au "_s + coupon.enddate;
}

} // namespace Coupons
