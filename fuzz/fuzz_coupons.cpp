// The coupon fill: any reply gives complete rows of seven cells, or nothing, or stops at a coupon
// that lacks a key with the getters' French failure; the use requests built from a row are JSON
// documents that carry the row's values unchanged.
#include "FuzzCheck.h"

#include "api/JsonValue.h"
#include "counter/Coupons.h"

#include <cstdint>

namespace {

QString textat(const JsonValue& object, const char* key)
{
    const JsonValue* v = object.find(key);
    FUZZ_CHECK(v && v->isString());
    return v->text();
}

JsonValue document(const QString& line, const char* name)
{
    FUZZ_CHECK(line.startsWith(QStringLiteral("json_data=")));
    const std::optional<JsonValue> doc = parsejson(line.mid(10).toUtf8());
    FUZZ_CHECK(doc && doc->isObject() && doc->members().size() == 1);
    const JsonValue* inner = doc->find(name);
    FUZZ_CHECK(inner && inner->isObject());
    return *inner;
}

void checkuse(const QStringList& row)
{
    using namespace Coupons;
    const QString memberid = row[TrackCode];
    const JsonValue event =
        document(eventline(memberid, row[Id], row[Value], row[TrackCode], row[Id]), "AdEvent");
    FUZZ_CHECK(textat(event, "fvalue") == row[Value]);
    FUZZ_CHECK(textat(event, "comment") == row[TrackCode]);
    const JsonValue* cause = event.find("cause");
    FUZZ_CHECK(cause && textat(*cause, "id") == row[Id]);
    const JsonValue* member = event.find("member");
    FUZZ_CHECK(member && member->isObject());
    const JsonValue* id = member->find("id");
    FUZZ_CHECK(id && (id->isNumber() ? QString::fromLatin1(id->bytes()) : id->text()) == memberid);

    const QString now = QStringLiteral("2024-01-02 03:04:05");
    const JsonValue status = document(statusline(row[Id], now), "Sent");
    FUZZ_CHECK(textat(status, "id") == row[Id]);
    FUZZ_CHECK(textat(status, "dateUpdateStatus2") == now);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Coupons::Fill fill = Coupons::readfill(bytes);
    switch (fill.kind) {
    case Coupons::Fill::Kind::Nothing:
        // Silent, or the one message for a reply that is no list of coupons.
        FUZZ_CHECK(fill.rows.empty());
        FUZZ_CHECK(fill.error.isEmpty() || fill.error == Coupons::unreadablemessage());
        break;
    case Coupons::Fill::Kind::List:
        FUZZ_CHECK(fill.count >= 0 && fill.rows.size() <= static_cast<std::size_t>(fill.count));
        FUZZ_CHECK(fill.error.isEmpty() == (fill.rows.size() == static_cast<std::size_t>(fill.count)));
        FUZZ_CHECK(fill.lines.size() == fill.rows.size() + (fill.error.isEmpty() ? 0 : 1));
        for (const QByteArray& line : fill.lines)
            FUZZ_CHECK(parsejson(line).has_value());
        break;
    case Coupons::Fill::Kind::Single:
        FUZZ_CHECK(fill.rows.size() == (fill.error.isEmpty() ? 1u : 0u));
        break;
    }
    if (!fill.error.isEmpty() && fill.kind != Coupons::Fill::Kind::Nothing)
        FUZZ_CHECK(isgetterfailure(fill.error));
    for (const QStringList& row : fill.rows) {
        FUZZ_CHECK(row.size() == Coupons::ColumnCount);
        FUZZ_CHECK(row[Coupons::Label] == Coupons::label(row[Coupons::Value]));
        checkuse(row);
    }
    return 0;
}
