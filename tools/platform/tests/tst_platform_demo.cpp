// The demo data keeps what the demo and the end-to-end tests count on.
#include "CounterRequests.h"
#include "DemoData.h"
#include "Encoding.h"
#include "JsonRenderer.h"
#include "PlatformHarness.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

class Demo : public testing::Test
{
protected:
    static PlatformHarness::Options seeded()
    {
        PlatformHarness::Options options;
        options.seed = true;
        return options;
    }

    ApiReply lookup(const std::string& line) { return p.post(line, AccountList::demoAccounts().front()); }

    PlatformHarness p{seeded()};
};

TEST_F(Demo, MembersCoverTheCasesTheCounterShows)
{
    Store::Transaction transaction(p.store());
    const auto members = p.store().allMembers();
    EXPECT_GE(members.size(), 40u);
    std::map<std::string, int> perGroup;
    std::set<size_t> childCounts;
    int withoutEmail = 0, withoutMobile = 0, accented = 0, inactive = 0, oneEvent = 0, noEvent = 0;
    for (const auto& m : members) {
        ++perGroup[m.group];
        childCounts.insert(p.store().children(m.id).size());
        withoutEmail += m.email.empty() && m.actif;
        withoutMobile += m.mobile.empty() && m.actif;
        accented += encoding::utf8ToLatin1(m.name + m.firstname).size() != (m.name + m.firstname).size();
        inactive += !m.actif;
        const long long events = p.store().eventCount(m.id);
        oneEvent += events == 1;
        noEvent += events == 0;
    }
    EXPECT_EQ(perGroup.size(), 2u);
    EXPECT_GE(perGroup["101"], 20);
    EXPECT_GE(perGroup["102"], 15);
    EXPECT_TRUE(childCounts.count(0) && childCounts.count(1) && childCounts.count(3));
    EXPECT_GE(withoutEmail, 2);
    EXPECT_GE(withoutMobile, 2);
    EXPECT_GE(accented, 5);
    EXPECT_GE(inactive, 1);
    EXPECT_GE(oneEvent, 1);
    EXPECT_GE(noEvent, 1);
}

TEST_F(Demo, CouponsOfBothValuesAreOpenUsedAndExpired)
{
    Store::Transaction transaction(p.store());
    std::set<std::pair<long long, std::string>> seen;
    for (const auto& c : p.store().allCoupons()) {
        std::string state = "open";
        if (c.status1.value_or(false))
            state = "deleted";
        else if (c.status2.value_or(false))
            state = "used";
        else if (c.endDate <= PlatformHarness::kNow)
            state = "expired";
        seen.insert({c.valueCents, state});
    }
    for (const long long cents : {750LL, 2000LL}) {
        for (const char* state : {"open", "used", "expired"})
            EXPECT_TRUE(seen.count({cents, state})) << cents << " " << state;
    }
    EXPECT_TRUE(seen.count({750, "deleted"}));
}

TEST_F(Demo, HomonymsOpenTheChoiceAndOtherPharmaciesStayApart)
{
    const ApiReply dupont = lookup(counter::lookupByName("101", "DUPONT"));
    ASSERT_EQ(dupont.kind(), "list");
    EXPECT_GE(dupont.value().Size(), 4u);
    for (const auto& m : dupont.value().GetArray())
        EXPECT_EQ(std::string(m["cardnumber"].GetString()).rfind("101", 0), 0u);
    EXPECT_EQ(lookup(counter::lookupByNames("101", "DUPONT", "MA")).value().Size(), 3u);
    EXPECT_EQ(lookup(counter::lookupByCard("101", "1020001")).text("errorCode"), "3008");
}

TEST_F(Demo, EveryMemberLoadsAndTheLongHistoryHasFiveHundredEvents)
{
    std::vector<std::string> cards;
    {
        Store::Transaction transaction(p.store());
        for (const auto& m : p.store().allMembers()) {
            if (m.group == "101" && m.actif)
                cards.push_back(m.cardnumber);
        }
    }
    for (const auto& card : cards) {
        const ApiReply reply = lookup(counter::lookupByCard("101", card));
        ASSERT_EQ(reply.kind(), "FidelityMember") << card << " " << reply.body;
        EXPECT_FALSE(reply.text("id").empty());
        EXPECT_FALSE(reply.text("nbPoint").empty());
        const rapidjson::Value& events = reply.value()["event"];
        if (reply.text("cardnumber") == "1010006") {
            ASSERT_TRUE(events.IsObject());
            EXPECT_EQ(events["list"].Size(), 500u);
        }
    }
}

TEST(DemoSeed, SameClockSameData)
{
    Clock clock;
    clock.setFixed(std::string(PlatformHarness::kNow));
    Store a(":memory:");
    Store b(":memory:");
    ASSERT_TRUE(DemoData::seed(a, clock));
    ASSERT_TRUE(DemoData::seed(b, clock));
    EXPECT_FALSE(DemoData::seed(a, clock)); // never twice
    Store::Transaction ta(a);
    Store::Transaction tb(b);
    const auto membersA = a.allMembers();
    ASSERT_EQ(membersA.size(), b.allMembers().size());
    for (const auto& m : membersA) {
        EXPECT_EQ(JsonRenderer::member(m, a.children(m.id), a.events(m.id), a.coupons(m.id)),
                  JsonRenderer::member(*b.member(m.id), b.children(m.id), b.events(m.id), b.coupons(m.id)));
    }
}

} // namespace
