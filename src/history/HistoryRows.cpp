#include "history/HistoryRows.h"

#include "api/JsonGetters.h"
#include "api/QuilbaError.h"
#include "data/MemoryTable.h"

using namespace Qt::StringLiterals;

namespace HistoryRows {

namespace {

QString lenienttext(const JsonValue& event, const QString& key)
{
    QString text;
    if (!trygettext(event, key, text))
        return {};
    return text;
}

// A status is read afresh for each event: absent, null or not a truth value counts as false.
bool flag(const JsonValue& event, const QString& key)
{
    bool value = false;
    if (!trygetflag(event, key, value))
        return false;
    return value;
}

} // namespace

QString showndate(const QString& date)
{
    return date.mid(8, 2) % u'/' % date.mid(5, 2) % u'/' % date.mid(0, 4) % u' ' % date.mid(11, 5);
}

bool isempty(const JsonValue& eventlist)
{
    return eventlist.tojson() == "\"\"";
}

std::vector<HistoryRow> rows(const JsonValue& eventlist)
{
    const JsonValue* list = eventlist.isObject() ? eventlist.find("list") : nullptr;
    if (!list || !list->isArray())
        throw QuilbaError(u"L'historique de ce client est illisible : la liste des événements est absente "
                          u"ou n'est pas une liste"_s);
    std::vector<HistoryRow> out;
    out.reserve(list->items().size());
    for (const JsonValue& event : list->items()) {
        HistoryRow row;
        row.uDate = lenienttext(event, u"date"_s);
        row.Date = showndate(row.uDate);
        const QString type = gettext(event, u"type"_s);
        // Only the three known types need a value; an event of another kind is skipped as it is.
        const bool known = type == u"addCA"_s || type == u"addPoint"_s || type == u"COUPON"_s;
        const QString fvalue = known ? gettext(event, u"fvalue"_s) : QString();
        if (type == u"addCA"_s) {
            row.Type = u"Ajout CA "_s % fvalue % u" euros"_s;
            row.Valeur = fvalue;
            const QString sparam = lenienttext(event, u"sparam"_s);
            const QString idExternal = lenienttext(event, u"idExternal"_s);
            if (!sparam.isEmpty())
                row.Commentaire = u"Code Vendeur : "_s % sparam;
            if (!idExternal.isEmpty())
                row.Commentaire = row.Commentaire % u" N° vente : "_s % idExternal;
        } else if (type == u"addPoint"_s) {
            row.Type = u"Ajout Points "_s % fvalue % u" pts"_s;
            row.Valeur = fvalue;
        } else if (type == u"COUPON"_s) {
            row.Type = u"Coupon "_s % fvalue % u" euros"_s;
            if (flag(event, u"status1"_s))
                row.Commentaire = u"supprimé le :"_s % showndate(lenienttext(event, u"dateUpdateStatus1"_s));
            else if (flag(event, u"status2"_s))
                row.Commentaire = u"utilisé le: "_s % showndate(lenienttext(event, u"dateUpdateStatus2"_s));
        }
        if (!row.Type.isEmpty())
            out.push_back(std::move(row));
    }
    return out;
}

void fill(MemoryTable& historique, const JsonValue& eventlist)
{
    historique.clear();
    const std::vector<HistoryRow> lines = rows(eventlist);
    std::vector<QVariantList> values;
    values.reserve(lines.size());
    for (const HistoryRow& row : lines)
        values.push_back({row.uDate, row.Date, row.Type, row.Commentaire, row.Valeur});
    historique.appendrows(values);
}

} // namespace HistoryRows
