// FidelityMember queries and saves, FidelityMemberChild saves, and the refusals, over HTTP.
#include "CounterRequests.h"
#include "PlatformHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using counter::lookupByCard;
using counter::lookupById;
using counter::lookupByName;
using counter::lookupByNames;

class Members : public testing::Test
{
protected:
    void SetUp() override
    {
        marie = p.createMember("1000001", "DUPONT", "Marie");
        marc = p.createMember("1000002", "DUPONT", "Marc");
        martine = p.createMember("1000003", "Dupont", "Martine");
        elodie = p.createMember("1000004", "LEFÈVRE", "Élodie");
        p.createMember("1000005", "DUPONTEL", "Agnès");
        p.createMember("2000001", "DUPONT", "Sophie", PlatformHarness::otherAccount());
        inactive = p.createMember("1000006", "DUPONT", "Ancien");
        p.put(R"(json_data={"FidelityMember" : {"id":")" + std::to_string(inactive) +
              R"(","actif":"false"}})");
    }

    std::vector<std::string> listedFirstnames(const ApiReply& reply)
    {
        std::vector<std::string> names;
        for (const auto& m : reply.value().GetArray())
            names.push_back(m["firstname"].GetString());
        return names;
    }

    PlatformHarness p;
    long long marie = 0, marc = 0, martine = 0, elodie = 0, inactive = 0;
};

TEST_F(Members, LookupAnswersOneMemberAListOrUnknown)
{
    struct Case
    {
        std::string line;
        std::string kind;
        std::vector<std::string> firstnames; // for a list, in surname then first-name order
    };
    const std::vector<Case> cases = {
        {lookupByCard("G1", "1000001"), "FidelityMember", {}},
        {lookupById("G1", std::to_string(marc)), "FidelityMember", {}},
        {lookupByName("G1", "LEF"), "FidelityMember", {}},
        // prefixes ignore letter case, accents included; the other pharmacy's DUPONT and the inactive
        // one stay out
        {lookupByName("G1", "dupont"), "list", {"Marc", "Marie", "Martine", "Agnès"}},
        {lookupByNames("G1", "DUPONT", "MA"), "list", {"Marc", "Marie", "Martine"}},
        {lookupByNames("G1", "DUPONT", "mar"), "list", {"Marc", "Marie", "Martine"}},
        {lookupByNames("G1", "DUPONT", ""), "list", {"Marc", "Marie", "Martine", "Agnès"}},
        {lookupByName("G1", "lefè"), "FidelityMember", {}},
        {lookupByCard("G1", "9999999"), "ApiReturn", {}},
        {lookupByCard("G1", "2000001"), "ApiReturn", {}},
        {lookupByCard("G1", "1000006"), "ApiReturn", {}},
        {lookupById("G1", ""), "ApiReturn", {}},
        {lookupById("G1", "abc"), "ApiReturn", {}},
        {lookupByName("G1", "ZORRO"), "ApiReturn", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const ApiReply reply = p.post(c.line);
        EXPECT_EQ(reply.status, 200);
        ASSERT_EQ(reply.kind(), c.kind) << reply.body;
        if (c.kind == "ApiReturn") {
            EXPECT_EQ(reply.text("code"), "KO");
            EXPECT_EQ(reply.text("errorCode"), "3008");
        } else if (c.kind == "list") {
            EXPECT_EQ(listedFirstnames(reply), c.firstnames);
        }
    }
}

TEST_F(Members, InactiveMembersAreFoundOnlyWhenAskedFor)
{
    const ApiReply reply = p.post(
        R"(json_data={ "FidelityMember":{"actif":"0","group":{"idExternal":"G1" },"cardnumber":"1000006"}})");
    ASSERT_EQ(reply.kind(), "FidelityMember") << reply.body;
    EXPECT_EQ(reply.text("id"), std::to_string(inactive));
}

TEST_F(Members, RequestsForAnotherPharmacyAreRefused)
{
    const ApiReply reply = p.post(lookupByCard("G2", "2000001"));
    ASSERT_EQ(reply.kind(), "ApiReturn");
    EXPECT_EQ(reply.text("errorCode"), "12");
    EXPECT_FALSE(reply.text("errorMessage").empty());
}

TEST_F(Members, ListEntriesAreShortMembers)
{
    p.put(
        R"(json_data={"FidelityMember" : {"id":")" + std::to_string(marie) +
        R"(","criteria":{"cn1":"1","cn2":"0","cn3":"0","cn4":"0","cn5":"0"},"address":{"line1":"1 rue A","line2":"","zip":"69001","town":"LYON"}}})");
    rapidjson::Document doc;
    const ApiReply reply = p.post(lookupByNames("G1", "DUPONT", "MAR"));
    doc.Parse(reply.body.c_str());
    const auto& list = doc["list"];
    ASSERT_EQ(list.Size(), 3u);
    const auto& first = list[0]; // Marc: no address
    EXPECT_TRUE(first["id"].IsInt64());
    EXPECT_TRUE(first["nbPoint"].IsInt64());
    EXPECT_STREQ(first["cardnumber"].GetString(), "1000002");
    EXPECT_FALSE(first.HasMember("address"));
    EXPECT_STREQ(list[1]["address"]["town"].GetString(), "LYON");
    EXPECT_STREQ(list[1]["address"]["line1"].GetString(), "1 rue A");
}

