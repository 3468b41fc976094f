#include "Store.h"

#include "Encoding.h"

#include <algorithm>

namespace {

constexpr std::string_view kMemberColumns =
    "id, grp, cardnumber, name, firstname, gender, birthday, email, emailoptin, mobile, smsoptin, tel, "
    "line1, line2, zip, town, cn1, cn2, cn3, cn4, cn5, actif, points, first_coupon, last_sale, created";

constexpr std::string_view kCouponColumns =
    "id, member_id, grp, track_code, value_cents, start_date, end_date, "
    "status1, status2, date_status1, date_status2, sale_event";

constexpr std::string_view kEventColumns =
    "id, member_id, grp, type, date, fvalue, sparam, id_external, comment, coupon_id";

MemberRecord readMember(const SqliteStatement& st)
{
    MemberRecord m;
    m.id = st.integer(0);
    m.group = st.text(1);
    m.cardnumber = st.text(2);
    m.name = st.text(3);
    m.firstname = st.text(4);
    m.gender = st.text(5);
    m.birthday = st.text(6);
    m.email = st.text(7);
    m.emailoptin = st.integer(8) != 0;
    m.mobile = st.text(9);
    m.smsoptin = st.integer(10) != 0;
    m.tel = st.text(11);
    m.line1 = st.text(12);
    m.line2 = st.text(13);
    m.zip = st.text(14);
    m.town = st.text(15);
    for (int i = 0; i < 5; ++i)
        m.criteria[static_cast<size_t>(i)] = st.text(16 + i);
    m.actif = st.integer(21) != 0;
    m.points = st.integer(22);
    m.firstCouponIssued = st.integer(23) != 0;
    m.lastSale = st.text(24);
    m.created = st.text(25);
    return m;
}

// Binds every column but the id, from parameter 1 on.
void bindMember(SqliteStatement& st, const MemberRecord& m)
{
    st.bind(1, m.group).bind(2, m.cardnumber).bind(3, m.name).bind(4, m.firstname).bind(5, m.gender);
    st.bind(6, m.birthday).bind(7, m.email).bind(8, m.emailoptin ? 1LL : 0LL).bind(9, m.mobile);
    st.bind(10, m.smsoptin ? 1LL : 0LL).bind(11, m.tel).bind(12, m.line1).bind(13, m.line2).bind(14, m.zip);
    st.bind(15, m.town);
    for (int i = 0; i < 5; ++i)
        st.bind(16 + i, m.criteria[static_cast<size_t>(i)]);
    st.bind(21, m.actif ? 1LL : 0LL).bind(22, m.points).bind(23, m.firstCouponIssued ? 1LL : 0LL);
    st.bind(24, m.lastSale).bind(25, m.created);
}

ChildRecord readChild(const SqliteStatement& st)
{
    return ChildRecord{st.integer(0), st.integer(1), st.text(2), st.text(3), st.text(4)};
}

std::optional<bool> readStatus(const SqliteStatement& st, int column)
{
    if (st.isNull(column))
        return std::nullopt;
    return st.integer(column) != 0;
}

void bindStatus(SqliteStatement& st, int index, const std::optional<bool>& status)
{
    if (status)
        st.bind(index, *status ? 1LL : 0LL);
    else
        st.bindNull(index);
}

CouponRecord readCoupon(const SqliteStatement& st)
{
    CouponRecord c;
    c.id = st.integer(0);
    c.memberId = st.integer(1);
    c.group = st.text(2);
    c.trackCode = st.text(3);
    c.valueCents = st.integer(4);
    c.startDate = st.text(5);
    c.endDate = st.text(6);
    c.status1 = readStatus(st, 7);
    c.status2 = readStatus(st, 8);
    c.dateUpdateStatus1 = st.text(9);
    c.dateUpdateStatus2 = st.text(10);
    c.saleEventId = st.integer(11);
    return c;
}

EventRecord readEvent(const SqliteStatement& st)
{
    EventRecord e;
    e.id = st.integer(0);
    e.memberId = st.integer(1);
    e.group = st.text(2);
    e.type = st.text(3);
    e.date = st.text(4);
    e.fvalue = st.text(5);
    e.sparam = st.text(6);
    e.idExternal = st.text(7);
    e.comment = st.text(8);
    e.couponId = st.integer(9);
    return e;
}

std::string select(std::string_view columns, std::string_view rest)
{
    return "SELECT " + std::string(columns) + " " + std::string(rest);
}

} // namespace

Store::Transaction::Transaction(Store& store) : m_store(store), m_lock(store.m_mutex)
{
    m_store.m_db.exec("BEGIN IMMEDIATE");
}

Store::Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_store.m_db.exec("ROLLBACK");
        } catch (...) {
            // Nothing more can be done about a failed rollback; the lock is released anyway.
        }
    }
}

