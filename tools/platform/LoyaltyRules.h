#pragma once

#include <vector>

// The scheme's arithmetic, free of storage: points earned by a sale and the coupons they release.
//
// One whole euro of sales gives one point; the cents are dropped (a refund of 20.50 takes 20 points back).
// Points build up in cycles of 200: the first time the balance reaches 100 in a cycle a 7.50-euro coupon is
// issued; reaching 200 issues a 20-euro coupon and closes the cycle, 200 points being taken off the balance.
// A refund never brings the balance below 0 and never takes a coupon back.
class LoyaltyRules final
{
public:
    static constexpr long long kFirstThreshold = 100;
    static constexpr long long kCycleThreshold = 200;
    static constexpr long long kFirstCouponCents = 750;
    static constexpr long long kCycleCouponCents = 2000;
    static constexpr int kCouponValidityDays = 90;

    struct Outcome
    {
        long long points = 0;               // credited (negative for a refund)
        long long balance = 0;              // balance after the sale
        bool firstCouponIssued = false;     // state of the current cycle after the sale
        std::vector<long long> couponCents; // coupons released, in the order they are issued
    };

    static long long pointsForAmount(long long cents);
    static Outcome applySale(long long balance, bool firstCouponIssued, long long cents);
};