TEST_F(Members, EnrolmentAsTheCounterWritesItIsReadBack)
{
    const ApiReply created = p.put(
        R"(json_data={"FidelityMember" : {"name":"O'BRIEN \"Jr\"","firstname":"Léo","email":"leo@example.fr","gender":"M","cardnumber":"7777777","tel":"0478000000","mobile":"0600000000","emailoptin":"true","smsoptin":"false","birthday":"1980-12-25","criteria":{"cn1":"1","cn2":"0","cn3":"0","cn4":"1","cn5":"0"},"address":{"line1":"1 rue de l'Église","line2":"","zip":"69000","town":"LYON"}}})");
    ASSERT_TRUE(created.ok()) << created.body;
    EXPECT_FALSE(created.text("id").empty());

    const ApiReply reply = p.post(lookupByCard("G1", "7777777"));
    ASSERT_EQ(reply.kind(), "FidelityMember") << reply.body;
    rapidjson::Document doc;
    doc.Parse(reply.body.c_str());
    const auto& m = doc["FidelityMember"];
    EXPECT_EQ(std::to_string(m["id"].GetInt64()), created.text("id"));
    EXPECT_STREQ(m["name"].GetString(), "O'BRIEN \"Jr\"");
    EXPECT_STREQ(m["firstname"].GetString(), "Léo");
    EXPECT_STREQ(m["gender"].GetString(), "M");
    EXPECT_STREQ(m["birthday"].GetString(), "1980-12-25");
    EXPECT_STREQ(m["email"].GetString(), "leo@example.fr");
    EXPECT_TRUE(m["emailoptin"].GetBool());
    EXPECT_STREQ(m["mobile"].GetString(), "0600000000");
    EXPECT_FALSE(m["smsoptin"].GetBool());
    EXPECT_STREQ(m["tel"].GetString(), "0478000000");
    EXPECT_STREQ(m["address"]["line1"].GetString(), "1 rue de l'Église");
    EXPECT_STREQ(m["address"]["zip"].GetString(), "69000");
    EXPECT_EQ(m["criteria"]["cn1"].GetInt(), 1);
    EXPECT_EQ(m["criteria"]["cn4"].GetInt(), 1);
    EXPECT_EQ(m["criteria"]["cn5"].GetInt(), 0);
    EXPECT_EQ(m["nbPoint"].GetInt(), 0);
    // No sale yet: no date of last sale, no child, no event.
    EXPECT_FALSE(m.HasMember("dateUpdate"));
    EXPECT_STREQ(m["children"].GetString(), "");
    EXPECT_STREQ(m["event"].GetString(), "");
}

TEST_F(Members, EmptyContactsAreLeftOutOfTheMember)
{
    const ApiReply reply = p.post(lookupByCard("G1", "1000001"));
    rapidjson::Document doc;
    doc.Parse(reply.body.c_str());
    const auto& m = doc["FidelityMember"];
    EXPECT_FALSE(m.HasMember("email"));
    EXPECT_FALSE(m.HasMember("mobile"));
    EXPECT_FALSE(m.HasMember("tel"));
    EXPECT_FALSE(m.HasMember("address"));
    EXPECT_TRUE(m.HasMember("emailoptin"));
    EXPECT_TRUE(m.HasMember("smsoptin"));
}

