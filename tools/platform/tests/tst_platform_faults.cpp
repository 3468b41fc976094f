// The fault controls: what a client sees when the platform is slow, cut short, wrong or silent.
#include "CounterRequests.h"
#include "PlatformHarness.h"
#include "RawHttp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Faults : public testing::Test
{
protected:
    void SetUp() override
    {
        member = p.createMember("1000001", "DUPONT", "Marie");
        lookup = counter::formEncode(counter::lookupByCard("G1", "1000001"));
        normalReply = p.post(counter::lookupByCard("G1", "1000001")).body;
    }

    int admin(const std::string& method, const std::string& path, const std::string& body = "")
    {
        auto client = p.client();
        httplib::Result result = method == "POST"     ? client->Post(path.c_str(), body, "application/json")
                                 : method == "DELETE" ? client->Delete(path.c_str())
                                                      : client->Get(path.c_str());
        return result ? result->status : -1;
    }

    void fault(const std::string& json) { ASSERT_EQ(admin("POST", "/_admin/faults", json), 200) << json; }

    std::string request(const std::string& body) const
    {
        return "POST /apiv1/webapi.do HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " +
               AccountList::authorizationFor(PlatformHarness::account()) +
               "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
    }

    std::optional<RawHttp::Response> send(const std::string& body, std::optional<size_t> limit = std::nullopt)
    {
        raw = std::make_unique<RawHttp>(p.port());
        raw->send(request(body));
        return raw->readResponse(limit);
    }

    PlatformHarness p;
    std::unique_ptr<RawHttp> raw;
    long long member = 0;
    std::string lookup;
    std::string normalReply;
};

TEST_F(Faults, DelayedReplyArrivesWhole)
{
    fault(R"({"action":"delay","delay_ms":"200"})");
    const auto reply = send(lookup);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, normalReply);
    auto client = p.client();
    EXPECT_EQ(client->Get("/_admin/faults")->body, R"({"faults":[]})"); // used up
}

TEST_F(Faults, ConnectionClosedWithoutReply)
{
    const std::string sale = counter::sale(std::to_string(member), "G1", "10");
    // By default the request never reaches the platform; with "process" it does, and only the reply is lost.
    fault(R"({"action":"close"})");
    raw = std::make_unique<RawHttp>(p.port());
    raw->send("PUT /apiv1/webapi.do HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " +
              AccountList::authorizationFor(PlatformHarness::account()) +
              "\r\nContent-Length: " + std::to_string(sale.size()) + "\r\n\r\n" + sale);
    EXPECT_FALSE(raw->readResponse().has_value());
    EXPECT_EQ(p.points(member), 0);

    fault(R"({"action":"close","process":true})");
    raw = std::make_unique<RawHttp>(p.port());
    raw->send("PUT /apiv1/webapi.do HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " +
              AccountList::authorizationFor(PlatformHarness::account()) +
              "\r\nContent-Length: " + std::to_string(sale.size()) + "\r\n\r\n" + sale);
    EXPECT_FALSE(raw->readResponse().has_value());
    EXPECT_EQ(p.points(member), 10);
}

TEST_F(Faults, GivenStatusLineHeadersAndBody)
{
    struct Case
    {
        std::string json;
        std::string statusLine;
        std::string header;
        std::string headerValue;
        std::string body;
    };
    const std::vector<Case> cases = {
        {R"({"action":"status","status_line":"HTTP/1.1 500 Internal Server Error","body":"panne"})",
         "HTTP/1.1 500 Internal Server Error", "Connection", "close", "panne"},
        {R"({"action":"status","status_line":"HTTP/1.1 503 Plateforme en maintenance","content_type":"text/html","body":"<p>Revenez</p>"})",
         "HTTP/1.1 503 Plateforme en maintenance", "Content-Type", "text/html", "<p>Revenez</p>"},
        {R"({"action":"status","status_line":"HTTP/1.1 302 Found","headers":{"Location":"http://127.0.0.1:9/ailleurs"}})",
         "HTTP/1.1 302 Found", "Location", "http://127.0.0.1:9/ailleurs", ""},
        {R"({"action":"status","status_line":"HTTP/1.0 401 Unauthorized","headers":{"WWW-Authenticate":"Basic realm=\"x\""},"body":"non"})",
         "HTTP/1.0 401 Unauthorized", "WWW-Authenticate", "Basic realm=\"x\"", "non"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        fault(c.json);
        const auto reply = send(lookup);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->statusLine, c.statusLine);
        EXPECT_EQ(reply->header(c.header), c.headerValue);
        EXPECT_EQ(reply->body, c.body);
        EXPECT_EQ(raw->readToEnd(), "");
    }
}

