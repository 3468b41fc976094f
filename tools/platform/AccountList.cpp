#include "AccountList.h"

#include "ApiError.h"
#include "Encoding.h"

#include <cctype>

namespace {

std::string credentials(const Account& account)
{
    return encoding::utf8ToLatin1(account.apikey + ";" + account.login + ":" + account.password);
}

} // namespace

std::optional<Account> AccountList::parse(std::string_view text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.emplace_back(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() < 4 || parts.size() > 5 || parts[0].empty() || parts[3].empty())
        return std::nullopt;
    return Account{parts[0], parts[1], parts[2], parts[3],
                   parts.size() == 5 ? parts[4] : "Pharmacie " + parts[3]};
}

std::vector<Account> AccountList::demoAccounts()
{
    return {Account{"QUILBA-DEMO-CENTRE", "centre", "centre2024", "101", "Pharmacie du Centre"},
            Account{"QUILBA-DEMO-GARE", "gare", "gare2024", "102", "Pharmacie de la Gare"}};
}

std::string AccountList::authorizationFor(const Account& account)
{
    return "Basic " + encoding::base64Encode(credentials(account));
}

void AccountList::add(Account account)
{
    m_accounts.push_back(std::move(account));
}

const Account* AccountList::authenticate(std::string_view authorization) const
{
    // The scheme name is case-insensitive; the credentials are compared byte for byte.
    constexpr std::string_view kScheme = "basic ";
    if (authorization.size() < kScheme.size())
        return nullptr;
    for (size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(authorization[i])) != kScheme[i])
            return nullptr;
    }
    std::string_view token = authorization.substr(kScheme.size());
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    const auto decoded = encoding::base64Decode(token);
    if (!decoded)
        return nullptr;
    for (const Account& account : m_accounts) {
        if (credentials(account) == *decoded)
            return &account;
    }
    return nullptr;
}

const Account* AccountList::byGroup(std::string_view group) const
{
    for (const Account& account : m_accounts) {
        if (account.group == group)
            return &account;
    }
    return nullptr;
}

void AccountList::requireGroup(const Account& account, const std::optional<std::string>& group)
{
    if (group && *group != account.group)
        throw ApiError(ApiError::kGroupRefused, "Groupe " + *group + " non autorisé pour ce compte");
}
