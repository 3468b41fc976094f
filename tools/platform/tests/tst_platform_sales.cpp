// Sales, points, coupons and coupon uses, as the counter sends them.
#include "CounterRequests.h"
#include "PlatformHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kNow = PlatformHarness::kNow;

class Sales : public testing::Test
{
protected:
    void SetUp() override
    {
        member = p.createMember("1000001", "DUPONT", "Marie");
        id = std::to_string(member);
    }

    rapidjson::Document memberReply()
    {
        rapidjson::Document doc;
        doc.Parse(p.post(counter::lookupById("G1", id)).body.c_str());
        rapidjson::Document m;
        m.CopyFrom(doc["FidelityMember"], m.GetAllocator());
        return m;
    }

    std::vector<long long> openCouponIds(const std::string& group = "G1")
    {
        rapidjson::Document doc;
        doc.Parse(p.post(counter::couponQuery(group, id, kNow)).body.c_str());
        std::vector<long long> ids;
        for (const auto& c : doc["list"].GetArray())
            ids.push_back(c["id"].GetInt64());
        return ids;
    }

    long long addCoupon(long long cents, const std::string& start, const std::string& end,
                        std::optional<bool> status1 = {}, std::optional<bool> status2 = {},
                        long long owner = 0, const std::string& group = "G1")
    {
        Store::Transaction transaction(p.store());
        CouponRecord c;
        c.memberId = owner != 0 ? owner : member;
        c.group = group;
        c.valueCents = cents;
        c.startDate = start;
        c.endDate = end;
        c.status1 = status1;
        c.status2 = status2;
        const long long couponId = p.store().insertCoupon(c);
        transaction.commit();
        return couponId;
    }

    PlatformHarness p;
    long long member = 0;
    std::string id;
};

