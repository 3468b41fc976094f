#include "DemoData.h"

#include "CouponService.h"
#include "EventService.h"
#include "LoyaltyRules.h"

#include <string>
#include <vector>

namespace {

enum class Story
{
    None,      // no event at all
    Single,    // exactly one event: a purchase below one euro
    Few,       // a few sales, no coupon yet
    OpenSmall, // an open 7.50 coupon
    OpenBoth,  // open 7.50 and 20 coupons
    UsedSmall, // a 7.50 coupon used at the counter
    UsedBig,   // a 20 coupon used at the counter
    Expired,   // a 7.50 coupon that has expired
    Deleted,   // a 7.50 coupon deleted by the operator
    Mixed,     // expired 7.50 and 20, a used 7.50 and an open 20
    Long       // a long-standing customer: 500 events
};

struct Child
{
    const char* firstname;
    const char* sex;
    const char* birthday;
};

struct Person
{
    const char* group;
    const char* card;
    const char* gender;
    const char* name;
    const char* firstname;
    const char* birthday;
    const char* email;
    const char* mobile;
    const char* tel;
    const char* line1;
    const char* line2;
    const char* zip;
    const char* town;
    const char* criteria; // five digits, cn1 .. cn5
    bool actif;
    Story story;
    std::vector<Child> children;
};

struct Sale
{
    int daysAgo;
    long long cents;
    const char* seller;
    int useCoupon; // > 0: the member uses the n-th coupon still open (1 = oldest) at this sale
};

// The people of the two pharmacies. Homonyms (DUPONT, and DUPONTEL which a DUPONT search also finds),
// accented and long names, members without e-mail, without mobile or without either, one inactive member.
std::vector<Person> people()
{
    // clang-format off
    return {
        // Pharmacie du Centre (101)
        {"101", "1010001", "MME", "DUPONT", "Marie", "1975-04-12", "marie.dupont@example.fr", "0612345678",
         "0478000001", "12 rue de la République", "", "69002", "LYON", "10010", true, Story::OpenSmall, {}},
        {"101", "1010002", "M", "DUPONT", "Jean", "1972-09-30", "jean.dupont@example.fr", "", "0478000002",
         "12 rue de la République", "", "69002", "LYON", "00100", true, Story::Few,
         {{"Lucas", "M", "2010-06-15"}}},
        {"101", "1010003", "MME", "DUPONT", "Martine", "1950-01-05", "", "0698765432", "",
         "4 impasse des Tilleuls", "", "69005", "LYON", "00001", true, Story::None, {}},
        {"101", "1010004", "M", "DUPONT", "Marc", "1988-11-11", "marc.dupont@example.fr", "0611223344", "",
         "27 avenue Jean Jaurès", "Appartement 12", "69007", "LYON", "11000", true, Story::Mixed,
         {{"Léa", "F", "2015-04-02"}, {"Hugo", "M", "2017-08-20"}, {"Chloé", "F", "2020-01-10"}}},
        {"101", "1010005", "MME", "DUPONTEL", "Agnès", "1964-07-21", "agnes.dupontel@example.fr", "0622334455", "",
         "8 quai Saint-Vincent", "", "69001", "LYON", "00010", true, Story::Single, {}},
        {"101", "1010006", "M", "MARTIN", "Paul", "1958-03-03", "paul.martin@example.fr", "0633445566",
         "0478000006", "1 place Bellecour", "", "69002", "LYON", "10101", true, Story::Long,
         {{"Camille", "F", "1990-05-05"}}},
        {"101", "1010007", "MELLE", "LEFÈVRE", "Élodie", "1996-12-25", "elodie.lefevre@example.fr", "0644556677",
         "", "3 place de l'Église", "Bâtiment B", "69003", "LYON", "10000", true, Story::Expired, {}},
        {"101", "1010008", "MME", "GÉRARD", "Françoise", "1961-02-14", "francoise.gerard@example.fr", "0655667788",
         "", "19 rue Mercière", "", "69002", "LYON", "00011", true, Story::Deleted, {}},
        {"101", "1010009", "M", "MÜLLER", "Jürgen", "1970-08-08", "jurgen.muller@example.de", "0666778899", "",
         "5 rue de Brest", "", "69002", "LYON", "00100", true, Story::UsedBig, {}},
        {"101", "1010010", "M", "O'CONNOR", "Seán", "1983-03-17", "sean.oconnor@example.ie", "0677889900", "",
         "2 rue Saint-Jean", "", "69005", "LYON", "01000", true, Story::UsedSmall, {{"Aoife", "F", "2012-09-01"}}},
        {"101", "1010011", "MME", "MONTMORENCY-LAVAL", "Anne-Sophie", "1979-10-02", "as.montmorency@example.fr",
         "0688990011", "", "140 boulevard des Belges", "", "69006", "LYON", "11111", true, Story::OpenBoth,
         {{"Charles-Édouard", "M", "2008-02-29"}, {"Marie-Hélène", "F", "2011-07-14"}}},
        {"101", "1010012", "MME", "NGUYEN", "Thi", "1985-05-19", "", "", "0478000012", "60 rue Paul Bert", "",
         "69003", "LYON", "00000", true, Story::Few, {}},
        {"101", "1010013", "MELLE", "BERNARD", "Chloé", "2001-01-30", "chloe.bernard@example.fr", "", "",
         "11 rue Garibaldi", "", "69006", "LYON", "10000", true, Story::None, {}},
        {"101", "1010014", "M", "PETIT", "Louis", "1949-06-06", "", "0699001122", "", "7 rue Victor Hugo", "",
         "69002", "LYON", "00010", true, Story::Few, {}},
        {"101", "1010015", "MME", "ROBERT", "Zoé", "1992-04-04", "zoe.robert@example.fr", "0610203040", "",
         "33 cours Lafayette", "", "69003", "LYON", "01000", true, Story::OpenSmall,
         {{"Nina", "F", "2019-11-23"}}},
        {"101", "1010016", "M", "RICHARD", "Noël", "1966-12-24", "noel.richard@example.fr", "0620304050", "",
         "9 montée de la Grande Côte", "", "69001", "LYON", "00100", true, Story::None, {}},
        {"101", "1010017", "MME", "DURAND", "Inès", "1987-09-09", "ines.durand@example.fr", "0630405060", "",
         "21 rue de Sèze", "", "69006", "LYON", "01100", true, Story::Few, {}},
        {"101", "1010018", "MME", "MOREAU", "Gaëlle", "1974-02-02", "", "0640506070", "0478000018",
         "4 rue Ney", "", "69006", "LYON", "00001", true, Story::None, {}},
        {"101", "1010019", "M", "SIMON", "Jérôme", "1981-08-15", "jerome.simon@example.fr", "0650607080", "",
         "15 rue Tronchet", "", "69006", "LYON", "10000", true, Story::Few, {}},
        {"101", "1010020", "MME", "LAURENT", "Cécile", "1969-11-30", "cecile.laurent@example.fr", "", "",
         "2 rue Juliette Récamier", "", "69006", "LYON", "00010", true, Story::None, {}},
        {"101", "1010021", "M", "ANCIEN", "Client", "1940-01-01", "", "", "", "", "", "", "", "00000", false,
         Story::Few, {}},
        {"101", "1010022", "M", "DUPOND", "Michel", "1955-05-05", "michel.dupond@example.fr", "0660708090", "",
         "18 rue Childebert", "", "69002", "LYON", "00100", true, Story::Few, {}},
        {"101", "1010023", "MME", "FAURE", "Hélène", "1977-07-07", "helene.faure@example.fr", "0670809010", "",
         "6 rue Sainte-Catherine", "", "69001", "LYON", "10000", true, Story::None, {}},
        {"101", "1010024", "M", "ANDRÉ", "Benoît", "1990-10-10", "benoit.andre@example.fr", "0680901020", "",
         "44 rue de la Charité", "", "69002", "LYON", "01000", true, Story::Few, {}},
        {"101", "1010025", "MELLE", "FONTAINE", "Maëlys", "2003-03-21", "maelys.fontaine@example.fr", "0690102030",
         "", "1 rue d'Algérie", "", "69001", "LYON", "11000", true, Story::None, {}},
        // Pharmacie de la Gare (102)
        {"102", "1020001", "MME", "DUPONT", "Sophie", "1980-02-20", "sophie.dupont@example.fr", "0611112222", "",
         "3 place de la Gare", "", "38000", "GRENOBLE", "10000", true, Story::OpenSmall, {}},
        {"102", "1020002", "M", "GARCIA", "Manuel", "1968-04-11", "manuel.garcia@example.es", "0611113333", "",
         "15 avenue Alsace-Lorraine", "", "38000", "GRENOBLE", "00100", true, Story::Few,
         {{"Lucía", "F", "2009-03-15"}}},
        {"102", "1020003", "MME", "ROUX", "Camille", "1993-06-18", "", "0611114444", "", "8 rue Félix Poulat",
         "", "38000", "GRENOBLE", "01000", true, Story::UsedSmall, {}},
        {"102", "1020004", "M", "VINCENT", "Théo", "1999-09-29", "theo.vincent@example.fr", "", "",
         "22 cours Berriat", "", "38000", "GRENOBLE", "00010", true, Story::None, {}},
        {"102", "1020005", "M", "FOURNIER", "Léon", "1945-12-01", "", "", "0476000005", "5 rue Lesdiguières",
         "", "38000", "GRENOBLE", "00001", true, Story::Expired, {}},
        {"102", "1020006", "MME", "MOREL", "Anaïs", "1986-01-26", "anais.morel@example.fr", "0611115555", "",
         "40 boulevard Gambetta", "Résidence Les Érables", "38000", "GRENOBLE", "11000", true, Story::OpenBoth,
         {{"Jade", "F", "2014-10-10"}, {"Louis", "M", "2016-12-12"}, {"Rose", "F", "2021-05-05"}}},
        {"102", "1020007", "M", "GIRARD", "Émile", "1959-08-31", "emile.girard@example.fr", "0611116666", "",
         "12 rue Thiers", "", "38000", "GRENOBLE", "00100", true, Story::Few, {}},
        {"102", "1020008", "MME", "BONNET", "Margaux", "1991-03-09", "margaux.bonnet@example.fr", "0611117777",
         "", "9 rue Turenne", "", "38000", "GRENOBLE", "10010", true, Story::None, {}},
        {"102", "1020009", "M", "LAMBERT", "Aurélien", "1984-11-22", "aurelien.lambert@example.fr", "0611118888",
         "", "31 rue Saint-Laurent", "", "38000", "GRENOBLE", "01000", true, Story::UsedBig, {}},
        {"102", "1020010", "MME", "FRANÇOIS", "Céline", "1976-05-13", "celine.francois@example.fr", "", "",
         "2 place Grenette", "", "38000", "GRENOBLE", "00010", true, Story::Few, {}},
        {"102", "1020011", "M", "MERCIER", "Loïc", "1989-07-04", "loic.mercier@example.fr", "0611119999", "",
         "17 rue de Bonne", "", "38000", "GRENOBLE", "00100", true, Story::Deleted, {}},
        {"102", "1020012", "MME", "BLANC", "Bérénice", "1971-10-27", "", "0622221111", "",
         "6 rue Voltaire", "", "38000", "GRENOBLE", "00001", true, Story::Single, {}},
        {"102", "1020013", "M", "GUÉRIN", "Raphaël", "1997-02-07", "raphael.guerin@example.fr", "0622222222",
         "", "28 cours Jean Jaurès", "", "38000", "GRENOBLE", "10000", true, Story::None, {}},
        {"102", "1020014", "MME", "BOYER", "Éva", "2000-08-16", "eva.boyer@example.fr", "0622223333", "",
         "4 rue Docteur Mazet", "", "38000", "GRENOBLE", "01000", true, Story::Few, {}},
        {"102", "1020015", "MELLE", "CHEVALIER", "Adèle", "2002-12-03", "adele.chevalier@example.fr",
         "0622224444", "", "10 rue Servan", "", "38000", "GRENOBLE", "11000", true, Story::None, {}},
        {"102", "1020016", "MME", "DUPONT", "Marie", "1982-06-30", "marie.dupont2@example.fr", "0622225555", "",
         "55 avenue Félix Viallet", "", "38000", "GRENOBLE", "00100", true, Story::Few, {}},
        {"102", "1020017", "M", "CLÉMENT", "Jules", "1994-04-24", "jules.clement@example.fr", "0622226666", "",
         "13 quai Stéphane Jay", "", "38000", "GRENOBLE", "00010", true, Story::Mixed, {}},
    };
    // clang-format on
}

std::vector<Sale> salesOf(Story story)
{
    switch (story) {
    case Story::None:
    case Story::Long:
        return {};
    case Story::Single:
        return {{5, 80, "", 0}};
    case Story::Few:
        return {{40, 2340, "07", 0}, {12, 3190, "", 0}};
    case Story::OpenSmall:
        return {{60, 4500, "07", 0}, {30, 3850, "12", 0}, {10, 2780, "07", 0}};
    case Story::OpenBoth:
        return {{70, 8990, "12", 0}, {45, 6420, "07", 0}, {20, 5200, "AB", 0}};
    case Story::UsedSmall:
        return {{50, 7200, "07", 0}, {35, 4100, "07", 0}, {20, 1500, "12", 1}};
    case Story::UsedBig:
        return {{60, 12000, "AB", 0}, {40, 9500, "AB", 0}, {20, 1800, "07", 2}};
    case Story::Expired:
        return {{200, 6000, "12", 0}, {150, 5500, "12", 0}, {30, 1250, "", 0}};
    case Story::Deleted:
        return {{80, 7000, "07", 0}, {60, 4000, "07", 0}};
    case Story::Mixed:
        return {{300, 8000, "07", 0}, {250, 4000, "12", 0}, {100, 9000, "AB", 0},
                {40, 9500, "07", 0},  {25, 6000, "12", 2},  {10, 4800, "07", 0}};
    }
    return {};
}

class Seeder final
{
public:
    Seeder(Store& store, const Clock& clock)
        : m_store(store), m_now(clock.now()), m_coupons(store, clock), m_events(store, clock, m_coupons)
    {
    }

