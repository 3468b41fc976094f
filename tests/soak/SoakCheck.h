#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

// The soak's verdict: what the counters told the pharmacist and kept (their logs, SoakLog) against
// the platform's own record at the end of a history, once everything has settled.
namespace SoakCheck {

// What the platform holds and received.
struct Record
{
    // Sales of the soak's sellers credited, by sale number.
    QHash<QString, int> credited;
    // Uses of a coupon recorded, by coupon id.
    QHash<QString, int> used;
    // The sale attempts (their product line's code) that reached the platform, from its journal.
    QSet<QString> received;
};

// What the logs say was done.
struct Counts
{
    int sales = 0;      // sale attempts (each validation)
    int coupons = 0;    // coupon uses tried
    int lookups = 0;    // lookups and refreshes
    int killed = 0;     // steps cut short by a kill
    int recorded = 0;   // sales told recorded
    int confirming = 0; // sales told "à confirmer" at some point
    int kept = 0;       // sales kept to send later
    int deleted = 0;    // kept sales deleted
    // Sale numbers the platform must credit once, never, or at most once (the last step that could
    // settle them was cut short before it told anything).
    int once = 0;
    int never = 0;
    int atmostonce = 0;
};

struct Verdict
{
    QStringList failures;
    Counts counts;
};

// The lines of each counter's log, in the order written (a counter's incarnations one after the
// other). Every sale number is checked:
//   the platform credits it at most once;
//   told recorded, it is credited;
//   its last word "à confirmer" or kept (not deleted since), it is credited, once;
//   its last word "not recorded", "not sent" or refused, it is not credited;
//   a step cut short by a kill whose attempt reached the platform: credited once (the outbox
//   noted it before it left), unless deleted since;
// and every coupon is used at most once, and told recorded, it is used.
Verdict check(const std::vector<std::vector<QJsonObject>>& logs, const Record& record);

} // namespace SoakCheck
