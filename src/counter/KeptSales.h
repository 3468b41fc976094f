#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

class Clock;
struct sqlite3;

// One sale kept while the platform could not be reached.
struct KeptSale
{
    qint64 id = 0;      // given by keep(); never reused
    QString memberid;   // currentmemberid as received
    QString membername; // as the counter showed it
    QString cardnumber;
    QString amount; // as typed, decimal comma
    QString seller;
    QString number;     // the sale number
    QByteArray request; // the request text to send, UTF-8, byte for byte
    QDateTime kept;     // UTC, set by keep()
    QString failure;    // the last failure, in French; empty before the first
    QDateTime failedat; // UTC; invalid before the first failure
    int attempts = 0;   // failed sends so far
    bool mayhaveleft = false;
    bool held = false; // a counter is sending it (its lease runs) at the time it was read
    // The keys of the member's events read just before the last send began (see
    // Reconciliation::eventkeys); none before the first send. A sale that may have left is looked
    // for among the events that are not in this set.
    std::optional<QSet<QString>> before;
};

// The sales kept in the work folder, in an SQLite file that two counters (two running programs,
// on one machine or two) may share. Every change is one transaction; the file uses a rollback
// journal, not WAL (WAL needs shared memory, which two machines sharing a folder do not have),
// with synchronous=FULL: a process killed in the middle of a change leaves the file as it was
// before the change, or after it.
//
// Sending goes through a lease so that one sale is sent by one counter at a time:
//   claim()   takes the oldest sale nobody holds, for this object's owner token, until a time;
//   settle()  the platform confirmed it: the sale is deleted;
//   release() it failed: back in the list with the failure, one more attempt, the lease cleared.
// A counter that dies while it holds a sale leaves the lease to expire; the next claim takes the
// sale again. Such a sale may have left (the dead counter may have sent it before dying, and the
// platform may have recorded it): claim() sets "may have left" in the file, and only a release
// that says the sale certainly did not leave clears it. A sale claimed with mayhaveleft must be
// reconciled with the member's events before it is sent again.
//
// Every failure is told by errorstring() in French; nothing is thrown.
class KeptSales final
{
public:
    enum class Status
    {
        Done,
        None,   // claim: nothing to send; the others: the sale is no longer in the file
        Held,   // remove: another counter is sending the sale
        Lost,   // settle, release: this object no longer holds the sale (its lease ran out and
                // another counter took it)
        Failed, // the file could not be read or written: errorstring()
    };

    enum class Departure
    {
        // The request certainly did not leave (no connection, turned away before it was read),
        // and a send before the claim, if any, was found not to have landed.
        NotLeft,
        MayHaveLeft, // it left, or may have: its reply was lost
    };

    struct Claimed
    {
        Status status = Status::None;
        // The sale as it was before this claim: mayhaveleft tells whether an earlier holder
        // may have sent it.
        KeptSale sale;
    };

    // Far longer than a send takes (a transfer ends after a minute without a byte), so that a
    // lease runs out when its holder is gone, not while it waits for the platform.
    static constexpr int kleaseseconds = 600;

    // What the counter shows while sales are kept: "N ventes en attente d'envoi".
    static QString countcaption(int count);
    // Asked before the pharmacist deletes the sale.
    static QString removequestion(const KeptSale& sale);

    // The file's name in the work folder, and its path there (folder with or without "/").
    static QString filename();
    static QString pathin(const QString& folder);

    // Nothing is opened yet; every operation opens the file (creating it) when it is not open.
    KeptSales(const QString& path, const Clock& clock);
    ~KeptSales();
    KeptSales(const KeptSales&) = delete;
    KeptSales& operator=(const KeptSales&) = delete;

    const QString& path() const { return m_path; }
    // Who holds a lease taken through this object; unique to it.
    const QString& owner() const { return m_owner; }

    bool open();
    const QString& errorstring() const { return m_error; }

    // Keeps the sale (its id, kept time, failure, attempts and flags are ignored); its new id.
    std::optional<qint64> keep(const KeptSale& sale);
    // Every kept sale, in the order kept.
    std::optional<std::vector<KeptSale>> list();
    std::optional<int> count();
    // The pharmacist deleted it. Held: another counter is sending it right now.
    Status remove(qint64 id);

    // The oldest sale that nobody holds, skipping a sale whose member has an older sale held (by
    // any counter, this one included): a member's sales reach the platform in the order kept.
    // The sales in `skip` are passed over (those already tried in a round of sending).
    Claimed claim(const QSet<qint64>& skip = {}, int leaseseconds = kleaseseconds);
    // Only the holder records the events before its send, settles or releases. The events are
    // written before the sale is sent, so that whoever takes it after a lost reply can look for it.
    Status recordbefore(qint64 id, const QSet<QString>& before);
    Status settle(qint64 id);
    Status release(qint64 id, const QString& failure, Departure departure);

private:
    int exec(const char* sql);
    // Runs work inside BEGIN IMMEDIATE … COMMIT; a failure rolls back and is told as `action`
    // followed by the reason.
    template <typename Work> bool transact(const QString& action, Work work);
    // A change only the holder of sale `id` makes (`change` runs its statement, whose condition
    // names the owner): Lost when another counter holds the sale now, None when it is gone.
    template <typename Change> Status asholder(qint64 id, const QString& action, Change change);
    bool fail(const QString& action, int code);
    QString reason(int code) const;
    int writeerror() const;
    qint64 nowms() const;

    QString m_path;
    const Clock& m_clock;
    QString m_owner;
    sqlite3* m_db = nullptr;
    QString m_error;
};
