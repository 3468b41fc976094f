#include "counter/Sale.h"

#include "api/HttpClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/ReplyBuffer.h"
#include "data/NumberText.h"

using namespace Qt::StringLiterals;

namespace Sale {

namespace {

// A number of a line on the wire: the general format with a point; empty for no value.
QString wirenumber(const std::optional<double>& value)
{
    if (!value)
        return {};
    return generalformat(*value).replace(u',', u'.');
}

QString wireinteger(const std::optional<qint64>& value)
{
    return value ? QString::number(*value) : QString();
}

QString linetext(const SaleLine& line)
{
    const QString code = jsonescape(line.code);
    return uR"({"AdEventDetail":{"detailType":"I","class1":"produit )"_s + code + uR"(","class10":")"_s +
           code + uR"(","quantity":")"_s + wireinteger(line.quantity) + uR"(","unitValue":")"_s +
           wirenumber(line.unitprice) + uR"(","finalvalue":")"_s + wirenumber(line.total) + uR"("}})"_s;
}

QString unquoted(QString text)
{
    return jsonescape(text.remove(u'"'));
}

} // namespace

bool isempty(const QString& amount)
{
    return amount.isEmpty() || amount == u"0"_s;
}

Check checkamount(const QString& amount)
{
    if (isempty(amount))
        return Check::Invalid;
    const std::optional<double> value = readfloat(amount);
    if (!value)
        return Check::Incorrect;
    if (*value == 0.0)
        return Check::Invalid;
    return *value >= 100.0 ? Check::Confirm : Check::Ok;
}

QString amountfromlines(const std::vector<SaleLine>& stored)
{
    const std::optional<double> sum = sumoftotals(stored);
    return sum ? generalformat(*sum) : u"0"_s;
}

std::optional<QString> addten(const QString& amount)
{
    if (amount.isEmpty())
        return amount;
    const std::optional<double> value = readfloat(amount);
    if (!value)
        return std::nullopt;
    return generalformat(*value + 10.0);
}

QString requesttext(const Request& request)
{
    const QString member =
        isjsonnumber(request.memberid) ? request.memberid : u"\""_s + jsonescape(request.memberid) + u"\""_s;
    QString text = uR"(json_data={"AdEvent":{"type":"addCA", "member":{"id":)"_s + member +
                   uR"(},"group":{"loadFromKeys":{"idExternal":")"_s + jsonescape(request.idpharma) +
                   uR"(" }},)"_s;
    if (!request.seller.isEmpty())
        text += uR"("sparam":")"_s + unquoted(request.seller) + uR"(",)"_s;
    if (!request.number.isEmpty())
        text += uR"("idExternal":")"_s + unquoted(request.number) + uR"(",)"_s;
    QString amount = request.amount;
    text += uR"("fvalue":")"_s + jsonescape(amount.replace(u',', u'.')) + u"\""_s;
    if (!request.lines.empty()) {
        QStringList details;
        for (const SaleLine& line : request.lines)
            details.append(linetext(line));
        text += uR"(,"details":[)"_s + details.join(u',') + u"]"_s;
    }
    return text + u"}}"_s;
}

QString invalidmessage()
{
    return u"Montant invalide"_s;
}

QString incorrectmessage()
{
    return u"Total vente n'est pas correct - Veuillez le resaisir"_s;
}

QString confirmmessage()
{
    return u"Valider la saisie du montant supérieur à 100€"_s;
}

QString conversionmessage(const QString& text)
{
    return u"'%1' n'est pas une valeur en virgule flottante correcte"_s.arg(text);
}

QString notsentmessage()
{
    return u"La vente n'a pas pu être envoyée à la plateforme. La saisie est conservée : "
           "vérifiez la connexion puis validez la vente à nouveau."_s;
}

QString refusedmessage(const QString& errormessage)
{
    QString text = u"La vente a été refusée par la plateforme"_s;
    if (!errormessage.isEmpty())
        text += u" : "_s + errormessage;
    return text + u". La saisie est conservée."_s;
}

QString unconfirmedmessage()
{
    return u"La plateforme n'a pas confirmé la vente : elle a pu être enregistrée ou non. La saisie "
           "est conservée : cliquez sur Actualiser pour voir les points du client avant de valider "
           "la vente à nouveau."_s;
}

QString confirmingmessage()
{
    return u"La plateforme n'a pas encore confirmé la vente : elle est notée « à confirmer » et ne sera pas "
           "envoyée une seconde fois. Son enregistrement est vérifié à chaque actualisation du client et en "
           "arrière-plan ; la saisie est conservée jusque-là."_s;
}

QString pendingmessage()
{
    return u"La vente précédente de ce client attend encore la confirmation de la plateforme : la vente "
           "n'est pas envoyée, pour ne pas la compter deux fois. Cliquez sur Actualiser dans un moment pour "
           "savoir si elle a été enregistrée."_s;
}

QString deniedmessage(int status)
{
    return u"La vente n'a pas été enregistrée : l'accès a été refusé (HTTP %1). La saisie est "
           "conservée : vérifiez les paramètres de connexion puis validez la vente à nouveau."_s.arg(status);
}

QString keepquestion()
{
    return u"La plateforme est injoignable. Garder la vente et l'envoyer dès qu'elle répondra ?"_s;
}

QString nomembermessage()
{
    return u"Aucun client n'est affiché : la vente n'a pas été envoyée."_s;
}

QString amountchangedmessage(const QString& amount)
{
    return u"La ligne en cours de saisie a été enregistrée : le total de la vente est maintenant de "
           "%1 euros. Vérifiez-le puis validez la vente à nouveau."_s.arg(amount.isEmpty() ? u"0"_s : amount);
}

QString unreadablemessage(int row, const QString& field, const QString& why)
{
    return u"Ligne %1, colonne « %2 » : %3. Corrigez la valeur."_s.arg(row + 1).arg(field, why);
}

QString cancelquestion()
{
    return u"Annuler la saisie en cours"_s;
}

} // namespace Sale