    void add(const Person& p)
    {
        MemberRecord m;
        m.group = p.group;
        m.cardnumber = p.card;
        m.gender = p.gender;
        m.name = p.name;
        m.firstname = p.firstname;
        m.birthday = p.birthday;
        m.email = p.email;
        m.emailoptin = !m.email.empty() && (m.cardnumber.back() % 3) != 0;
        m.mobile = p.mobile;
        m.smsoptin = !m.mobile.empty() && (m.cardnumber.back() % 2) == 0;
        m.tel = p.tel;
        m.line1 = p.line1;
        m.line2 = p.line2;
        m.zip = p.zip;
        m.town = p.town;
        for (size_t i = 0; i < 5; ++i)
            m.criteria[i] = std::string(1, p.criteria[i]);
        m.actif = p.actif;
        m.created = Clock::atTime(m_now, -720, 9, 0, 0);
        m.id = m_store.insertMember(m);
        for (const Child& c : p.children)
            m_store.insertChild(ChildRecord{0, m.id, c.firstname, c.sex, c.birthday});
        if (p.story == Story::Long)
            longHistory(m);
        else
            history(m, salesOf(p.story), p.story == Story::Deleted);
    }

private:
    std::string at(int daysAgo, int minuteOfDay) const
    {
        return Clock::atTime(m_now, -daysAgo, 9 + minuteOfDay / 60 % 9, minuteOfDay % 60, 0);
    }

