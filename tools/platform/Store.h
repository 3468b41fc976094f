#pragma once

#include "Records.h"
#include "SqliteDatabase.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct MemberQuery
{
    std::string group;
    std::optional<bool> actif;
    std::optional<long long> id;
    std::optional<std::string> cardnumber;
    std::optional<std::string> namePrefix;      // compared without regard to letter case
    std::optional<std::string> firstnamePrefix; // idem
};

// The platform's data in SQLite. Every access happens inside a Transaction, which also serialises the
// requests of concurrent clients.
class Store final
{
public:
    class Transaction final
    {
    public:
        explicit Transaction(Store& store);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        Store& m_store;
        std::unique_lock<std::mutex> m_lock;
        bool m_done = false;
    };

    explicit Store(const std::string& path);

    bool isEmpty();

    // Members, sorted by surname, first name and id.
    std::vector<MemberRecord> findMembers(const MemberQuery& query);
    std::vector<MemberRecord> allMembers();
    std::optional<MemberRecord> member(long long id);
    std::optional<MemberRecord> memberByCard(const std::string& cardnumber);
    long long insertMember(const MemberRecord& member);
    void updateMember(const MemberRecord& member);

    std::vector<ChildRecord> children(long long memberId);
    std::optional<ChildRecord> child(long long id);
    long long insertChild(const ChildRecord& child);
    void updateChild(const ChildRecord& child);

    // Coupons, oldest end date first.
    std::vector<CouponRecord> coupons(long long memberId);
    std::vector<CouponRecord> allCoupons();
    std::optional<CouponRecord> coupon(long long id);
    long long insertCoupon(const CouponRecord& coupon); // gives it its track code
    void updateCoupon(const CouponRecord& coupon);

    // Events in the order they happened.
    std::vector<EventRecord> events(long long memberId);
    long long eventCount(long long memberId);
    long long insertEvent(const EventRecord& event);
    void insertDetail(const EventDetailRecord& detail);
    std::vector<EventDetailRecord> details(long long eventId);

private:
    void createSchema();

    SqliteDatabase m_db;
    std::mutex m_mutex;
};
