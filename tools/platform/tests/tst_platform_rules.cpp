// The arithmetic and text rules of the platform, without a server.
#include "AccountList.h"
#include "Clock.h"
#include "Encoding.h"
#include "LoyaltyRules.h"
#include "Money.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

struct SaleCase
{
    long long balance;
    bool firstIssued;
    long long cents;
    long long points;
    long long newBalance;
    bool newFirstIssued;
    std::vector<long long> coupons;
};

TEST(LoyaltyRules, SalesCreditPointsAndReleaseCoupons)
{
    const std::vector<SaleCase> cases = {
        // whole euros, cents dropped
        {0, false, 9999, 99, 99, false, {}},
        {0, false, 99, 0, 0, false, {}},
        // reaching 100 releases the 7.50 coupon once per cycle
        {99, false, 150, 1, 100, true, {750}},
        {0, false, 10000, 100, 100, true, {750}},
        {120, true, 5000, 50, 170, true, {}},
        // reaching 200 releases the 20 coupon and closes the cycle
        {150, true, 5000, 50, 0, false, {2000}},
        {190, true, 1234, 12, 2, false, {2000}},
        // one big sale crossing 100, 200 and the next cycle's 100
        {90, false, 25000, 250, 140, true, {750, 2000, 750}},
        // a refund takes whole euros back, never below zero, and keeps the cycle's state
        {50, false, -2050, -20, 30, false, {}},
        {10, false, -2000, -20, 0, false, {}},
        {120, true, -5000, -50, 70, true, {}},
        // back at 100 in the same cycle after a refund: no second 7.50 coupon
        {70, true, 5000, 50, 120, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.balance << " points, first issued " << c.firstIssued << ", "
                                        << c.cents << " cents");
        const auto outcome = LoyaltyRules::applySale(c.balance, c.firstIssued, c.cents);
        EXPECT_EQ(outcome.points, c.points);
        EXPECT_EQ(outcome.balance, c.newBalance);
        EXPECT_EQ(outcome.firstCouponIssued, c.newFirstIssued);
        EXPECT_EQ(outcome.couponCents, c.coupons);
    }
}

TEST(Money, ParsesAndFormatsAmounts)
{
    const std::vector<std::pair<std::string, std::optional<long long>>> parsed = {
        {"12.5", 1250}, {"-20", -2000}, {"7.50", 750}, {"25.8", 2580}, {"0.005", 1},
        {" 3 ", 300},   {"1,5", {}},    {"", {}},      {"abc", {}},    {".", {}},
        {"12.", {}},    {"1e3", {}},    {"-", {}},     {"1.2.3", {}},  {"1234567890123", {}},
    };
    for (const auto& [text, cents] : parsed)
        EXPECT_EQ(Money::parse(text), cents) << text;
    EXPECT_EQ(Money::format(750), "7.5");
    EXPECT_EQ(Money::format(2000), "20");
    EXPECT_EQ(Money::format(-1234), "-12.34");
    EXPECT_EQ(Money::format(5), "0.05");
}

TEST(Clock, ChecksAndShiftsDates)
{
    EXPECT_TRUE(Clock::isDateTime("2024-02-29 23:59:59"));
    EXPECT_FALSE(Clock::isDateTime("2023-02-29 10:00:00"));
    EXPECT_FALSE(Clock::isDateTime("2024-03-15 24:00:00"));
    EXPECT_FALSE(Clock::isDateTime("2024-03-15"));
    EXPECT_TRUE(Clock::isDate("1980-12-25"));
    EXPECT_FALSE(Clock::isDate("1980-13-01"));
    EXPECT_FALSE(Clock::isDate("25/12/1980"));
    // The coupons' 90 days cross month and year ends.
    EXPECT_EQ(Clock::addDays("2024-12-15 09:30:00", 90), "2025-03-15 09:30:00");
    EXPECT_EQ(Clock::addDays("2024-03-01 00:00:00", -1), "2024-02-29 00:00:00");
}

TEST(Encoding, DecodesFormsAndCredentials)
{
    EXPECT_EQ(encoding::formDecode("json_data%3D%7Bx%3A+y%7D"), "json_data={x: y}");
    EXPECT_EQ(encoding::formField("a=1&json_data=%C3%A9+%22", "json_data"), "é \"");
    EXPECT_FALSE(encoding::formField("a=1", "json_data").has_value());
    EXPECT_EQ(encoding::base64Decode(encoding::base64Encode("k;l:p\xE9")), "k;l:p\xE9");
    EXPECT_FALSE(encoding::base64Decode("abc").has_value());
    EXPECT_FALSE(encoding::base64Decode("a=bc").has_value());
    EXPECT_TRUE(encoding::isValidUtf8("Élodie"));
    EXPECT_FALSE(encoding::isValidUtf8("\xC3\x28"));
    EXPECT_FALSE(encoding::isValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_TRUE(encoding::startsWithFolded("LEFÈVRE", "lefè"));
    EXPECT_EQ(encoding::utf8ToLatin1("é€"), "\xE9?");
}

TEST(AccountList, AcceptsOnlyTheConfiguredCredentials)
{
    AccountList accounts;
    accounts.add(Account{"KEY", "login", "pässwörd", "G1", "Pharmacie"});
    const Account& account = accounts.accounts().front();
    // The header is built one byte per character, as the counter builds it.
    EXPECT_EQ(accounts.authenticate("Basic " + encoding::base64Encode("KEY;login:p\xE4ssw\xF6rd")), &account);
    EXPECT_EQ(accounts.authenticate("basic  " + encoding::base64Encode("KEY;login:p\xE4ssw\xF6rd")),
              &account);
    const std::vector<std::string> refused = {
        "",
        "Basic " + encoding::base64Encode("KEY;login:pässwörd"), // UTF-8 bytes are not the same text
        "Basic " + encoding::base64Encode("KEY;login:wrong"),
        "Basic " + encoding::base64Encode("KEY:login;p\xE4ssw\xF6rd"),
        "Bearer " + encoding::base64Encode("KEY;login:p\xE4ssw\xF6rd"),
        "Basic ###",
    };
    for (const auto& header : refused)
        EXPECT_EQ(accounts.authenticate(header), nullptr) << header;
    EXPECT_FALSE(AccountList::parse("KEY,login,pwd").has_value());
    EXPECT_EQ(AccountList::parse("KEY,login,pwd,12")->group, "12");
}

} // namespace
