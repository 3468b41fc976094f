#include "members/Lookup.h"

#include "api/CounterClient.h"
#include "api/JsonGetters.h"
#include "api/ReplyBuffer.h"
#include "data/NumberText.h"
#include "members/Member.h"
#include "members/QueryFailure.h"

using namespace Qt::StringLiterals;

namespace Lookup {

namespace {

QString text(const JsonValue& object, const QString& key)
{
    QString out;
    trygettext(object, key, out);
    return out;
}

QString joined(const QString& a, const QString& b, const QString& c)
{
    return a + u' ' + b + u' ' + c;
}

} // namespace

Plan plansearch(const QString& text, const QString& idpharma)
{
    Plan plan;
    if (text.isEmpty())
        return plan;
    if (!isnumeric(text) && text.size() < 3 && !text.contains(u'*')) {
        plan.action = Plan::Action::TooShort;
        return plan;
    }
    plan.action = Plan::Action::Send;
    plan.text = barcodecard(text);
    plan.line = requestline(plan.text, idpharma);
    return plan;
}

QString barcodecard(const QString& text)
{
    if (text.size() == 13 && text.startsWith(u"33"_s))
        return text.mid(5, 7);
    return text;
}

QString pharmacyfragment(const QString& idpharma)
{
    return u"\"group\":{\"idExternal\":\""_s + jsonescape(idpharma) + u"\" },"_s;
}

QString requestline(const QString& text, const QString& idpharma)
{
    const QString head = u"json_data={ \"FidelityMember\":{\"actif\":\"1\","_s + pharmacyfragment(idpharma);
    const QString tail = u"\"}}"_s;
    if (isnumeric(text))
        return cardline(text, idpharma);
    if (text.startsWith(u"ID="_s))
        return head + u"\"id\":\""_s + jsonescape(text.mid(3)) + tail;
    const qsizetype star = text.indexOf(u'*');
    if (star >= 0)
        return head + u"\"name_starts_with\":\""_s + jsonescape(text.left(star)) +
               u"\",\"firstname_starts_with\":\""_s + jsonescape(text.mid(star + 1)) + tail;
    return head + u"\"name_starts_with\":\""_s + jsonescape(text) + tail;
}

QString cardline(const QString& card, const QString& idpharma)
{
    return u"json_data={ \"FidelityMember\":{\"actif\":\"1\","_s + pharmacyfragment(idpharma) +
           u"\"cardnumber\":\""_s + jsonescape(card) + u"\"}}"_s;
}

Reply readreply(const QByteArray& bytes)
{
    Reply reply;
    const std::optional<JsonValue> document = parsejson(bytes);
    if (!document || !document->isObject()) {
        reply.kind = Reply::Kind::Invalid;
        reply.message = invalidreplymessage();
        return reply;
    }
    if (document->members().empty())
        return reply;
    const auto& [name, value] = document->members().front();
    if (name == "list") {
        if (!value.isArray()) {
            reply.kind = Reply::Kind::Invalid;
            reply.message = invalidreplymessage();
            return reply;
        }
        reply.kind = Reply::Kind::List;
        reply.list = value;
        reply.rows.reserve(value.items().size());
        for (const JsonValue& element : value.items())
            reply.rows.push_back(listrow(element));
    } else if (name == "FidelityMember") {
        reply.kind = Reply::Kind::Member;
        reply.member = value;
    } else if (name == "ApiReturn") {
        reply.kind = Reply::Kind::Refusal;
        reply.message = refusalmessage(value);
        reply.errorcode = text(value, u"errorCode"_s);
    }
    return reply;
}

QStringList listrow(const JsonValue& element)
{
    QStringList row{text(element, u"id"_s), text(element, u"cardnumber"_s), text(element, u"name"_s),
                    text(element, u"firstname"_s)};
    const JsonValue* address = element.isObject() ? element.find("address") : nullptr;
    const JsonValue none;
    const JsonValue& place = address ? *address : none;
    row << text(place, u"line1"_s) << text(place, u"zip"_s) << text(place, u"town"_s)
        << text(element, u"nbPoint"_s);
    return row;
}

QString refusalmessage(const JsonValue& apireturn)
{
    const QString errorcode = text(apireturn, u"errorCode"_s);
    if (errorcode == u"3008"_s)
        return u"Client inconnu"_s;
    return u"Erreur :"_s + errorcode + u' ' + text(apireturn, u"errorMessage"_s);
}

QString nameline(const Member& member)
{
    return joined(member.Getcivilite(), member.Getprenom(), member.Getnom());
}

QString addressline(const Member& member)
{
    return joined(member.Getadresse(), member.Getcp(), member.Getville());
}

QStringList failuremessages(const HttpReply& reply)
{
    // The proxy's own error page is not the platform's answer: it says the platform was not reached.
    if (reply.status == 0 || reply.proxyerror)
        return {reply.failure};
    const QString statusline = QString::fromUtf8(reply.statusline);
    // The proxy's page for refused credentials is in its own language, about its own business:
    // the pharmacist is told first, in French, what happened.
    if (reply.proxydenied)
        return {reply.failure, u"Erreur Accés Serveur Gestionnaire Fidélité : "_s +
                                   QString::number(reply.status) + u' ' + statusline};
    return {statusline + u' ' + QString::fromUtf8(reply.body) + u' ',
            u"Erreur Accés Serveur Gestionnaire Fidélité : "_s + QString::number(reply.status) + u' ' +
                statusline};
}

HttpReply post(CounterClient& client, const QString& line)
{
    HttpReply reply = client.postform(line);
    if (!reply.ok)
        throw QueryFailure(std::move(reply));
    return reply;
}

QString tooshortmessage()
{
    return u"Vous devez saisir plus de caracères"_s;
}

QString invalidreplymessage()
{
    return u"La réponse du serveur de fidélité n'est pas lisible : la recherche est abandonnée."_s;
}

} // namespace Lookup
