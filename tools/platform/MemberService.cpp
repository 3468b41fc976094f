#include "MemberService.h"

#include "ApiError.h"
#include "JsonRenderer.h"
#include "JsonText.h"

namespace {

// A text member of the request, which must be a scalar when present.
std::optional<std::string> textField(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = jsontext::find(object, key);
    if (value == nullptr)
        return std::nullopt;
    auto text = jsontext::text(*value);
    if (!text)
        throw ApiError(ApiError::kInvalidValue,
                       std::string("Valeur invalide pour ") + key + " : texte attendu");
    return text;
}

void assignText(const rapidjson::Value& object, const char* key, std::string& target)
{
    if (auto text = textField(object, key))
        target = std::move(*text);
}

void assignFlag(const rapidjson::Value& object, const char* key, bool& target)
{
    const rapidjson::Value* value = jsontext::find(object, key);
    if (value == nullptr)
        return;
    const auto flag = jsontext::flag(*value);
    if (!flag)
        throw ApiError(ApiError::kInvalidValue,
                       std::string("Valeur invalide pour ") + key + " : true ou false attendu");
    target = *flag;
}

void assignBirthday(const rapidjson::Value& object, std::string& target)
{
    auto text = textField(object, "birthday");
    if (!text)
        return;
    if (!text->empty() && !Clock::isDate(*text))
        throw ApiError(ApiError::kInvalidValue,
                       "Date de naissance invalide : " + *text + " (aaaa-mm-jj attendu)");
    target = std::move(*text);
}

void applyMemberFields(const rapidjson::Value& object, MemberRecord& m)
{
    assignText(object, "name", m.name);
    assignText(object, "firstname", m.firstname);
    assignText(object, "email", m.email);
    assignText(object, "gender", m.gender);
    assignText(object, "cardnumber", m.cardnumber);
    assignText(object, "tel", m.tel);
    assignText(object, "mobile", m.mobile);
    assignFlag(object, "emailoptin", m.emailoptin);
    assignFlag(object, "smsoptin", m.smsoptin);
    assignFlag(object, "actif", m.actif);
    assignBirthday(object, m.birthday);
    if (const rapidjson::Value* criteria = jsontext::find(object, "criteria")) {
        if (!criteria->IsObject())
            throw ApiError(ApiError::kInvalidValue, "Valeur invalide pour criteria : objet attendu");
        const char* keys[] = {"cn1", "cn2", "cn3", "cn4", "cn5"};
        for (size_t i = 0; i < 5; ++i) {
            auto text = textField(*criteria, keys[i]);
            if (!text)
                continue;
            if (!jsontext::isNumber(*text))
                throw ApiError(ApiError::kInvalidValue, std::string("Valeur invalide pour ") + keys[i] +
                                                            " : " + *text + " n'est pas un nombre");
            m.criteria[i] = std::move(*text);
        }
    }
    if (const rapidjson::Value* address = jsontext::find(object, "address")) {
        if (!address->IsObject())
            throw ApiError(ApiError::kInvalidValue, "Valeur invalide pour address : objet attendu");
        assignText(*address, "line1", m.line1);
        assignText(*address, "line2", m.line2);
        assignText(*address, "zip", m.zip);
        assignText(*address, "town", m.town);
    }
}

std::optional<bool> actifFilter(const rapidjson::Value& query)
{
    const rapidjson::Value* value = jsontext::find(query, "actif");
    if (value == nullptr)
        return std::nullopt;
    const auto flag = jsontext::flag(*value);
    if (!flag)
        throw ApiError(ApiError::kInvalidValue, "Valeur invalide pour actif : 1 ou 0 attendu");
    return flag;
}

} // namespace

MemberService::MemberService(Store& store, const Clock& clock) : m_store(store), m_clock(clock) {}

std::vector<MemberRecord> MemberService::find(const Account& account, const rapidjson::Value& query)
{
    AccountList::requireGroup(account, jsontext::groupAt(query));
    MemberQuery q;
    q.group = account.group;
    q.actif = actifFilter(query);
    if (auto id = textField(query, "id")) {
        const auto number = jsontext::identifier(*id);
        if (!number)
            throw ApiError(ApiError::kUnknown, "Adhérent inconnu : " + *id);
        q.id = number;
    } else if (auto card = textField(query, "cardnumber")) {
        q.cardnumber = std::move(card);
    } else if (auto name = textField(query, "name_starts_with")) {
        q.namePrefix = std::move(name);
        q.firstnamePrefix = textField(query, "firstname_starts_with");
    } else {
        throw ApiError(ApiError::kInvalidValue,
                       "Recherche sans critère : id, cardnumber ou name_starts_with attendu");
    }
    auto found = m_store.findMembers(q);
    if (found.empty())
        throw ApiError(ApiError::kUnknown, "Aucun adhérent ne correspond à la recherche");
    return found;
}

std::string MemberService::render(const MemberRecord& member)
{
    return JsonRenderer::member(member, m_store.children(member.id), m_store.events(member.id),
                                m_store.coupons(member.id));
}

MemberRecord MemberService::memberOfAccount(const Account& account, const std::string& idText)
{
    const auto id = jsontext::identifier(idText);
    auto member = id ? m_store.member(*id) : std::nullopt;
    if (!member || member->group != account.group)
        throw ApiError(ApiError::kUnknown, "Adhérent inconnu : " + idText);
    return *member;
}

long long MemberService::save(const Account& account, const rapidjson::Value& object)
{
    MemberRecord member;
    const auto idText = textField(object, "id");
    if (idText) {
        member = memberOfAccount(account, *idText);
    } else {
        member.group = account.group;
        member.created = m_clock.now();
    }
    applyMemberFields(object, member);
    if (!member.cardnumber.empty()) {
        const auto holder = m_store.memberByCard(member.cardnumber);
        if (holder && holder->id != member.id)
            throw ApiError(ApiError::kCardTaken, "Le numéro de carte " + member.cardnumber +
                                                     " est déjà attribué à un autre adhérent");
    }
    if (idText) {
        m_store.updateMember(member);
        return member.id;
    }
    return m_store.insertMember(member);
}

long long MemberService::saveChild(const Account& account, const rapidjson::Value& object)
{
    ChildRecord child;
    if (const auto idText = textField(object, "id")) {
        const auto id = jsontext::identifier(*idText);
        auto existing = id ? m_store.child(*id) : std::nullopt;
        const auto parent = existing ? m_store.member(existing->memberId) : std::nullopt;
        if (!existing || !parent || parent->group != account.group)
            throw ApiError(ApiError::kUnknown, "Enfant inconnu : " + *idText);
        child = *existing;
    } else {
        const auto parentId = jsontext::idAt(object, "parent");
        if (!parentId)
            throw ApiError(ApiError::kInvalidValue, "Enfant sans parent : parent.id attendu");
        child.memberId = memberOfAccount(account, *parentId).id;
    }
    assignText(object, "firstname", child.firstname);
    assignText(object, "sex", child.sex);
    assignBirthday(object, child.birthday);
    if (child.id != 0) {
        m_store.updateChild(child);
        return child.id;
    }
    return m_store.insertChild(child);
}
