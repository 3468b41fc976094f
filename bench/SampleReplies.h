#pragma once

#include <QByteArray>

// Platform replies as the counter receives them, built once with realistic members: French names
// with accents, addresses, points, and a history mixing sales, points, coupons and their use.
class SampleReplies final
{
public:
    // {"FidelityMember":{...,"event":{"list":[...]}}} with that many events.
    static QByteArray memberwithevents(int events);
    // {"list":[{"id","cardnumber","name","firstname","nbPoint","address"},...]} with that many members.
    static QByteArray memberlist(int members);
};