TEST_F(Sales, SaleCreditsWholeEurosAndIsRecordedWithItsDate)
{
    // As the counter's httpput sends it: the raw text with CR LF, under a form content type.
    const std::string text =
        R"(json_data={"AdEvent":{"type":"addCA", "member":{"id":)" + id +
        R"(},"group":{"loadFromKeys":{"idExternal":"G1" }},"sparam":"AB","idExternal":"V123","fvalue":"25.8","details":[{"AdEventDetail":{"detailType":"I","class1":"produit A100","class10":"A100","quantity":"2","unitValue":"4.5","finalvalue":"9"}},{"AdEventDetail":{"detailType":"I","class1":"produit B200","class10":"B200","quantity":"1","unitValue":"16.8","finalvalue":"16.8"}}]}})"
        "\r\n";
    auto client = p.client();
    const auto result = client->Put(
        "/apiv1/webapi.do", {{"Authorization", AccountList::authorizationFor(PlatformHarness::account())}},
        text, "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    ASSERT_NE(result->body.find(R"("code":"OK")"), std::string::npos) << result->body;

    const auto m = memberReply();
    EXPECT_EQ(m["nbPoint"].GetInt(), 25);
    EXPECT_STREQ(m["dateUpdate"].GetString(), kNow);
    const auto& events = m["event"]["list"];
    ASSERT_EQ(events.Size(), 2u);
    EXPECT_STREQ(events[0]["type"].GetString(), "addCA");
    EXPECT_STREQ(events[0]["date"].GetString(), kNow);
    EXPECT_STREQ(events[0]["fvalue"].GetString(), "25.8");
    EXPECT_STREQ(events[0]["sparam"].GetString(), "AB");
    EXPECT_STREQ(events[0]["idExternal"].GetString(), "V123");
    EXPECT_STREQ(events[1]["type"].GetString(), "addPoint");
    EXPECT_STREQ(events[1]["fvalue"].GetString(), "25");

    Store::Transaction transaction(p.store());
    const auto details = p.store().details(events[0]["id"].GetInt64());
    ASSERT_EQ(details.size(), 2u);
    EXPECT_EQ(details[1].class10, "B200");
    EXPECT_EQ(details[1].finalValue, "16.8");
}

TEST_F(Sales, ThresholdsIssueCouponsValidNinetyDays)
{
    ASSERT_TRUE(p.put(counter::sale(id, "G1", "99.99", "07")).ok());
    EXPECT_TRUE(openCouponIds().empty());
    ASSERT_TRUE(p.put(counter::sale(id, "G1", "1")).ok());

    rapidjson::Document doc;
    doc.Parse(p.post(counter::couponQuery("G1", id, kNow)).body.c_str());
    ASSERT_EQ(doc["list"].Size(), 1u);
    const auto& small = doc["list"][0];
    EXPECT_EQ(small["fvalue"].GetDouble(), 7.5);
    EXPECT_STREQ(small["endDate"].GetString(), "2024-06-13 10:00:00");
    EXPECT_STREQ(small["trackCode"].GetString(),
                 ("29" + std::string(11 - std::to_string(small["id"].GetInt64()).size(), '0') +
                  std::to_string(small["id"].GetInt64()))
                     .c_str());

    ASSERT_TRUE(p.put(counter::sale(id, "G1", "100")).ok());
    EXPECT_EQ(p.points(member), 0);
    doc.Parse(p.post(counter::couponQuery("G1", id, kNow)).body.c_str());
    ASSERT_EQ(doc["list"].Size(), 2u);
    EXPECT_EQ(doc["list"][1]["fvalue"].GetInt(), 20);

    // The coupons also appear in the member's event list, after the sale that released them.
    const auto m = memberReply();
    std::vector<std::string> types;
    for (const auto& e : m["event"]["list"].GetArray())
        types.push_back(e["type"].GetString());
    EXPECT_EQ(types, (std::vector<std::string>{"addCA", "addPoint", "addCA", "addPoint", "COUPON", "addCA",
                                               "addPoint", "COUPON"}));
}

TEST_F(Sales, RefundTakesPointsBack)
{
    ASSERT_TRUE(p.put(counter::sale(id, "G1", "50")).ok());
    ASSERT_TRUE(p.put(counter::sale(id, "G1", "-20.5")).ok());
    EXPECT_EQ(p.points(member), 30);
    ASSERT_TRUE(p.put(counter::sale(id, "G1", "-80")).ok());
    EXPECT_EQ(p.points(member), 0);
}

TEST_F(Sales, SalesAreRefusedWithTheirCodes)
{
    const long long foreign = p.createMember("2000001", "GARCIA", "Manuel", PlatformHarness::otherAccount());
    struct Case
    {
        std::string text;
        std::string errorCode;
    };
    const std::vector<Case> cases = {
        {counter::sale("999999", "G1", "10"), "3008"},
        {counter::sale(std::to_string(foreign), "G1", "10"), "3008"},
        {counter::sale(id, "G2", "10"), "12"},
        {counter::sale(id, "G1", "abc"), "11"},
        {counter::sale(id, "G1", "1,5"), "11"},
        {counter::sale(id, "G1", ""), "11"},
        {R"(json_data={"AdEvent":{"type":"addPoints", "member":{"id":)" + id + R"(},"fvalue":"10"}})", "11"},
        {R"(json_data={"AdEvent":{"type":"addCA", "member":{"id":)" + id +
             R"(},"fvalue":"10","details":[{"x":1}]}})",
         "11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ApiReply reply = p.put(c.text);
        EXPECT_EQ(reply.text("errorCode"), c.errorCode) << reply.body;
        EXPECT_FALSE(reply.text("errorMessage").empty());
    }
    EXPECT_EQ(p.points(member), 0);
    EXPECT_FALSE(memberReply().HasMember("dateUpdate"));
}

TEST_F(Sales, CouponQueryListsTheOpenCouponsOfTheMember)
{
    const long long other = p.createMember("1000002", "DUPONT", "Marc");
    const long long open = addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00");
    const long long explicitFalse =
        addCoupon(2000, "2024-03-01 09:00:00", "2024-05-30 09:00:00", false, false);
    const long long startsNow = addCoupon(750, kNow, "2024-06-13 10:00:00");
    addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00", std::nullopt, true); // used
    addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00", true, std::nullopt); // deleted
    addCoupon(2000, "2023-12-01 09:00:00", kNow);                                     // ends now
    addCoupon(2000, "2023-11-01 09:00:00", "2024-01-30 09:00:00");                    // expired
    addCoupon(750, "2024-03-16 09:00:00", "2024-06-14 09:00:00");                     // not yet valid
    addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00", {}, {}, other);      // another member

    const auto ids = openCouponIds();
    EXPECT_EQ(std::set<long long>(ids.begin(), ids.end()),
              (std::set<long long>{open, explicitFalse, startsNow}));

    // Another pharmacy sees nothing of this member, and may not ask in this pharmacy's name.
    const ApiReply foreign = p.post(counter::couponQuery("G2", id, kNow), PlatformHarness::otherAccount());
    ASSERT_EQ(foreign.kind(), "list") << foreign.body;
    EXPECT_EQ(foreign.value().Size(), 0u);
    EXPECT_EQ(p.post(counter::couponQuery("G1", id, kNow), PlatformHarness::otherAccount()).text("errorCode"),
              "12");
    // An unknown member has no coupons.
    EXPECT_EQ(p.post(counter::couponQuery("G1", "999999", kNow)).value().Size(), 0u);
}

TEST_F(Sales, CouponUseAsTheCounterSendsIt)
{
    const long long coupon = addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00");
    const std::string couponId = std::to_string(coupon);
    std::string track;
    {
        Store::Transaction transaction(p.store());
        track = p.store().coupon(coupon)->trackCode;
    }
    const ApiReply used = p.put(counter::usedCoupon(id, "G1", "7.5", track, couponId));
    ASSERT_TRUE(used.ok()) << used.body;
    const ApiReply status = p.put(counter::couponUsed(couponId, "2024-03-15 10:00:05"));
    ASSERT_TRUE(status.ok()) << status.body;
    EXPECT_EQ(status.text("id"), couponId);
    EXPECT_TRUE(openCouponIds().empty());

    const auto m = memberReply();
    const auto& events = m["event"]["list"];
    ASSERT_EQ(events.Size(), 2u);
    EXPECT_STREQ(events[0]["type"].GetString(), "COUPON");
    EXPECT_TRUE(events[0]["status2"].GetBool());
    EXPECT_STREQ(events[0]["dateUpdateStatus2"].GetString(), "2024-03-15 10:00:05");
    EXPECT_STREQ(events[1]["type"].GetString(), "usedcoupon");
    EXPECT_STREQ(events[1]["comment"].GetString(), track.c_str());
    EXPECT_STREQ(events[1]["date"].GetString(), kNow);
    EXPECT_EQ(events[1]["cause"]["id"].GetInt64(), coupon);

    // A coupon is used once.
    EXPECT_EQ(p.put(counter::usedCoupon(id, "G1", "7.5", track, couponId)).text("errorCode"), "13");
    EXPECT_EQ(p.put(counter::couponUsed(couponId, kNow)).text("errorCode"), "13");
}

TEST_F(Sales, CouponUsesAreRefusedWithTheirCodes)
{
    const long long other = p.createMember("1000002", "DUPONT", "Marc");
    const auto coupon = [&](long long c) { return std::to_string(c); };
    const long long othersCoupon =
        addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00", {}, {}, other);
    const long long expired = addCoupon(2000, "2023-11-01 09:00:00", "2024-01-30 09:00:00");
    const long long deleted = addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00", true);
    const long long future = addCoupon(750, "2024-04-01 09:00:00", "2024-06-30 09:00:00");
    const long long foreignMember =
        p.createMember("2000001", "GARCIA", "Manuel", PlatformHarness::otherAccount());
    const long long foreignCoupon =
        addCoupon(750, "2024-03-01 09:00:00", "2024-05-30 09:00:00", {}, {}, foreignMember, "G2");
    struct Case
    {
        std::string text;
        std::string errorCode;
    };
    const std::vector<Case> cases = {
        {counter::usedCoupon(id, "G1", "7.5", "x", coupon(othersCoupon)), "3008"},
        {counter::usedCoupon(id, "G1", "7.5", "x", "999999"), "3008"},
        {counter::usedCoupon(id, "G1", "20", "x", coupon(expired)), "13"},
        {counter::usedCoupon(id, "G1", "7.5", "x", coupon(deleted)), "13"},
        {counter::usedCoupon(id, "G1", "7.5", "x", coupon(future)), "13"},
        {counter::usedCoupon("999999", "G1", "7.5", "x", coupon(othersCoupon)), "3008"},
        {counter::couponUsed("999999", kNow), "3008"},
        {counter::couponUsed(coupon(foreignCoupon), kNow), "3008"},
        {counter::couponUsed(coupon(deleted), kNow), "13"},
        {counter::couponUsed(coupon(future), "15/03/2024"), "11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ApiReply reply = p.put(c.text);
        EXPECT_EQ(reply.text("errorCode"), c.errorCode) << reply.body;
        EXPECT_FALSE(reply.text("errorMessage").empty());
    }
}

TEST_F(Sales, TwoCountersSellingAtOnceLoseNothing)
{
    // Two counters, each on its own kept-alive connection, record 50 sales of 2 euros for the same member
    // while looking members up in between: exactly 200 points, hence both coupons and a balance of 0.
    auto counterRun = [this](std::vector<std::string>& failures) {
        auto client = p.client();
        client->set_keep_alive(true);
        const httplib::Headers auth{
            {"Authorization", AccountList::authorizationFor(PlatformHarness::account())}};
        for (int i = 0; i < 50; ++i) {
            const auto sale = client->Put("/apiv1/webapi.do", auth, counter::sale(id, "G1", "2", "07"), "");
            if (!sale || sale->body.find(R"("code":"OK")") == std::string::npos)
                failures.push_back(sale ? sale->body : httplib::to_string(sale.error()));
            const auto lookup = client->Post("/apiv1/webapi.do", auth,
                                             counter::formEncode(counter::lookupByCard("G1", "1000001")),
                                             "application/x-www-form-urlencoded");
            if (!lookup || lookup->body.find(R"({"FidelityMember":)") != 0)
                failures.push_back(lookup ? lookup->body : httplib::to_string(lookup.error()));
        }
    };
    std::vector<std::string> failuresA;
    std::vector<std::string> failuresB;
    std::thread a([&] { counterRun(failuresA); });
    std::thread b([&] { counterRun(failuresB); });
    a.join();
    b.join();
    EXPECT_TRUE(failuresA.empty()) << failuresA.front();
    EXPECT_TRUE(failuresB.empty()) << failuresB.front();

    EXPECT_EQ(p.points(member), 0);
    Store::Transaction transaction(p.store());
    const auto coupons = p.store().coupons(member);
    ASSERT_EQ(coupons.size(), 2u);
    EXPECT_EQ(coupons[0].valueCents + coupons[1].valueCents, 2750);
    EXPECT_EQ(p.store().events(member).size(), 200u);
}

} // namespace
