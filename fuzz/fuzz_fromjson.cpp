// Loading a member record from a FidelityMember object: it either loads or stops with the
// getters' French failure, and a loaded record writes member and children requests that are
// JSON documents carrying the values it holds.
#include "FuzzCheck.h"

#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "members/Member.h"

#include <cstdint>

namespace {

QString textat(const JsonValue& object, const char* key)
{
    const JsonValue* v = object.find(key);
    FUZZ_CHECK(v && v->isString());
    return v->text();
}

// "{" + a request object + "}" is one JSON document whose single member is `name`.
JsonValue request(const QString& object, const char* name)
{
    const std::optional<JsonValue> doc = parsejson((u'{' + object + u'}').toUtf8());
    FUZZ_CHECK(doc && doc->members().size() == 1);
    const JsonValue* inner = doc->find(name);
    FUZZ_CHECK(inner && inner->isObject());
    return *inner;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<JsonValue> parsed = parsejson(bytes);
    if (!parsed)
        return 0;
    // The lookup hands over the value under "FidelityMember" when there is one, else try the
    // document itself.
    const JsonValue* found = parsed->find("FidelityMember");
    const JsonValue& object = found ? *found : *parsed;

    Member member;
    try {
        member.fromjson(object);
    } catch (const QuilbaError& e) {
        FUZZ_CHECK(isgetterfailure(e.message()) ||
                   e.message().startsWith(QStringLiteral("Un membre ne peut")));
        FUZZ_CHECK(member.Getnbenfants() >= 0 && member.Getnbenfants() <= Member::maxenfants);
        return 0;
    }
    FUZZ_CHECK(member.Getnbenfants() >= 0 && member.Getnbenfants() <= Member::maxenfants);

    // Loading flags every field that changed from empty: the update request carries them.
    const JsonValue sent = request(member.tostrjson(SaveMode::Update), "FidelityMember");
    FUZZ_CHECK(textat(sent, "id") == member.Getid());
    if (!member.Getnom().isEmpty())
        FUZZ_CHECK(textat(sent, "name") == member.Getnom());
    if (!member.Getprenom().isEmpty())
        FUZZ_CHECK(textat(sent, "firstname") == member.Getprenom());
    if (!member.Getemail().isEmpty())
        FUZZ_CHECK(textat(sent, "email") == member.Getemail());
    FUZZ_CHECK(member.Getcardnumber().isEmpty() || textat(sent, "cardnumber") == member.Getcardnumber());
    const JsonValue* criteria = sent.find("criteria");
    FUZZ_CHECK(criteria && criteria->isObject() && criteria->members().size() == 5);

    for (int n = 1; n <= member.Getnbenfants(); ++n) {
        const JsonValue child = request(member.tostrjsonenfant(n), "FidelityMemberChild");
        FUZZ_CHECK(textat(child, "firstname") == member.prnenfant(n));
        FUZZ_CHECK(textat(child, "sex") == member.sexeenfant(n));
    }
    return 0;
}
