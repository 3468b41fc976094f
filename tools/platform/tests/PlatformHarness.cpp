#include "PlatformHarness.h"

#include "CounterRequests.h"
#include "DemoData.h"

#include <stdexcept>

namespace {

ApiReply toReply(const httplib::Result& result)
{
    if (!result)
        throw std::runtime_error("request failed: " + httplib::to_string(result.error()));
    ApiReply reply;
    reply.status = result->status;
    reply.body = result->body;
    reply.json.Parse<rapidjson::kParseNumbersAsStringsFlag>(reply.body.c_str(), reply.body.size());
    return reply;
}

httplib::Headers headersFor(const Account& who)
{
    return {{"Authorization", AccountList::authorizationFor(who)}};
}

} // namespace

std::string ApiReply::kind() const
{
    if (!json.IsObject() || json.MemberCount() == 0)
        return {};
    return json.MemberBegin()->name.GetString();
}

const rapidjson::Value& ApiReply::value() const
{
    static const rapidjson::Value null;
    if (!json.IsObject() || json.MemberCount() == 0)
        return null;
    return json.MemberBegin()->value;
}

std::string ApiReply::text(const char* key) const
{
    const rapidjson::Value& v = value();
    if (!v.IsObject() || !v.HasMember(key))
        return {};
    const rapidjson::Value& m = v[key];
    if (m.IsString())
        return m.GetString();
    if (m.IsBool())
        return m.GetBool() ? "true" : "false";
    return {};
}

PlatformHarness::PlatformHarness() : PlatformHarness(Options{}) {}

PlatformHarness::PlatformHarness(Options options) : m_store(std::make_unique<Store>(":memory:"))
{
    m_clock.setFixed(std::string(kNow));
    m_accounts.add(account());
    m_accounts.add(otherAccount());
    if (options.seed) {
        for (const auto& demo : AccountList::demoAccounts())
            m_accounts.add(demo);
        DemoData::seed(*m_store, m_clock);
    }
    PlatformServer::Config config;
    config.tlsCert = options.tlsCert;
    config.tlsKey = options.tlsKey;
    config.setup = options.setup;
    config.updateVersion = options.updateVersion;
    config.repository = options.repository;
    config.admin = options.admin;
    m_server = std::make_unique<PlatformServer>(*m_store, m_clock, m_accounts, config);
    m_port = m_server->bindPort();
    m_thread = std::thread([this] { m_server->run(); });
    m_server->waitUntilRunning();
}

PlatformHarness::~PlatformHarness()
{
    m_server->shutdown();
    m_thread.join();
}

const Account& PlatformHarness::account()
{
    static const Account a{"KEY-G1", "login1", "secret1", "G1", "Pharmacie G1"};
    return a;
}

const Account& PlatformHarness::otherAccount()
{
    static const Account a{"KEY-G2", "login2", "secret2", "G2", "Pharmacie G2"};
    return a;
}

std::unique_ptr<httplib::Client> PlatformHarness::client() const
{
    const std::string scheme = m_server->isTls() ? "https://" : "http://";
    auto c = std::make_unique<httplib::Client>(scheme + "127.0.0.1:" + std::to_string(m_port));
    c->enable_server_certificate_verification(false);
    c->set_read_timeout(30, 0);
    c->set_tcp_nodelay(true);
    return c;
}

ApiReply PlatformHarness::put(const std::string& text, const Account& who) const
{
    return toReply(client()->Put("/apiv1/webapi.do", headersFor(who), text, ""));
}

ApiReply PlatformHarness::post(const std::string& line, const Account& who) const
{
    return toReply(client()->Post("/apiv1/webapi.do", headersFor(who), counter::formEncode(line),
                                  "application/x-www-form-urlencoded"));
}

long long PlatformHarness::createMember(const std::string& card, const std::string& name,
                                        const std::string& firstname, const Account& who) const
{
    const ApiReply reply = put(R"(json_data={"FidelityMember" : {"name":")" + name + R"(","firstname":")" +
                                   firstname + R"(","cardnumber":")" + card +
                                   R"(","criteria":{"cn1":"0","cn2":"0","cn3":"0","cn4":"0","cn5":"0"}}})",
                               who);
    if (!reply.ok())
        throw std::runtime_error("member not created: " + reply.body);
    return std::stoll(reply.text("id"));
}

long long PlatformHarness::points(long long memberId)
{
    Store::Transaction transaction(*m_store);
    return m_store->member(memberId)->points;
}
