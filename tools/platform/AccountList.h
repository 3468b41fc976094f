#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A pharmacy's access to the API: the three credentials and the pharmacy (group) it works for.
struct Account
{
    std::string apikey;
    std::string login;
    std::string password;
    std::string group; // idExternal of the pharmacy, the counter's "idpharma"
    std::string name;  // the pharmacy's name, shown on the operator page
};

// The configured accounts and the check of the "Authorization" header.
class AccountList final
{
public:
    // "apikey,login,password,idpharma[,name]"; nullopt when a part is missing.
    static std::optional<Account> parse(std::string_view text);
    // The two pharmacies of the demo data.
    static std::vector<Account> demoAccounts();
    // "Basic " and the Base64 of apikey ";" login ":" password, one byte per character (ISO-8859-1).
    static std::string authorizationFor(const Account& account);

    void add(Account account);
    const std::vector<Account>& accounts() const { return m_accounts; }
    // The account whose credentials the header carries, or nullptr.
    const Account* authenticate(std::string_view authorization) const;
    const Account* byGroup(std::string_view group) const;

    // Refuses (ApiError) a request that names a group other than the account's; no group is the account's.
    static void requireGroup(const Account& account, const std::optional<std::string>& group);

private:
    std::vector<Account> m_accounts;
};