void Store::Transaction::commit()
{
    m_store.m_db.exec("COMMIT");
    m_done = true;
}

Store::Store(const std::string& path) : m_db(path)
{
    createSchema();
}

void Store::createSchema()
{
    m_db.exec(R"sql(
        PRAGMA foreign_keys = ON;
        CREATE TABLE IF NOT EXISTS members (
            id INTEGER PRIMARY KEY AUTOINCREMENT, grp TEXT NOT NULL, cardnumber TEXT NOT NULL DEFAULT '',
            name TEXT NOT NULL DEFAULT '', firstname TEXT NOT NULL DEFAULT '', gender TEXT NOT NULL DEFAULT '',
            birthday TEXT NOT NULL DEFAULT '', email TEXT NOT NULL DEFAULT '', emailoptin INTEGER NOT NULL DEFAULT 0,
            mobile TEXT NOT NULL DEFAULT '', smsoptin INTEGER NOT NULL DEFAULT 0, tel TEXT NOT NULL DEFAULT '',
            line1 TEXT NOT NULL DEFAULT '', line2 TEXT NOT NULL DEFAULT '', zip TEXT NOT NULL DEFAULT '',
            town TEXT NOT NULL DEFAULT '', cn1 TEXT NOT NULL DEFAULT '0', cn2 TEXT NOT NULL DEFAULT '0',
            cn3 TEXT NOT NULL DEFAULT '0', cn4 TEXT NOT NULL DEFAULT '0', cn5 TEXT NOT NULL DEFAULT '0',
            actif INTEGER NOT NULL DEFAULT 1, points INTEGER NOT NULL DEFAULT 0,
            first_coupon INTEGER NOT NULL DEFAULT 0, last_sale TEXT NOT NULL DEFAULT '',
            created TEXT NOT NULL DEFAULT '');
        CREATE INDEX IF NOT EXISTS members_card ON members(cardnumber);
        CREATE TABLE IF NOT EXISTS children (
            id INTEGER PRIMARY KEY AUTOINCREMENT, member_id INTEGER NOT NULL REFERENCES members(id),
            firstname TEXT NOT NULL DEFAULT '', sex TEXT NOT NULL DEFAULT '', birthday TEXT NOT NULL DEFAULT '');
        CREATE TABLE IF NOT EXISTS coupons (
            id INTEGER PRIMARY KEY AUTOINCREMENT, member_id INTEGER NOT NULL REFERENCES members(id),
            grp TEXT NOT NULL, track_code TEXT NOT NULL DEFAULT '', value_cents INTEGER NOT NULL,
            start_date TEXT NOT NULL, end_date TEXT NOT NULL, status1 INTEGER, status2 INTEGER,
            date_status1 TEXT NOT NULL DEFAULT '', date_status2 TEXT NOT NULL DEFAULT '',
            sale_event INTEGER NOT NULL DEFAULT 0);
        CREATE INDEX IF NOT EXISTS coupons_member ON coupons(member_id);
        CREATE TABLE IF NOT EXISTS events (
            id INTEGER PRIMARY KEY AUTOINCREMENT, member_id INTEGER NOT NULL REFERENCES members(id),
            grp TEXT NOT NULL, type TEXT NOT NULL, date TEXT NOT NULL, fvalue TEXT NOT NULL DEFAULT '',
            sparam TEXT NOT NULL DEFAULT '', id_external TEXT NOT NULL DEFAULT '',
            comment TEXT NOT NULL DEFAULT '', coupon_id INTEGER NOT NULL DEFAULT 0);
        CREATE INDEX IF NOT EXISTS events_member ON events(member_id);
        CREATE TABLE IF NOT EXISTS event_details (
            id INTEGER PRIMARY KEY AUTOINCREMENT, event_id INTEGER NOT NULL REFERENCES events(id),
            detail_type TEXT NOT NULL DEFAULT '', class1 TEXT NOT NULL DEFAULT '',
            class10 TEXT NOT NULL DEFAULT '', quantity TEXT NOT NULL DEFAULT '',
            unit_value TEXT NOT NULL DEFAULT '', final_value TEXT NOT NULL DEFAULT '');
    )sql");
    // Each kind of object numbers from its own range, so that an id of one kind is never taken for another.
    m_db.exec(R"sql(
        INSERT INTO sqlite_sequence(name, seq) SELECT 'members', 1000
            WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'members');
        INSERT INTO sqlite_sequence(name, seq) SELECT 'children', 5000
            WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'children');
        INSERT INTO sqlite_sequence(name, seq) SELECT 'coupons', 70000
            WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'coupons');
        INSERT INTO sqlite_sequence(name, seq) SELECT 'events', 900000
            WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'events');
    )sql");
}

bool Store::isEmpty()
{
    auto st = m_db.prepare("SELECT COUNT(*) FROM members");
    st.step();
    return st.integer(0) == 0;
}

