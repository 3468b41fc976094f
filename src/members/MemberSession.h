#pragma once

#include "api/WriteResult.h"
#include "members/Member.h"
#include "members/MemberWrites.h"
#include "outbox/KeptSales.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

class Clock;
class Connection;
class CounterClient;
class Dialogs;
class JsonValue;
class Settings;

// The enrolment form's flows without a window: an enrolment or a modification saved on the
// platform, the member first and then its children, one request each. Every write is noted in
// the outbox before it leaves; a write whose reply is lost is looked for at once in the platform's
// record of the member (by card for an enrolment, by id otherwise) and, when the record cannot tell
// yet, stays in the outbox "not yet known", never sent again: the next save reads the record
// first, and sends nothing while it still cannot tell. The counter's lookups and the background
// sender settle those writes too, after the form has closed.
class MemberSession final
{
public:
    // What the session works with; all of it lives for the whole run.
    struct Context
    {
        Connection& connexion; // the writes
        CounterClient& client; // the lookups that read the record
        const Settings& settings;
        Dialogs& dialogs;
        const Clock& clock;
    };

    // What a save came to.
    struct Outcome
    {
        enum class Result
        {
            Saved,       // the platform holds the member
            Refused,     // the platform refused the member: its text is among the messages
            NotSent,     // the member is not recorded: nothing left, or the record proves it absent
            Unconfirmed, // the member's write, sent now or before, is not known yet
        };
        Result result = Result::NotSent;
        // Saved, but a child to be sent is not recorded, or not known yet.
        bool childrenpending = false;
        // How the next save of the same record goes: an update once the member exists.
        SaveMode mode = SaveMode::Create;
        // The French texts for the user, in order, each for an information box.
        QStringList messages;

        bool saved() const { return result == Result::Saved; }
    };

    explicit MemberSession(const Context& context);

    // The outbox the writes are noted in; without one a lost reply is settled from memory only.
    void setoutbox(KeptSales* store) { m_outbox = store; }
    // A form opens: the writes the last one left not known stay in the outbox, for whoever reads
    // their record next.
    void start();

    // Sends the member (a create stores its new id), then, once the platform holds it, its
    // flagged children that are not marked for deletion, stopping at the first that is not
    // recorded. The writes of this member not known yet are settled first; while one still cannot
    // be, nothing is sent. A save that is not recorded leaves the record as it was, but for the ids
    // of what the platform now holds, so that the same save can be tried again.
    Outcome save(Member& member, SaveMode mode);

    // The member the counter's lookup just read (the lookup left at `asked`) settles the writes not
    // known yet of that member, and the enrolments of its card: the texts to tell the pharmacist.
    QStringList settleread(const JsonValue& member, const QDateTime& asked);

private:
    // A write sent by this form whose outcome it did not know; `slot` is a child's.
    struct Open
    {
        KeptSale write;
        int slot = 0;
    };
    // One write sent: the reply's reading, and what the record says when the reply was lost.
    struct Sent
    {
        WriteResult result;
        MemberWrites::Judged judged;
    };
    enum class Earlier
    {
        Clear,   // nothing stands in the way
        Stopped, // the save stops here: told why
    };

    Earlier settleearlier(Member& member, Outcome& outcome);
    // Settles one earlier write: claimed from the outbox when it is there (`listed`), judged by
    // its member's record; the write as it now stands, with its state.
    MemberWrites::Judged settleone(KeptSale& write, bool listed,
                                   QHash<QString, MemberWrites::Record>& records, Outcome& outcome);
    bool savemember(Member& member, Outcome& outcome);
    void saveenfants(Member& member, Outcome& outcome);
    Sent send(KeptSale write, int slot, Outcome& outcome);
    // The enrolment was refused for its card: the member holding it is this customer, enrolled
    // before, whose id the record takes.
    bool enrolledbefore(Member& member, Outcome& outcome);

    KeptSale memberwrite(const Member& member, SaveMode mode) const;
    KeptSale childwrite(const Member& member, int slot) const;
    MemberWrites::Record readrecord(const KeptSale& write);
    // The outbox takes what became of a write it holds for this session.
    void apply(qint64 id, WriteResult::State state, const QDateTime& settleAfter, Outcome& outcome);
    QDateTime settleafter(bool processingover) const;

    Context m_context;
    KeptSales* m_outbox = nullptr;
    std::vector<Open> m_open;
};