    std::string saleNumber() { return "V" + std::to_string(100000 + ++m_sales); }

    void useCoupon(MemberRecord& m, int nth, const std::string& date)
    {
        int open = 0;
        for (auto& c : m_store.coupons(m.id)) {
            if (c.status1.value_or(false) || c.status2.value_or(false) || c.endDate <= date ||
                c.startDate > date)
                continue;
            if (++open != nth)
                continue;
            m_events.recordCouponUse(m, c, c.trackCode, date);
            c.status2 = true;
            c.dateUpdateStatus2 = date;
            m_store.updateCoupon(c);
            return;
        }
    }

    void history(MemberRecord& m, const std::vector<Sale>& sales, bool deleteCoupon)
    {
        for (const Sale& s : sales) {
            const std::string date = at(s.daysAgo, static_cast<int>(m.id % 7) * 47 + 30);
            if (s.useCoupon > 0)
                useCoupon(m, s.useCoupon, date);
            m_events.recordSale(m, s.cents, s.seller, s.cents >= 100 ? saleNumber() : "", {}, date);
        }
        if (deleteCoupon) {
            for (auto& c : m_store.coupons(m.id)) {
                c.status1 = true;
                c.dateUpdateStatus1 = Clock::addDays(c.startDate, 5);
                m_store.updateCoupon(c);
            }
        }
    }

