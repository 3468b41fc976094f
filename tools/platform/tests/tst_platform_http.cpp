// The transport side: credentials, HTTP/1.0 and 1.1 connections, the update location, the operator page,
// the journal of requests and HTTPS.
#include "CounterRequests.h"
#include "Encoding.h"
#include "PlatformHarness.h"
#include "RawHttp.h"
#include "TestCertificate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string authorization()
{
    return AccountList::authorizationFor(PlatformHarness::account());
}

rapidjson::Document journal(PlatformHarness& p, long long after = 0)
{
    auto client = p.client();
    const auto result = client->Get(("/_admin/journal?after=" + std::to_string(after)).c_str());
    rapidjson::Document doc;
    doc.Parse(result ? result->body.c_str() : "{}");
    return doc;
}

// The bytes of a form post as the counter sends it: HTTP/1.0, keep-alive, its header order.
std::string counterFormPost(int port, const std::string& line, const std::string& version = "HTTP/1.0",
                            const std::string& connection = "keep-alive")
{
    const std::string body = counter::formEncode(line);
    return "POST /apiv1/webapi.do " + version + "\r\nConnection: " + connection +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nAuthorization: " + authorization() +
           "\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: text/html, */*\r\nAccept-Encoding: identity\r\nUser-Agent: Mozilla/3.0 (compatible; "
           "Quilba)\r\n\r\n" +
           body;
}

class Http : public testing::Test
{
protected:
    void SetUp() override { member = std::to_string(p.createMember("1000001", "DUPONT", "Marie")); }

    PlatformHarness p;
    std::string member;
};

TEST_F(Http, ApiRefusesRequestsWithoutTheCredentialsOfAnAccount)
{
    const std::vector<httplib::Headers> refused = {
        {},
        {{"Authorization", "Basic " + encoding::base64Encode("KEY-G1;login1:wrong")}},
        {{"Authorization", "Basic " + encoding::base64Encode("KEY-G1:login1;secret1")}},
        {{"Authorization", "Bearer " + encoding::base64Encode("KEY-G1;login1:secret1")}},
    };
    auto client = p.client();
    for (const auto& headers : refused) {
        const auto result = client->Post("/apiv1/webapi.do", headers,
                                         counter::formEncode(counter::lookupByCard("G1", "1000001")),
                                         "application/x-www-form-urlencoded");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 401);
        EXPECT_EQ(result->get_header_value("WWW-Authenticate"), "Basic realm=\"Quilba\"");
        EXPECT_NE(result->body.find("\"ApiReturn\""), std::string::npos);
    }
    // The second pharmacy's credentials are good, for its own members.
    const ApiReply other = p.post(counter::lookupByCard("G2", "1000001"), PlatformHarness::otherAccount());
    EXPECT_EQ(other.status, 200);
    EXPECT_EQ(other.text("errorCode"), "3008");
}

TEST_F(Http, OtherMethodsAndPathsAreAnsweredByStatus)
{
    auto client = p.client();
    const auto get = client->Get("/apiv1/webapi.do", {{"Authorization", authorization()}});
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 405);
    const auto missing = client->Get("/apiv1/other.do");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST_F(Http, HttpOneZeroFormPostKeepsTheConnectionWhenAsked)
{
    RawHttp raw(p.port());
    raw.send(counterFormPost(p.port(), counter::lookupByCard("G1", "1000001")));
    const auto first = raw.readResponse();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(first->header("Connection"), "keep-alive");
    EXPECT_EQ(first->body.rfind("{\"FidelityMember\":", 0), 0u) << first->body;

    // The same connection then carries a sale by PUT, as HTTP/1.1.
    const std::string sale = counter::sale(member, "G1", "12.5");
    raw.send("PUT /apiv1/webapi.do HTTP/1.1\r\nContent-Type: "
             "application/x-www-form-urlencoded\r\nContent-Length: " +
             std::to_string(sale.size()) + "\r\nAuthorization: " + authorization() +
             "\r\nHost: 127.0.0.1\r\nAccept-Encoding: identity\r\n\r\n" + sale);
    const auto second = raw.readResponse();
    ASSERT_TRUE(second);
    EXPECT_NE(second->body.find("\"code\":\"OK\""), std::string::npos) << second->body;

    const auto entries = journal(p);
    const auto& list = entries["entries"];
    ASSERT_EQ(list.Size(), 3u); // the member's creation, then the two requests above
    EXPECT_EQ(list[1]["connection"].GetInt64(), list[2]["connection"].GetInt64());
    EXPECT_STREQ(list[1]["version"].GetString(), "HTTP/1.0");
    EXPECT_STREQ(list[2]["version"].GetString(), "HTTP/1.1");
}