TEST_F(Faults, GivenReplyBodies)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"action":"body","preset":"malformed_json"})",
         R"({"FidelityMember":{"id":1001,"cardnumber":"1010001","name":"DUP)"},
        {R"({"action":"body","preset":"empty_array"})", "[]"},
        {R"({"action":"body","preset":"empty_object"})", "{}"},
        {R"({"action":"body","preset":"invalid_utf8"})",
         "{\"ApiReturn\":{\"code\":\"OK\",\"message\":\"\xC3\x28\xA0\xFF\xFE\",\"id\":1}}"},
        {R"({"action":"body","body":"{\"list\":[]}"})", R"({"list":[]})"},
        {R"({"action":"body","body_base64":"77u/e30="})", "\xEF\xBB\xBF{}"},
    };
    for (const auto& [json, body] : cases) {
        SCOPED_TRACE(json);
        fault(json);
        const auto reply = send(lookup);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->statusLine, "HTTP/1.1 200 OK");
        EXPECT_EQ(reply->body, body);
        EXPECT_TRUE(reply->complete);
    }
}

TEST_F(Faults, HugeReply)
{
    fault(R"({"action":"body","preset":"huge"})");
    const auto reply = send(lookup);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->header("Content-Length"), "52428800");
    ASSERT_EQ(reply->body.size(), 52428800u);
    EXPECT_EQ(reply->body.rfind(R"({"ApiReturn":{"code":"OK","message":"xxx)", 0), 0u);
    EXPECT_EQ(reply->body.substr(reply->body.size() - 6), R"(xxx"}})");

    fault(R"({"action":"body","preset":"huge","size":"1000"})");
    EXPECT_EQ(send(lookup)->body.size(), 1000u);
}

TEST_F(Faults, StalledReplyStopsMidBody)
{
    fault(R"({"action":"stall","stall_after":"10"})");
    const auto partial = send(lookup, 10);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(partial->header("Content-Length"), std::to_string(normalReply.size()));
    EXPECT_EQ(partial->body, normalReply.substr(0, 10));
    // Released, the platform closes the connection without the rest of the body.
    ASSERT_EQ(admin("POST", "/_admin/release"), 200);
    EXPECT_EQ(raw->readToEnd(), "");

    // With "finish" the rest comes after the silence: a slow but complete reply.
    fault(R"({"action":"stall","finish":true})");
    const auto head = send(lookup, normalReply.size() / 2);
    ASSERT_TRUE(head);
    ASSERT_EQ(admin("POST", "/_admin/release"), 200);
    EXPECT_EQ(head->body + raw->readToEnd(), normalReply);
}

TEST_F(Faults, FaultsCountRequestsOnTheirPath)
{
    fault(
        R"({"action":"status","status_line":"HTTP/1.1 503 Service Unavailable","path":"/updatequilba/","count":2})");
    auto client = p.client();
    EXPECT_EQ(send(lookup)->body, normalReply);
    EXPECT_EQ(client->Get("/updatequilba/version.html")->status, 503);
    EXPECT_EQ(client->Get("/updatequilba/setup.exe")->status, 503);
    EXPECT_EQ(client->Get("/updatequilba/version.html")->body, "1.4");

    fault(R"({"action":"close","count":5})");
    EXPECT_EQ(admin("DELETE", "/_admin/faults"), 200);
    EXPECT_EQ(send(lookup)->body, normalReply);
}

TEST_F(Faults, UnreadableFaultsAreRefused)
{
    for (const char* json : {R"({"action":"explode"})", R"({"action":"body","preset":"nothing"})",
                             R"({"action":"close","count":"0"})", R"({"action":"delay","delay_ms":"soon"})",
                             R"({"action":"body","body_base64":"!!"})", R"({"action":)"})
        EXPECT_EQ(admin("POST", "/_admin/faults", json), 400) << json;
    EXPECT_EQ(p.client()->Get("/_admin/faults")->body, R"({"faults":[]})");
}

} // namespace