std::vector<MemberRecord> Store::findMembers(const MemberQuery& query)
{
    auto st = m_db.prepare(select(kMemberColumns,
                                  "FROM members WHERE grp = ?1 AND (?2 IS NULL OR actif = ?2) "
                                  "AND (?3 IS NULL OR id = ?3) AND (?4 IS NULL OR cardnumber = ?4)"));
    st.bind(1, query.group);
    if (query.actif)
        st.bind(2, *query.actif ? 1LL : 0LL);
    else
        st.bindNull(2);
    if (query.id)
        st.bind(3, *query.id);
    else
        st.bindNull(3);
    if (query.cardnumber)
        st.bind(4, *query.cardnumber);
    else
        st.bindNull(4);
    std::vector<MemberRecord> found;
    while (st.step()) {
        MemberRecord m = readMember(st);
        if (query.namePrefix && !encoding::startsWithFolded(m.name, *query.namePrefix))
            continue;
        if (query.firstnamePrefix && !encoding::startsWithFolded(m.firstname, *query.firstnamePrefix))
            continue;
        found.push_back(std::move(m));
    }
    std::stable_sort(found.begin(), found.end(), [](const MemberRecord& a, const MemberRecord& b) {
        const std::string an = encoding::foldCase(a.name);
        const std::string bn = encoding::foldCase(b.name);
        if (an != bn)
            return an < bn;
        const std::string af = encoding::foldCase(a.firstname);
        const std::string bf = encoding::foldCase(b.firstname);
        if (af != bf)
            return af < bf;
        return a.id < b.id;
    });
    return found;
}

std::vector<MemberRecord> Store::allMembers()
{
    auto st = m_db.prepare(select(kMemberColumns, "FROM members ORDER BY grp, id"));
    std::vector<MemberRecord> all;
    while (st.step())
        all.push_back(readMember(st));
    return all;
}

std::optional<MemberRecord> Store::member(long long id)
{
    auto st = m_db.prepare(select(kMemberColumns, "FROM members WHERE id = ?1"));
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    return readMember(st);
}

std::optional<MemberRecord> Store::memberByCard(const std::string& cardnumber)
{
    auto st = m_db.prepare(select(kMemberColumns, "FROM members WHERE cardnumber = ?1 ORDER BY id LIMIT 1"));
    st.bind(1, cardnumber);
    if (!st.step())
        return std::nullopt;
    return readMember(st);
}

long long Store::insertMember(const MemberRecord& member)
{
    auto st = m_db.prepare(
        "INSERT INTO members (grp, cardnumber, name, firstname, gender, birthday, email, "
        "emailoptin, mobile, smsoptin, tel, line1, line2, zip, town, cn1, cn2, cn3, cn4, cn5, "
        "actif, points, first_coupon, last_sale, created) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
        "?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25)");
    bindMember(st, member);
    st.run();
    return m_db.lastInsertId();
}

void Store::updateMember(const MemberRecord& member)
{
    auto st =
        m_db.prepare("UPDATE members SET grp = ?1, cardnumber = ?2, name = ?3, firstname = ?4, gender = ?5, "
                     "birthday = ?6, email = ?7, emailoptin = ?8, mobile = ?9, smsoptin = ?10, tel = ?11, "
                     "line1 = ?12, line2 = ?13, zip = ?14, town = ?15, cn1 = ?16, cn2 = ?17, cn3 = ?18, "
                     "cn4 = ?19, cn5 = ?20, actif = ?21, points = ?22, first_coupon = ?23, last_sale = ?24, "
                     "created = ?25 WHERE id = ?26");
    bindMember(st, member);
    st.bind(26, member.id);
    st.run();
}

std::vector<ChildRecord> Store::children(long long memberId)
{
    auto st =
        m_db.prepare("SELECT id, member_id, firstname, sex, birthday FROM children WHERE member_id = ?1 "
                     "ORDER BY id");
    st.bind(1, memberId);
    std::vector<ChildRecord> all;
    while (st.step())
        all.push_back(readChild(st));
    return all;
}

std::optional<ChildRecord> Store::child(long long id)
{
    auto st = m_db.prepare("SELECT id, member_id, firstname, sex, birthday FROM children WHERE id = ?1");
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    return readChild(st);
}

long long Store::insertChild(const ChildRecord& child)
{
    auto st =
        m_db.prepare("INSERT INTO children (member_id, firstname, sex, birthday) VALUES (?1, ?2, ?3, ?4)");
    st.bind(1, child.memberId).bind(2, child.firstname).bind(3, child.sex).bind(4, child.birthday);
    st.run();
    return m_db.lastInsertId();
}

void Store::updateChild(const ChildRecord& child)
{
    auto st = m_db.prepare("UPDATE children SET firstname = ?1, sex = ?2, birthday = ?3 WHERE id = ?4");
    st.bind(1, child.firstname).bind(2, child.sex).bind(3, child.birthday).bind(4, child.id);
    st.run();
}

