#pragma once

#include <array>
#include <optional>
#include <string>

// Rows of the platform's database. Dates are texts "yyyy-mm-dd" (birthdays) or "yyyy-mm-dd hh:nn:ss".

struct MemberRecord
{
    long long id = 0;
    std::string group; // the pharmacy's idExternal
    std::string cardnumber;
    std::string name;
    std::string firstname;
    std::string gender;
    std::string birthday;
    std::string email;
    bool emailoptin = false;
    std::string mobile;
    bool smsoptin = false;
    std::string tel;
    std::string line1;
    std::string line2;
    std::string zip;
    std::string town;
    std::array<std::string, 5> criteria{"0", "0", "0", "0", "0"}; // cn1 .. cn5, JSON number texts
    bool actif = true;
    long long points = 0;
    bool firstCouponIssued = false; // the 7.50 coupon of the current 200-point cycle is out
    std::string lastSale;           // date of the last sale, empty before the first
    std::string created;
};

struct ChildRecord
{
    long long id = 0;
    long long memberId = 0;
    std::string firstname;
    std::string sex;
    std::string birthday;
};

struct CouponRecord
{
    long long id = 0;
    long long memberId = 0;
    std::string group;
    std::string trackCode;
    long long valueCents = 0;
    std::string startDate;
    std::string endDate;
    std::optional<bool> status1; // deleted
    std::optional<bool> status2; // used
    std::string dateUpdateStatus1;
    std::string dateUpdateStatus2;
    long long saleEventId = 0; // the sale that released it, 0 for a coupon given otherwise
};

struct EventRecord
{
    long long id = 0;
    long long memberId = 0;
    std::string group;
    std::string type; // addCA, addPoint, usedcoupon
    std::string date;
    std::string fvalue; // amount in euros or points, as a decimal text
    std::string sparam;
    std::string idExternal;
    std::string comment;
    long long couponId = 0; // the coupon a usedcoupon event names
};

struct EventDetailRecord
{
    long long eventId = 0;
    std::string detailType;
    std::string class1;
    std::string class10;
    std::string quantity;
    std::string unitValue;
    std::string finalValue;
};