    // Sales every other day for more than a year, every other coupon used at the next visit, until the
    // member's event list holds exactly 500 entries.
    void longHistory(MemberRecord& m)
    {
        static const char* sellers[] = {"07", "12", "AB", ""};
        unsigned seed = 12345;
        size_t issued = 0;
        bool useNext = false;
        int i = 0;
        for (long long count = 0; count < 500; count = m_store.eventCount(m.id), ++i) {
            const std::string date = at(std::max(1, 450 - 2 * i), (i * 37) % 540);
            if (count >= 490) {
                // Purchases below one euro add one event each, so the list ends on exactly 500.
                m_events.recordSale(m, 50 + i % 40, "", "", {}, date);
                continue;
            }
            if (useNext) {
                useCoupon(m, 1, date);
                useNext = false;
            }
            seed = seed * 1103515245u + 12345u;
            const long long cents = 800 + static_cast<long long>((seed >> 8) % 2700);
            m_events.recordSale(m, cents, sellers[i % 4], saleNumber(), {}, date);
            const size_t now = m_store.coupons(m.id).size();
            if (now > issued && (issued % 2) == 0)
                useNext = true;
            issued = now;
        }
    }

    Store& m_store;
    std::string m_now;
    CouponService m_coupons;
    EventService m_events;
    int m_sales = 0;
};

} // namespace

bool DemoData::seed(Store& store, const Clock& clock)
{
    Store::Transaction transaction(store);
    if (!store.isEmpty())
        return false;
    Seeder seeder(store, clock);
    for (const Person& p : people())
        seeder.add(p);
    transaction.commit();
    return true;
}