TEST_F(Members, UpdateChangesOnlyTheMembersSent)
{
    const std::string id = std::to_string(marie);
    ASSERT_TRUE(
        p.put(R"(json_data={"FidelityMember" : {"id":")" + id +
              R"(","email":"marie@example.fr","emailoptin":"true","mobile":"0611111111","smsoptin":"true"}})")
            .ok());
    // A modification in which nothing changed still sends the id and the criteria.
    const ApiReply unchanged = p.put(R"(json_data={"FidelityMember" : {"id":")" + id +
                                     R"(","criteria":{"cn1":"0","cn2":"1","cn3":"0","cn4":"0","cn5":"0"}}})");
    ASSERT_TRUE(unchanged.ok()) << unchanged.body;
    EXPECT_EQ(unchanged.text("id"), id);

    rapidjson::Document doc;
    doc.Parse(p.post(lookupById("G1", id)).body.c_str());
    const auto& m = doc["FidelityMember"];
    EXPECT_STREQ(m["name"].GetString(), "DUPONT");
    EXPECT_STREQ(m["firstname"].GetString(), "Marie");
    EXPECT_STREQ(m["email"].GetString(), "marie@example.fr");
    EXPECT_TRUE(m["smsoptin"].GetBool());
    EXPECT_EQ(m["criteria"]["cn2"].GetInt(), 1);
}

TEST_F(Members, SavesAreRefusedWithTheirCodes)
{
    const std::string marieId = std::to_string(marie);
    const std::string sophieCard = "2000001";
    struct Case
    {
        std::string text;
        std::string errorCode;
    };
    const std::vector<Case> cases = {
        // a card number held by another member, of this pharmacy or another
        {R"(json_data={"FidelityMember" : {"id":")" + marieId + R"(","cardnumber":"1000002"}})", "33"},
        {R"(json_data={"FidelityMember" : {"name":"NEW","cardnumber":")" + sophieCard + R"("}})", "33"},
        // unknown member, or one of another pharmacy
        {R"(json_data={"FidelityMember" : {"id":"999999","name":"X"}})", "3008"},
        {R"(json_data={"FidelityMember" : {"id":"","name":"X"}})", "3008"},
        // values of the wrong form
        {R"(json_data={"FidelityMember" : {"id":")" + marieId + R"(","birthday":"1980-13-01"}})", "11"},
        {R"(json_data={"FidelityMember" : {"id":")" + marieId + R"(","emailoptin":"peut-être"}})", "11"},
        {R"(json_data={"FidelityMember" : {"id":")" + marieId + R"(","criteria":{"cn1":"oui"}}})", "11"},
        {R"(json_data={"FidelityMember" : {"id":")" + marieId + R"(","name":{"x":1}}})", "11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ApiReply reply = p.put(c.text);
        ASSERT_EQ(reply.kind(), "ApiReturn") << reply.body;
        EXPECT_NE(reply.text("code"), "OK");
        EXPECT_EQ(reply.text("errorCode"), c.errorCode);
        EXPECT_FALSE(reply.text("errorMessage").empty());
    }
    // Nothing of the refused saves was kept; a member keeping its own card is fine.
    const ApiReply own =
        p.put(R"(json_data={"FidelityMember" : {"id":")" + marieId + R"(","cardnumber":"1000001"}})");
    EXPECT_TRUE(own.ok()) << own.body;
    const ApiReply reply = p.post(lookupByCard("G1", "1000001"));
    EXPECT_EQ(reply.text("id"), marieId);
    EXPECT_FALSE(reply.value().HasMember("birthday"));
}

TEST_F(Members, UnreadableDocumentsAreRefused)
{
    const std::vector<std::string> bodies = {
        "json_data={\"FidelityMember\" : {\"name\":\"X\"", // cut short
        "{\"FidelityMember\" : {\"name\":\"X\"}}",         // no json_data=
        "json_data=[]",
        "json_data={}",
        "json_data={\"FidelityMember\":\"X\"}",
        "json_data={\"Inconnu\":{}}",
        "json_data={\"FidelityMember\":{\"name\":\"\xC3\x28\"}}", // not UTF-8
        "json_data={\"AdEvent\":{\"type\":\"addCA\", \"member\":{\"id\":},\"fvalue\":\"1\"}}",
        "",
    };
    for (const auto& body : bodies) {
        SCOPED_TRACE(body);
        const ApiReply reply = p.put(body);
        EXPECT_EQ(reply.status, 200);
        ASSERT_EQ(reply.kind(), "ApiReturn") << reply.body;
        EXPECT_NE(reply.text("code"), "OK");
        EXPECT_EQ(reply.text("errorCode"), "10");
        EXPECT_FALSE(reply.text("errorMessage").empty());
    }
    // A form post without the json_data field.
    auto client = p.client();
    const auto result = client->Post(
        "/apiv1/webapi.do", {{"Authorization", AccountList::authorizationFor(PlatformHarness::account())}},
        "other=1", "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_NE(result->body.find("\"errorCode\":\"10\""), std::string::npos) << result->body;
}