std::vector<CouponRecord> Store::coupons(long long memberId)
{
    auto st = m_db.prepare(select(kCouponColumns, "FROM coupons WHERE member_id = ?1 ORDER BY end_date, id"));
    st.bind(1, memberId);
    std::vector<CouponRecord> all;
    while (st.step())
        all.push_back(readCoupon(st));
    return all;
}

std::vector<CouponRecord> Store::allCoupons()
{
    auto st = m_db.prepare(select(kCouponColumns, "FROM coupons ORDER BY grp, member_id, end_date, id"));
    std::vector<CouponRecord> all;
    while (st.step())
        all.push_back(readCoupon(st));
    return all;
}

std::optional<CouponRecord> Store::coupon(long long id)
{
    auto st = m_db.prepare(select(kCouponColumns, "FROM coupons WHERE id = ?1"));
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    return readCoupon(st);
}

long long Store::insertCoupon(const CouponRecord& coupon)
{
    auto st =
        m_db.prepare("INSERT INTO coupons (member_id, grp, track_code, value_cents, start_date, end_date, "
                     "status1, status2, date_status1, date_status2, sale_event) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    st.bind(1, coupon.memberId).bind(2, coupon.group).bind(3, coupon.trackCode).bind(4, coupon.valueCents);
    st.bind(5, coupon.startDate).bind(6, coupon.endDate);
    bindStatus(st, 7, coupon.status1);
    bindStatus(st, 8, coupon.status2);
    st.bind(9, coupon.dateUpdateStatus1).bind(10, coupon.dateUpdateStatus2).bind(11, coupon.saleEventId);
    st.run();
    const long long id = m_db.lastInsertId();
    if (coupon.trackCode.empty()) {
        // A 13-digit code that only this coupon carries.
        auto code = m_db.prepare("UPDATE coupons SET track_code = printf('29%011d', id) WHERE id = ?1");
        code.bind(1, id);
        code.run();
    }
    return id;
}

void Store::updateCoupon(const CouponRecord& coupon)
{
    auto st =
        m_db.prepare("UPDATE coupons SET status1 = ?1, status2 = ?2, date_status1 = ?3, date_status2 = ?4 "
                     "WHERE id = ?5");
    bindStatus(st, 1, coupon.status1);
    bindStatus(st, 2, coupon.status2);
    st.bind(3, coupon.dateUpdateStatus1).bind(4, coupon.dateUpdateStatus2).bind(5, coupon.id);
    st.run();
}

std::vector<EventRecord> Store::events(long long memberId)
{
    auto st = m_db.prepare(select(kEventColumns, "FROM events WHERE member_id = ?1 ORDER BY date, id"));
    st.bind(1, memberId);
    std::vector<EventRecord> all;
    while (st.step())
        all.push_back(readEvent(st));
    return all;
}

long long Store::eventCount(long long memberId)
{
    auto st = m_db.prepare("SELECT (SELECT COUNT(*) FROM events WHERE member_id = ?1) + "
                           "(SELECT COUNT(*) FROM coupons WHERE member_id = ?1)");
    st.bind(1, memberId);
    st.step();
    return st.integer(0);
}

long long Store::insertEvent(const EventRecord& event)
{
    auto st =
        m_db.prepare("INSERT INTO events (member_id, grp, type, date, fvalue, sparam, id_external, comment, "
                     "coupon_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    st.bind(1, event.memberId).bind(2, event.group).bind(3, event.type).bind(4, event.date);
    st.bind(5, event.fvalue).bind(6, event.sparam).bind(7, event.idExternal).bind(8, event.comment);
    st.bind(9, event.couponId);
    st.run();
    return m_db.lastInsertId();
}

void Store::insertDetail(const EventDetailRecord& detail)
{
    auto st = m_db.prepare("INSERT INTO event_details (event_id, detail_type, class1, class10, quantity, "
                           "unit_value, final_value) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    st.bind(1, detail.eventId).bind(2, detail.detailType).bind(3, detail.class1).bind(4, detail.class10);
    st.bind(5, detail.quantity).bind(6, detail.unitValue).bind(7, detail.finalValue);
    st.run();
}

std::vector<EventDetailRecord> Store::details(long long eventId)
{
    auto st = m_db.prepare("SELECT event_id, detail_type, class1, class10, quantity, unit_value, final_value "
                           "FROM event_details WHERE event_id = ?1 ORDER BY id");
    st.bind(1, eventId);
    std::vector<EventDetailRecord> all;
    while (st.step())
        all.push_back(EventDetailRecord{st.integer(0), st.text(1), st.text(2), st.text(3), st.text(4),
                                        st.text(5), st.text(6)});
    return all;
}
