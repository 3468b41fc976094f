#include "api/ApiReturn.h"

#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void badformat()
{
    throw QuilbaError(badformatmessage());
}

} // namespace

QString badformatmessage()
{
    return u"Erreur Format Réponse API"_s;
}

ApiReturn ApiReturn::fromtext(const QString& envelope)
{
    const std::optional<JsonValue> parsed = parsejson(envelope.toUtf8());
    if (!parsed || !parsed->isObject())
        badformat();
    ApiReturn r;
    trygettext(*parsed, u"code"_s, r.code);
    trygettext(*parsed, u"message"_s, r.message);
    trygettext(*parsed, u"errorMessage"_s, r.errorMessage);
    trygettext(*parsed, u"errorCode"_s, r.errorCode);
    trygettext(*parsed, u"id"_s, r.id);
    return r;
}

QString envelopemessage(const ApiReturn& envelope)
{
    if (envelope.errorCode == u"33"_s)
        return u"Erreur : Num Carte invalide, Veuillez taper un autre numéro"_s;
    if (envelope.errorCode == u"3008"_s)
        return u"Erreur : Impossible de mettre à jour la fiche, Quitter sans valider les modifications"_s;
    return u"Erreur : "_s % envelope.errorMessage;
}

QByteArray extractenvelope(const QByteArray& replybytes)
{
    const std::optional<JsonValue> parsed = parsejson(replybytes);
    if (!parsed || !parsed->isObject())
        badformat();
    const JsonValue* envelope = parsed->find("ApiReturn");
    if (!envelope)
        badformat();
    return envelope->tojson();
}
