// The lookup: the search text becomes a request line whose document carries the text unchanged,
// and the reply dispatch reads any bytes into a list of rows, a member to load, a refusal or
// nothing, with a French message where the user is told something.
#include "FuzzCheck.h"

#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "counter/CounterRules.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "data/NumberText.h"
#include "members/Lookup.h"
#include "members/Member.h"

#include <cstdint>
#include <memory>

namespace {

const QString idpharma = QStringLiteral("101\"},\"x\":{\"y\":\"\\");

QString textat(const JsonValue& object, const char* key)
{
    const JsonValue* v = object.find(key);
    FUZZ_CHECK(v && v->isString());
    return v->text();
}

// The request line is "json_data=" and one document that asks for what the text says.
void checkrequest(const QString& search)
{
    const Lookup::Plan plan = Lookup::plansearch(search, idpharma);
    if (plan.action != Lookup::Plan::Action::Send)
        return;
    FUZZ_CHECK(plan.line.startsWith(QStringLiteral("json_data=")));
    const std::optional<JsonValue> doc = parsejson(plan.line.mid(10).toUtf8());
    FUZZ_CHECK(doc && doc->isObject() && doc->members().size() == 1);
    const JsonValue* query = doc->find("FidelityMember");
    FUZZ_CHECK(query && query->isObject());
    FUZZ_CHECK(textat(*query, "actif") == QStringLiteral("1"));
    const JsonValue* group = query->find("group");
    FUZZ_CHECK(group && textat(*group, "idExternal") == idpharma);
    // "actif", "group" and the asked values, nothing more: a quote in the text cannot add a field.
    const QString& text = plan.text;
    const qsizetype star = text.indexOf(u'*');
    std::size_t fields = 3;
    if (isnumeric(text)) {
        FUZZ_CHECK(textat(*query, "cardnumber") == text);
    } else if (text.startsWith(QStringLiteral("ID="))) {
        FUZZ_CHECK(textat(*query, "id") == text.mid(3));
    } else if (star >= 0) {
        FUZZ_CHECK(textat(*query, "name_starts_with") == text.left(star));
        FUZZ_CHECK(textat(*query, "firstname_starts_with") == text.mid(star + 1));
        fields = 4;
    } else {
        FUZZ_CHECK(textat(*query, "name_starts_with") == text);
    }
    FUZZ_CHECK(query->members().size() == fields);
}

// What the counter window does with a member reply, up to the labels.
void loadmember(const JsonValue& object)
{
    Member member;
    try {
        const QString cardnumber = gettext(object, QStringLiteral("cardnumber"));
        const QString points = gettext(object, QStringLiteral("nbPoint"));
        const QString id = gettext(object, QStringLiteral("id"));
        member.fromjson(object);
        FUZZ_CHECK(member.Getcardnumber() == cardnumber && member.Getid() == id);
        (void)points;
    } catch (const QuilbaError& e) {
        FUZZ_CHECK(isgetterfailure(e.message()) ||
                   e.message().startsWith(QStringLiteral("Un membre ne peut")));
        return;
    }
    FUZZ_CHECK(member.Getnbenfants() >= 0 && member.Getnbenfants() <= Member::maxenfants);
    (void)Lookup::nameline(member);
    (void)Lookup::addressline(member);
    QString dateupdate;
    if (trygettext(object, QStringLiteral("dateUpdate"), dateupdate))
        (void)frdate(dateupdate);
    if (const JsonValue* events = object.find("event"))
        (void)events->tojson();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkrequest(QString::fromUtf8(bytes));

    const Lookup::Reply reply = Lookup::readreply(bytes);
    switch (reply.kind) {
    case Lookup::Reply::Kind::List: {
        static const std::unique_ptr<MemoryTable> listeMembre(DataModule::createlisteMembre(nullptr));
        listeMembre->clear();
        for (const QStringList& row : reply.rows) {
            FUZZ_CHECK(row.size() == 8);
            listeMembre->appendrow(QVariantList(row.begin(), row.end()));
        }
        FUZZ_CHECK(listeMembre->rowCount() == static_cast<int>(reply.rows.size()));
        listeMembre->clear();
        break;
    }
    case Lookup::Reply::Kind::Member:
        loadmember(reply.member);
        break;
    case Lookup::Reply::Kind::Refusal:
        FUZZ_CHECK(reply.message == QStringLiteral("Client inconnu") ||
                   reply.message.startsWith(QStringLiteral("Erreur :")));
        break;
    case Lookup::Reply::Kind::Invalid:
        FUZZ_CHECK(!reply.message.isEmpty());
        break;
    case Lookup::Reply::Kind::Other:
        break;
    }
    return 0;
}
