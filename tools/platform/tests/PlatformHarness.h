#pragma once

#include "AccountList.h"
#include "Clock.h"
#include "PlatformServer.h"
#include "Store.h"

#include <httplib.h>
#include <rapidjson/document.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

// A reply of the API, parsed.
struct ApiReply
{
    int status = 0;
    std::string body;
    rapidjson::Document json;

    // The name of the top object's first member ("ApiReturn", "list", "FidelityMember").
    std::string kind() const;
    const rapidjson::Value& value() const;
    // A member of value() as text (numbers as written), empty when absent.
    std::string text(const char* key) const;
    bool ok() const { return kind() == "ApiReturn" && text("code") == "OK"; }
};

// A platform served in-process on a free loopback port, with an in-memory store and a clock pinned to
// kNow. Requests go over real HTTP from 127.0.0.1.
class PlatformHarness final
{
public:
    static constexpr const char* kNow = "2024-03-15 10:00:00";

    struct Options
    {
        bool seed = false;
        bool admin = true;
        std::string tlsCert;
        std::string tlsKey;
        std::optional<std::string> setup;
        std::string updateVersion = "1.4";
        std::string repository; // folder served as /updatequilba/debian/
    };

    PlatformHarness();
    explicit PlatformHarness(Options options);
    ~PlatformHarness();

    static const Account& account();      // pharmacy "G1"
    static const Account& otherAccount(); // pharmacy "G2"

    int port() const { return m_port; }
    Store& store() { return *m_store; }
    Clock& clock() { return m_clock; }
    PlatformServer& server() { return *m_server; }
    std::unique_ptr<httplib::Client> client() const;

    // As the counter sends them: a PUT of the raw text, a POST of the form-encoded line.
    ApiReply put(const std::string& text, const Account& who = account()) const;
    ApiReply post(const std::string& line, const Account& who = account()) const;

    // A member created through the API; answers its id.
    long long createMember(const std::string& card, const std::string& name, const std::string& firstname,
                           const Account& who = account()) const;
    long long points(long long memberId);

private:
    Clock m_clock;
    std::unique_ptr<Store> m_store;
    AccountList m_accounts;
    std::unique_ptr<PlatformServer> m_server;
    std::thread m_thread;
    int m_port = 0;
};