TEST_F(Members, ChildrenAreCreatedUnderTheirParentAndChanged)
{
    const std::string id = std::to_string(marc);
    auto childrenOf = [&] {
        rapidjson::Document doc;
        doc.Parse(p.post(lookupById("G1", id)).body.c_str());
        rapidjson::Document out;
        out.CopyFrom(doc["FidelityMember"]["children"], out.GetAllocator());
        return out;
    };

    const ApiReply first = p.put(R"(json_data={"FidelityMemberChild" : {"parent":{"id":")" + id +
                                 R"("},"firstname":"Léa","sex":"F","birthday":"2015-04-02"}})");
    ASSERT_TRUE(first.ok()) << first.body;
    auto children = childrenOf();
    ASSERT_TRUE(children.IsObject()); // one child: an object under FidelityMemberChild
    EXPECT_STREQ(children["FidelityMemberChild"]["firstname"].GetString(), "Léa");
    EXPECT_STREQ(children["FidelityMemberChild"]["birthday"].GetString(), "2015-04-02");

    // A child without a birth date, as the counter writes it.
    ASSERT_TRUE(p.put(R"(json_data={"FidelityMemberChild" : {"parent":{"id":")" + id +
                      R"("},"firstname":"Hugo","sex":"M"}})")
                    .ok());
    const ApiReply changed = p.put(R"(json_data={"FidelityMemberChild" : {"id":")" + first.text("id") +
                                   R"(","firstname":"Léane","sex":"F","birthday":"2015-04-03"}})");
    ASSERT_TRUE(changed.ok()) << changed.body;
    EXPECT_EQ(changed.text("id"), first.text("id"));
    children = childrenOf();
    ASSERT_TRUE(children.IsArray()); // several children: an array, in the order they were created
    ASSERT_EQ(children.Size(), 2u);
    EXPECT_STREQ(children[0]["firstname"].GetString(), "Léane");
    EXPECT_STREQ(children[0]["birthday"].GetString(), "2015-04-03");
    EXPECT_STREQ(children[1]["firstname"].GetString(), "Hugo");
    EXPECT_FALSE(children[1].HasMember("birthday"));

    struct Case
    {
        std::string text;
        std::string errorCode;
    };
    const std::vector<Case> refused = {
        {R"(json_data={"FidelityMemberChild" : {"parent":{"id":"999999"},"firstname":"X","sex":"M"}})",
         "3008"},
        {R"(json_data={"FidelityMemberChild" : {"id":"999999","firstname":"X","sex":"M"}})", "3008"},
        {R"(json_data={"FidelityMemberChild" : {"firstname":"X","sex":"M"}})", "11"},
        {R"(json_data={"FidelityMemberChild" : {"parent":{"id":")" + id +
             R"("},"firstname":"X","sex":"M","birthday":"02/04/2015"}})",
         "11"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.text);
        const ApiReply reply = p.put(c.text);
        EXPECT_EQ(reply.text("errorCode"), c.errorCode) << reply.body;
        EXPECT_FALSE(reply.text("errorMessage").empty());
    }
    // A child of another pharmacy's member cannot be reached.
    const ApiReply foreign = p.put(R"(json_data={"FidelityMemberChild" : {"id":")" + first.text("id") +
                                       R"(","firstname":"X","sex":"M"}})",
                                   PlatformHarness::otherAccount());
    EXPECT_EQ(foreign.text("errorCode"), "3008");
}

} // namespace
