#pragma once

#include "api/HttpClient.h"

#include <QString>

class CounterClient;
class KeptSales;
struct KeptSale;

// Sends the kept sales to the platform, oldest first, each once. A round takes the sales one by
// one from the kept sales' file (claim), and for each:
//   1. looks the member up by id: the reply brings the member's events;
//   2. a sale that may have left before (a lost reply, or a counter that died while sending it)
//      is looked for among the events that were not there before that send: found, it is
//      settled and never sent again;
//   3. writes the keys of the events read now into the file, then sends the sale's request,
//      byte for byte as the counter built it;
//   4. an OK envelope settles it; a lost reply is settled by a second lookup (the sale among the
//      new events), or left "may have left" when the platform cannot say.
// A sale the platform refuses stays with its failure and the round goes on; when the platform
// cannot be reached the round ends, the sale back in the list, the others untouched. The writes
// of the counter and of the enrolment form not known yet are never sent from here: the platform's
// record settles them (see Settlement and MemberWrites).
class KeptSender final
{
public:
    struct Round
    {
        int settled = 0; // sales confirmed by the platform and removed from the file
        int failed = 0;  // sales tried and left in the file with their failure
        // Why the file could not be used, when it could not.
        QString failure;
    };

    KeptSender(KeptSales& store, CounterClient& client);

    // One round over every sale nobody else is sending.
    Round run(const QString& idpharma);

    // The texts kept with a sale, in the list's "last failure" column.
    static QString unreachablemessage(const HttpReply& reply);
    static QString memberfailuremessage(const QString& reason);
    static QString noeventsmessage();
    static QString unconfirmedmessage();
    static QString notrecordedmessage();
    static QString refusedmessage(const QString& reason);

private:
    enum class Step
    {
        Settled,
        Kept,    // a sale of the counter found not recorded became a kept sale
        Failed,  // left in the file with its failure; the round goes on
        Stopped, // the round ends
    };
    Step send(const KeptSale& sale, Round& round);
    // The member's events as the platform holds them now; when they could not be read, why
    // (`failure`) and whether the round ends for it (`stop`).
    struct Events;
    Events readevents(const KeptSale& sale);
    Step release(const KeptSale& sale, const QString& failure, bool mayhaveleft, Step step, Round& round);
    Step settle(const KeptSale& sale, Round& round);
    // A sale or coupon use of the counter, settled by the member's events.
    Step settlewrite(const KeptSale& write, const Events& now, Round& round);
    // A member write of the enrolment form, settled by the record of its member.
    Step settlemember(const KeptSale& write, Round& round);

    KeptSales& m_store;
    CounterClient& m_client;
    QString m_idpharma;
};
