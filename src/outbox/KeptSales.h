#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class Clock;
class OutboxRemover;
struct sqlite3;

// One write of the counter in the outbox: a sale kept while the platform could not be reached, or
// a sale or coupon use sent at the counter whose outcome is not known yet.
struct KeptSale
{
    enum class Kind
    {
        Kept,   // a sale kept to be sent later by the background sender
        Sale,   // a sale of the counter: sent, its outcome not known yet; never sent again as it is
        Coupon, // a coupon use of the counter, its outcome not known yet; never sent again
        // The member writes of the enrolment form, sent and not known yet; never sent again from
        // the file, only settled by the platform's record of the member.
        MemberCreate, // an enrolment: found by its card number
        MemberUpdate, // a member's changes: found by its id
        ChildCreate,  // a new child: found among the parent's children that were not in `before`
        ChildUpdate,  // a child's changes: found by its id among the parent's children
    };

    qint64 id = 0; // given by keep(); never reused
    Kind kind = Kind::Kept;
    QString memberid;   // currentmemberid as received; a child's parent; empty for an enrolment
    QString membername; // as the counter showed it
    QString cardnumber;
    QString amount; // as typed, decimal comma
    QString seller;
    QString number;     // the sale number
    QString couponId;   // Coupon: the coupon used
    QByteArray request; // the request text to send, UTF-8, byte for byte
    QDateTime kept;     // UTC, set by keep()
    QString failure;    // the last failure, in French; empty before the first
    QDateTime failedat; // UTC; invalid before the first failure
    int attempts = 0;   // failed sends so far
    bool mayhaveleft = false;
    bool held = false; // a counter is sending it (its lease runs) at the time it was read
    // The keys of the member's events read just before the last send began (see
    // Reconciliation::eventkeys); none before the first send. A sale that may have left is looked
    // for among the events that are not in this set. A new child: the ids of the parent's children
    // before it was sent.
    std::optional<QSet<QString>> before;
    // From this time (UTC) the platform can no longer be processing an earlier send: a write not
    // among the member's new events is then not recorded. Invalid: at once.
    QDateTime settleAfter;
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

    // A lease lasts a minute and its holder renews it every third of that while it holds it
    // (renew()), so that a lease runs out soon after its holder is gone, never while it waits for
    // the platform. QUILBA_LEASE_SECONDS shortens it (a soak that kills counters waits less for
    // their writes); leaseSeconds() and renewSeconds() are what the file and its users go by.
    static constexpr int kleaseseconds = 60;
    static int leaseSeconds();
    static int renewSeconds();

    // How long after a send ended the platform may still be processing it, in seconds: 300, or
    // QUILBA_PROCESSING_LIMIT. Before that, a write absent from the member's events may still
    // come; after it, its absence is final.
    static int processingLimit();

    // The counts the counter shows.
    struct Counts
    {
        int kept = 0;          // sales kept to be sent: "N ventes en attente d'envoi"
        int sales = 0;         // sales of the counter not known yet: "N ventes à confirmer"
        int coupons = 0;       // coupon uses not known yet
        int enrolments = 0;    // enrolments not known yet
        int memberchanges = 0; // member and child changes, new children, not known yet
    };
    static QString confirmCaption(const Counts& counts);
    // Asked when a write cannot be noted before it leaves, with the reason.
    static QString unnotedquestion(const QString& reason);

    // What the counter shows while sales are kept: "N ventes en attente d'envoi".
    static QString countcaption(int count);
    // Asked before the pharmacist deletes the sale.
    static QString removequestion(const KeptSale& sale);

    // The file's name in the work folder, and its path there (folder with or without "/").
    static QString filename();
    static QString pathin(const QString& folder);

    // Nothing is opened yet; every operation opens the file (creating it) when it is not open.
    KeptSales(const QString& path, const Clock& clock, int processingLimitSeconds = processingLimit());
    ~KeptSales();
    KeptSales(const KeptSales&) = delete;
    KeptSales& operator=(const KeptSales&) = delete;

    const QString& path() const { return m_path; }
    int processinglimitseconds() const { return int(m_limitms / 1000); }
    const Clock& clock() const { return m_clock; }
    // Who holds a lease taken through this object; unique to it.
    const QString& owner() const { return m_owner; }

    bool open();
    const QString& errorstring() const { return m_error; }

