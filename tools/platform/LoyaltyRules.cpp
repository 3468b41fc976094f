#include "LoyaltyRules.h"

#include <algorithm>

long long LoyaltyRules::pointsForAmount(long long cents)
{
    // Integer division truncates towards zero: whole euros of the sale or of the refund.
    return cents / 100;
}

LoyaltyRules::Outcome LoyaltyRules::applySale(long long balance, bool firstCouponIssued, long long cents)
{
    Outcome outcome;
    outcome.points = pointsForAmount(cents);
    outcome.firstCouponIssued = firstCouponIssued;
    long long b = balance + outcome.points;
    if (outcome.points <= 0) {
        outcome.balance = std::max(0LL, b);
        return outcome;
    }
    for (;;) {
        if (!outcome.firstCouponIssued && b >= kFirstThreshold) {
            outcome.couponCents.push_back(kFirstCouponCents);
            outcome.firstCouponIssued = true;
        }
        if (b < kCycleThreshold)
            break;
        outcome.couponCents.push_back(kCycleCouponCents);
        b -= kCycleThreshold;
        outcome.firstCouponIssued = false;
    }
    outcome.balance = b;
    return outcome;
}
