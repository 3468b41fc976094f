#include "members/MemberWrites.h"

#include "api/ReplyBuffer.h"
#include "members/Lookup.h"

#include <QSet>
#include <string_view>

using namespace Qt::StringLiterals;

namespace MemberWrites {

namespace {

std::string_view key(QByteArrayView name)
{
    return {name.data(), std::size_t(name.size())};
}

// A value as the record's text: a string's text, a number's lexeme, "true" or "false"; empty for
// a missing value or null.
QString textof(const JsonValue* value)
{
    if (!value)
        return {};
    switch (value->kind()) {
    case JsonValue::Kind::String:
        return value->text();
    case JsonValue::Kind::Number:
        return QString::fromUtf8(value->view());
    case JsonValue::Kind::Bool:
        return value->boolValue() ? u"true"_s : u"false"_s;
    case JsonValue::Kind::Null:
    case JsonValue::Kind::Array:
    case JsonValue::Kind::Object:
        break;
    }
    return {};
}

QString textat(const JsonValue& object, std::string_view name)
{
    return object.isObject() ? textof(object.find(name)) : QString();
}

// A criterion holds the number sent, whatever its writing ("1", 1, 1.0).
bool samenumber(const QString& sent, const JsonValue* held)
{
    bool sentok = false;
    bool heldok = false;
    const double a = sent.toDouble(&sentok);
    const QString text = textof(held);
    const double b = text.isEmpty() ? 0 : text.toDouble(&heldok);
    return sentok && (heldok || text.isEmpty()) && a == b;
}

// Every value of `sent` but its "id" is held by `held`: texts as they are, opt-ins as truth
// values, criteria as numbers, the address part by part.
bool holds(const JsonValue& held, const JsonValue& sent)
{
    for (const auto& [name, value] : sent.members()) {
        const std::string_view k = key(name);
        if (k == "id")
            continue;
        const JsonValue* found = held.isObject() ? held.find(k) : nullptr;
        if (k == "criteria" || k == "address") {
            const JsonValue none;
            const JsonValue& part = found && found->isObject() ? *found : none;
            for (const auto& [inner, sentpart] : value.members()) {
                const JsonValue* heldvalue = part.isObject() ? part.find(key(inner)) : nullptr;
                const bool same = k == "criteria" ? samenumber(textof(&sentpart), heldvalue)
                                                  : textof(&sentpart) == textof(heldvalue);
                if (!same)
                    return false;
            }
            continue;
        }
        if (k == "emailoptin" || k == "smsoptin") {
            // A member without that opt-in has not given it.
            const QString heldtext = textof(found);
            if ((textof(&value) == u"true"_s) != (heldtext == u"true"_s))
                return false;
            continue;
        }
        if (textof(&value) != textof(found))
            return false;
    }
    return true;
}

// The children of a member object: an array, one child under "FidelityMemberChild", or none.
std::vector<JsonValue> childrenof(const JsonValue& member)
{
    std::vector<JsonValue> children;
    const JsonValue* value = member.isObject() ? member.find("children") : nullptr;
    if (!value)
        return children;
    if (value->isArray()) {
        for (const JsonValue& child : value->items()) {
            if (child.isObject())
                children.push_back(child);
        }
    } else if (value->isObject()) {
        const JsonValue* child = value->find("FidelityMemberChild");
        if (child && child->isObject())
            children.push_back(*child);
    }
    return children;
}

// Who the write is about, as the pharmacist knows the customer.
QString who(const KeptSale& write)
{
    return write.membername.isEmpty() ? write.cardnumber : write.membername;
}

// What the write is, as the subject of a sentence (without its capital).
QString subject(const KeptSale& write)
{
    const QString firstname = textat(sentobject(write), "firstname");
    switch (write.kind) {
    case KeptSale::Kind::MemberCreate:
        return u"l'adhésion de %1 (carte %2)"_s.arg(who(write), write.cardnumber);
    case KeptSale::Kind::MemberUpdate:
        return u"la modification de la fiche de %1"_s.arg(who(write));
    case KeptSale::Kind::ChildCreate:
        return u"l'inscription de l'enfant %1 sur la fiche de %2"_s.arg(firstname, who(write));
    case KeptSale::Kind::ChildUpdate:
        return u"la modification de l'enfant %1 sur la fiche de %2"_s.arg(firstname, who(write));
    case KeptSale::Kind::Kept:
    case KeptSale::Kind::Sale:
    case KeptSale::Kind::Coupon:
        break;
    }
    return u"l'envoi"_s;
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

// Found: the write is in the record. Otherwise its absence is proof only in a record asked once the
// platform could no longer be processing it.
Judged absent(const KeptSale& write, const QDateTime& asked)
{
    Judged judged;
    if (!write.settleAfter.isValid() || (asked.isValid() && asked >= write.settleAfter))
        judged.state = WriteResult::State::NotRecorded;
    return judged;
}

} // namespace

bool ismember(KeptSale::Kind kind)
{
    switch (kind) {
    case KeptSale::Kind::MemberCreate:
    case KeptSale::Kind::MemberUpdate:
    case KeptSale::Kind::ChildCreate:
    case KeptSale::Kind::ChildUpdate:
        return true;
    case KeptSale::Kind::Kept:
    case KeptSale::Kind::Sale:
    case KeptSale::Kind::Coupon:
        break;
    }
    return false;
}

QString lookupline(const KeptSale& write, const QString& idpharma)
{
    if (write.kind == KeptSale::Kind::MemberCreate)
        return Lookup::cardline(write.cardnumber, idpharma);
    return Lookup::requestline(u"ID="_s + write.memberid, idpharma);
}

Record readrecord(const KeptSale& write, const HttpReply& reply, const QDateTime& asked)
{
    Record record;
    record.asked = asked;
    if (!reply.ok)
        return record;
    const Lookup::Reply read = Lookup::readreply(ReplyBuffer::normalised(reply.body));
    const bool bycard = write.kind == KeptSale::Kind::MemberCreate;
    switch (read.kind) {
    case Lookup::Reply::Kind::Member:
        return found(read.member, asked);
    case Lookup::Reply::Kind::List:
        // By card, the member holding exactly that card; by id, that member.
        for (const JsonValue& element : read.list.items()) {
            if (bycard ? textat(element, "cardnumber") == write.cardnumber
                       : textat(element, "id") == write.memberid)
                return found(element, asked);
        }
        if (bycard)
            record.kind = Record::Kind::Absent;
        break;
    case Lookup::Reply::Kind::Refusal:
        // Unknown member: nobody holds the card, or the member is not there.
        if (read.errorcode == u"3008"_s)
            record.kind = Record::Kind::Absent;
        break;
    case Lookup::Reply::Kind::Other:
    case Lookup::Reply::Kind::Invalid:
        break;
    }
    return record;
}

Record found(const JsonValue& member, const QDateTime& asked)
{
    return {Record::Kind::Found, member, asked};
}

JsonValue sentobject(const KeptSale& write)
{
    QByteArray text = write.request;
    if (text.startsWith("json_data="))
        text.remove(0, 10);
    const std::optional<JsonValue> document = parsejson(text);
    if (!document || !document->isObject() || document->members().empty())
        return JsonValue::object();
    const JsonValue& object = document->members().front().second;
    return object.isObject() ? object : JsonValue::object();
}

Judged judge(const KeptSale& write, const Record& record)
{
    if (record.kind == Record::Kind::Unknown)
        return {};
    if (record.kind == Record::Kind::Absent)
        return absent(write, record.asked);
    const JsonValue sent = sentobject(write);
    const JsonValue& member = record.member;
    switch (write.kind) {
    case KeptSale::Kind::MemberCreate:
        if (textat(member, "cardnumber") == write.cardnumber &&
            textat(member, "name") == textat(sent, "name") &&
            textat(member, "firstname") == textat(sent, "firstname"))
            return {WriteResult::State::Recorded, textat(member, "id")};
        break;
    case KeptSale::Kind::MemberUpdate:
        if (textat(member, "id") == write.memberid && holds(member, sent))
            return {WriteResult::State::Recorded, write.memberid};
        break;
    case KeptSale::Kind::ChildCreate: {
        if (textat(member, "id") != write.memberid)
            break;
        const QSet<QString> before = write.before.value_or(QSet<QString>());
        for (const JsonValue& child : childrenof(member)) {
            const QString id = textat(child, "id");
            if (before.contains(id))
                continue;
            if (textat(child, "firstname") == textat(sent, "firstname") &&
                textat(child, "sex") == textat(sent, "sex") &&
                textat(child, "birthday") == textat(sent, "birthday"))
                return {WriteResult::State::Recorded, id};
        }
        break;
    }
    case KeptSale::Kind::ChildUpdate: {
        if (textat(member, "id") != write.memberid)
            break;
        const QString id = textat(sent, "id");
        for (const JsonValue& child : childrenof(member)) {
            if (textat(child, "id") == id && holds(child, sent))
                return {WriteResult::State::Recorded, id};
        }
        break;
    }
    case KeptSale::Kind::Kept:
    case KeptSale::Kind::Sale:
    case KeptSale::Kind::Coupon:
        return {};
    }
    return absent(write, record.asked);
}

QString recordedmessage(const KeptSale& write)
{
    return capitalised(subject(write)) + u" a bien été enregistrée par la plateforme."_s;
}

QString notrecordedmessage(const KeptSale& write)
{
    return capitalised(subject(write)) + u" n'a pas été enregistrée par la plateforme."_s;
}

QString confirmingmessage(const KeptSale& write)
{
    return u"La plateforme n'a pas confirmé "_s + subject(write) +
           u" : rien ne sera envoyé à nouveau avant qu'elle ait été retrouvée, ou non, sur la fiche du "
           u"client, "
           u"pour ne pas l'enregistrer deux fois. Validez à nouveau dans quelques minutes."_s;
}

QString pendingmessage(const KeptSale& write)
{
    return capitalised(subject(write)) + u", envoyée plus tôt, n'est pas encore confirmée par la plateforme "
                                         u": rien n'est envoyé tant qu'elle "
                                         u"n'est pas vérifiée. Validez à nouveau dans quelques minutes."_s;
}

QString alreadyenrolledmessage(const QString& card)
{
    return u"Ce client est déjà inscrit avec la carte %1 : son adhésion avait été enregistrée. Sa fiche est "
           u"mise à jour avec ce formulaire."_s.arg(card);
}

} // namespace MemberWrites