TEST_F(Http, ConnectionsAreCountedOnceAndTheTestControlsLeftOut)
{
    auto client = p.client();
    ASSERT_TRUE(client->Delete("/_admin/connections"));
    {
        // Two requests on one connection, then one on another.
        RawHttp kept(p.port());
        kept.send(counterFormPost(p.port(), counter::lookupByCard("G1", "1000001")));
        ASSERT_TRUE(kept.readResponse());
        kept.send(counterFormPost(p.port(), counter::lookupByCard("G1", "1000001")));
        ASSERT_TRUE(kept.readResponse());
        RawHttp other(p.port());
        other.send(counterFormPost(p.port(), counter::lookupByCard("G1", "1000001")));
        ASSERT_TRUE(other.readResponse());
    }
    // Closed by the client: open no more once the server has seen it.
    std::string counted;
    for (int read = 0; read < 100; ++read) {
        const auto result = client->Get("/_admin/connections");
        ASSERT_TRUE(result);
        counted = result->body;
        if (counted.find(R"("open":0)") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(counted, R"({"connections":2,"tls_full":0,"tls_resumed":0,"tls_failed":0,"open":0})");
}

TEST_F(Http, ConnectionsCloseWhenTheClientSaysSo)
{
    for (const auto& [version, connection] :
         std::vector<std::pair<std::string, std::string>>{{"HTTP/1.0", "close"}, {"HTTP/1.1", "close"}}) {
        SCOPED_TRACE(version + " " + connection);
        RawHttp raw(p.port());
        raw.send(counterFormPost(p.port(), counter::lookupByCard("G1", "1000001"), version, connection));
        const auto reply = raw.readResponse();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->header("Connection"), "close");
        EXPECT_TRUE(reply->complete);
        EXPECT_EQ(raw.readToEnd(), ""); // closed by the server
    }
}

TEST_F(Http, ApiRepliesGiveASessionCookieUntilItComesBack)
{
    auto client = p.client();
    const httplib::Headers auth{{"Authorization", authorization()}};
    const std::string body = counter::formEncode(counter::lookupByCard("G1", "1000001"));
    const auto first = client->Post("/apiv1/webapi.do", auth, body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(first);
    const std::string cookie = first->get_header_value("Set-Cookie");
    ASSERT_EQ(cookie.rfind("JSESSIONID=", 0), 0u) << cookie;
    httplib::Headers withCookie = auth;
    withCookie.emplace("Cookie", cookie.substr(0, cookie.find(';')));
    const auto second =
        client->Post("/apiv1/webapi.do", withCookie, body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->has_header("Set-Cookie"));
    EXPECT_EQ(second->body, first->body);
}

TEST_F(Http, ChunkedRequestBodiesAreRead)
{
    const std::string text = counter::sale(member, "G1", "3");
    const std::string half = text.substr(0, text.size() / 2);
    const std::string rest = text.substr(text.size() / 2);
    auto hex = [](size_t n) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%zx", n);
        return std::string(buffer);
    };
    RawHttp raw(p.port());
    raw.send("PUT /apiv1/webapi.do HTTP/1.1\r\nTransfer-Encoding: chunked\r\nAuthorization: " +
             authorization() + "\r\nHost: 127.0.0.1\r\n\r\n" + hex(half.size()) + "\r\n" + half + "\r\n" +
             hex(rest.size()) + "\r\n" + rest + "\r\n0\r\n\r\n");
    const auto reply = raw.readResponse();
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->body.find("\"code\":\"OK\""), std::string::npos) << reply->body;
    const auto entries = journal(p);
    EXPECT_STREQ(entries["entries"][1]["body"].GetString(), text.c_str());
}