    // Keeps the sale (its id, kept time, failure, attempts and flags are ignored); its new id.
    std::optional<qint64> keep(const KeptSale& sale);
    // Every kept sale and every sale of the counter not known yet, in the order kept.
    std::optional<std::vector<KeptSale>> list();
    // The kept sales.
    std::optional<int> count();
    std::optional<Counts> counts();
    // The sales and coupon uses of the counter for that member whose outcome is not known yet.
    std::optional<std::vector<KeptSale>> pendingFor(const QString& memberid);
    // The member writes not known yet of that member (its changes, its children), and the
    // enrolments of that card number or that name; each may be empty.
    std::optional<std::vector<KeptSale>>
    pendingMemberWrites(const QString& memberid, const QString& cardnumber, const QString& membername = {});
    // That write as the file holds it now; None when it is gone.
    Claimed find(qint64 id);

    // A write of the counter (a sale, a coupon use, a member write), recorded before it leaves and held by
    // this object until it knows what became of it: its id. It counts as having left. A coupon use
    // is not noted while the file holds another use of that coupon, from another counter or not
    // known yet: nothing, and busy() says so.
    std::optional<qint64> begin(const KeptSale& write);
    // The last begin() found the coupon being used: errorstring() tells it.
    bool busy() const { return m_busy; }
    static QString couponBusyMessage();
    // The holder does not know what became of it: it goes back to the file, not yet known, for
    // whoever reads the member's events next; absent from them from `settleAfter` on, it is not
    // recorded. An invalid time keeps the one the file holds.
    Status await(qint64 id, const QDateTime& settleAfter);
    // The holder does not know yet what became of it and keeps it while it looks: from
    // `settleAfter` on, its absence from the member's events is final.
    Status expect(qint64 id, const QDateTime& settleAfter);
    // The holder's sale of the counter was not recorded, or certainly did not leave: it becomes a
    // kept sale, sent later by the background sender, with `failure` in the list.
    Status keepSale(qint64 id, const QString& failure);
    // Takes that write, when nobody else holds it, to settle it.
    Claimed claimWrite(qint64 id);
    // Extends the leases this object holds; the holder calls it every renewSeconds().
    void renew();
    // The pharmacist deleted it. Held: another counter is sending it right now.
    Status remove(qint64 id);

    // The oldest sale that nobody holds, skipping a sale whose member has an older sale held (by
    // any counter, this one included): a member's sales reach the platform in the order kept.
    // The sales in `skip` are passed over (those already tried in a round of sending).
    // `leaseseconds`: 0 for leaseSeconds().
    Claimed claim(const QSet<qint64>& skip = {}, int leaseseconds = 0);
    // Only the holder records the events before its send, settles or releases. The events are
    // written before the sale is sent, so that whoever takes it after a lost reply can look for it.
    Status recordbefore(qint64 id, const QSet<QString>& before);
    Status settle(qint64 id);
    // The holder knows that write recorded: it leaves the file off the caller's thread, so that
    // nothing the pharmacist waits for waits on the disk (see OutboxRemover); this object's reads
    // leave it out meanwhile.
    void settleLater(qint64 id);
    // Returns once the removals asked by settleLater are over.
    void waitSettled();
    // settleAfter: when a send that may have left can no longer be processing (kept as it was
    // when invalid).
    Status release(qint64 id, const QString& failure, Departure departure, const QDateTime& settleAfter = {});

private:
    int exec(const char* sql);
    // Takes the lease of the row read as `sale` in the same transaction, and reads it again.
    int take(qint64 id, qint64 now, KeptSale& sale);
    // Runs work inside BEGIN IMMEDIATE … COMMIT; a failure rolls back and is told as `action`
    // followed by the reason.
    template <typename Work> bool transact(const QString& action, Work work);
    // A change only the holder of sale `id` makes (`change` runs its statement, whose condition
    // names the owner): Lost when another counter holds the sale now, None when it is gone.
    template <typename Change> Status asholder(qint64 id, const QString& action, Change change);
    // Every write the statement `rows` selects; a failure is told as `action` followed by the reason.
    template <typename Rows> std::optional<std::vector<KeptSale>> readall(Rows& rows, const QString& action);
    bool fail(const QString& action, int code);
    QString reason(int code) const;
    int writeerror() const;
    qint64 nowms() const;
    // " AND id NOT IN (…)" for the writes being removed by settleLater; empty when none.
    QByteArray notremoved() const;

    QString m_path;
    const Clock& m_clock;
    // The writes this object holds a lease on, to renew.
    QSet<qint64> m_holding;
    QString m_owner;
    qint64 m_limitms;
    sqlite3* m_db = nullptr;
    QString m_error;
    bool m_busy = false;
    std::unique_ptr<OutboxRemover> m_remover; // made at the first settleLater
};