TEST_F(Http, JournalKeepsTheRequestsAsTheyCame)
{
    const long long before = journal(p)["entries"][0]["seq"].GetInt64();
    const std::string body =
        std::string("json_data={\"FidelityMember\" : {\"name\":\"") + "\xE9\xFF" + "\"}}";
    RawHttp raw(p.port());
    raw.send("PUT /apiv1/webapi.do?x=1 HTTP/1.1\r\nX-Second: b\r\nX-First: a\r\nContent-Length: " +
             std::to_string(body.size()) + "\r\nAuthorization: " + authorization() +
             "\r\nHost: 127.0.0.1\r\n\r\n" + body);
    const auto reply = raw.readResponse();
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->body.find("\"errorCode\":\"10\""), std::string::npos) << reply->body;

    const auto entries = journal(p, before);
    ASSERT_EQ(entries["entries"].Size(), 1u); // the admin requests are not journaled
    const auto& e = entries["entries"][0];
    EXPECT_STREQ(e["method"].GetString(), "PUT");
    EXPECT_STREQ(e["target"].GetString(), "/apiv1/webapi.do?x=1");
    EXPECT_FALSE(e["tls"].GetBool());
    std::vector<std::string> names;
    for (const auto& h : e["headers"].GetArray())
        names.push_back(h[0].GetString());
    EXPECT_EQ(names,
              (std::vector<std::string>{"X-Second", "X-First", "Content-Length", "Authorization", "Host"}));
    EXPECT_TRUE(e["body"].IsNull()); // not UTF-8: the bytes are in body_base64
    EXPECT_EQ(encoding::base64Decode(e["body_base64"].GetString()), body);
    EXPECT_EQ(e["body_size"].GetUint64(), body.size());

    auto client = p.client();
    ASSERT_TRUE(client->Delete("/_admin/journal"));
    EXPECT_EQ(journal(p)["entries"].Size(), 0u);
}

TEST(HttpUpdate, UpdateLocationServesTheVersionAndTheSetupWithoutCredentials)
{
    const std::string setup("MZ\x90\0\x03setup", 10);
    PlatformHarness::Options options;
    options.updateVersion = "1.5";
    options.setup = setup;
    PlatformHarness p(options);
    auto client = p.client();
    // The counter asks for the version by a form post with an empty body.
    const auto posted = client->Post("/updatequilba/version.html", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 200);
    EXPECT_EQ(posted->body, "1.5");
    const auto version = client->Get("/updatequilba/version.html");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->body, "1.5");
    const auto download = client->Get("/updatequilba/setup.exe");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 200);
    EXPECT_EQ(download->body, setup);

    PlatformHarness bare;
    const auto none = bare.client()->Get("/updatequilba/setup.exe");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->status, 404);
    EXPECT_EQ(bare.client()->Get("/updatequilba/version.html")->body, "1.4");
}

// The Debian repository is served as files of its folder, byte for byte; a path that would leave the
// folder, or name a folder, finds nothing.
TEST(HttpUpdate, UpdateLocationServesTheRepositoryFolderOnly)
{
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("quilba-depot-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "depot" / "pool");
    const std::string deb("!<arch>\ndebian-binary\0\xff", 23);
    std::ofstream(root / "depot" / "pool" / "quilba_1.5.0_amd64.deb", std::ios::binary) << deb;
    std::ofstream(root / "depot" / "InRelease") << "-----BEGIN PGP SIGNED MESSAGE-----\n";
    std::ofstream(root / "secret.txt") << "hors du dépôt";
    PlatformHarness::Options options;
    options.repository = (root / "depot").string();
    PlatformHarness p(options);
    auto client = p.client();

    const auto package = client->Get("/updatequilba/debian/pool/quilba_1.5.0_amd64.deb");
    ASSERT_TRUE(package);
    EXPECT_EQ(package->status, 200);
    EXPECT_EQ(package->body, deb);
    // apt names the files of a flat repository "<URL>/./<name>".
    const auto index = client->Get("/updatequilba/debian/./InRelease");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    EXPECT_EQ(index->body, "-----BEGIN PGP SIGNED MESSAGE-----\n");
    for (const std::string path :
         {"/updatequilba/debian/../secret.txt", "/updatequilba/debian/pool/../../secret.txt",
          "/updatequilba/debian/%2e%2e/secret.txt", "/updatequilba/debian/./../secret.txt",
          "/updatequilba/debian/pool", "/updatequilba/debian/", "/updatequilba/debian/.",
          "/updatequilba/debian//InRelease", "/updatequilba/debian/Release"}) {
        RawHttp raw(p.port());
        raw.send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        const auto reply = raw.readResponse();
        ASSERT_TRUE(reply) << path;
        EXPECT_EQ(reply->statusLine.substr(9, 3), "404") << path;
        EXPECT_EQ(reply->body.find("hors du"), std::string::npos) << path;
    }

    PlatformHarness bare;
    EXPECT_EQ(bare.client()->Get("/updatequilba/debian/InRelease")->status, 404);
    std::filesystem::remove_all(root);
}

TEST(HttpOperator, OperatorPageListsMembersCouponsAndEvents)
{
    PlatformHarness::Options options;
    options.seed = true;
    PlatformHarness p(options);
    auto client = p.client();
    const auto page = client->Get("/loyaltyoperator/login.jsp?rcg=QUILBA");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=UTF-8");
    for (const char* text :
         {"Pharmacie du Centre", "Pharmacie de la Gare", "O&#39;CONNOR", "LEFÈVRE", "MONTMORENCY-LAVAL",
          "Ouvert", "Expiré", "Utilisé le", "Supprimé le", "7.5 €", "20 €", "member=1006"})
        EXPECT_NE(page->body.find(text), std::string::npos) << text;

    const auto history = client->Get("/loyaltyoperator/login.jsp?rcg=QUILBA&member=1006");
    ASSERT_TRUE(history);
    EXPECT_NE(history->body.find("Historique de Paul MARTIN"), std::string::npos);
    EXPECT_NE(history->body.find("Coupon utilisé"), std::string::npos);
    const auto unknown = client->Get("/loyaltyoperator/login.jsp?member=42");
    ASSERT_TRUE(unknown);
    EXPECT_NE(unknown->body.find("Adhérent 42 inconnu"), std::string::npos);
}

TEST(HttpTls, HttpsWithTheGivenCertificate)
{
    TestCertificate certificate;
    PlatformHarness::Options options;
    options.tlsCert = certificate.certFile();
    options.tlsKey = certificate.keyFile();
    PlatformHarness p(options);
    ASSERT_TRUE(p.server().isTls());
    p.createMember("1000001", "DUPONT", "Marie");
    const ApiReply reply = p.post(counter::lookupByCard("G1", "1000001"));
    EXPECT_EQ(reply.kind(), "FidelityMember") << reply.body;
    const auto entries = journal(p);
    EXPECT_TRUE(entries["entries"][1]["tls"].GetBool());

    // Plain HTTP on the HTTPS port gets no reply.
    RawHttp raw(p.port());
    raw.send("GET /updatequilba/version.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const auto plain = raw.readResponse();
    EXPECT_FALSE(plain && plain->statusLine.rfind("HTTP/1.1 200", 0) == 0);

    Store store(":memory:");
    Clock clock;
    AccountList accounts;
    PlatformServer::Config bad;
    bad.tlsCert = certificate.folder() + "/missing.pem";
    bad.tlsKey = certificate.keyFile();
    EXPECT_THROW(PlatformServer(store, clock, accounts, bad), std::runtime_error);
}

TEST(HttpAdmin, ControlsCanBeTurnedOffAndSetTheClock)
{
    PlatformHarness::Options options;
    options.admin = false;
    PlatformHarness closed(options);
    const auto refused = closed.client()->Get("/_admin/journal");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 404);

    PlatformHarness p;
    auto client = p.client();
    const auto set = client->Post("/_admin/clock", R"({"now":"2024-12-15 09:30:00"})", "application/json");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->status, 200);
    const auto wrong = client->Post("/_admin/clock", R"({"now":"15/12/2024"})", "application/json");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 400);
    const long long id = p.createMember("1000001", "DUPONT", "Marie");
    ASSERT_TRUE(p.put(counter::sale(std::to_string(id), "G1", "150")).ok());
    Store::Transaction transaction(p.store());
    const auto coupons = p.store().coupons(id);
    ASSERT_EQ(coupons.size(), 1u);
    EXPECT_EQ(coupons[0].startDate, "2024-12-15 09:30:00");
    EXPECT_EQ(coupons[0].endDate, "2025-03-15 09:30:00");
}

} // namespace
