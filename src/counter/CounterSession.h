#pragma once

#include "api/WriteResult.h"
#include "counter/CounterOutcome.h"
#include "counter/CounterShown.h"
#include "counter/Tickets.h"
#include "outbox/KeptSales.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Clock;
class CounterClient;
class CounterState;
class Dialogs;
class JsonValue;
class KeptSales;
class ReplyBuffer;
class ReportOutput;
class Settings;
class Settlement;

// The counter's flows, without a window: the lookup and the member load, the coupon query, the
// sale, the coupon use, the tickets, the next customer. It owns what the counter holds about the
// customer (CounterState) and what it shows (CounterShown). Each flow returns what happened; the
// questions to the pharmacist go through Dialogs, the choice among several members through the
// chooser.
class CounterSession final : public QObject
{
    Q_OBJECT
public:
    // What the session works with; all of it lives for the whole run.
    struct Context
    {
        CounterClient& client;
        ReplyBuffer& buffer;
        const Settings& settings;
        Dialogs& dialogs;
        const Clock& clock;
        // The switch "nocoupon": no coupon query after a member is shown.
        bool nocoupon = false;
    };
    // The sale as the pharmacist typed it.
    struct SaleInput
    {
        QString seller;
        QString number;
        QString amount;
    };
    // Picks one member among the rows of a list reply (listeMembre's fields); its id, or none.
    using Chooser = std::function<std::optional<QString>(const std::vector<QStringList>& rows)>;

    explicit CounterSession(const Context& context, QObject* parent = nullptr);
    ~CounterSession() override;

    const Context& context() const { return m_context; }
    // The member record, currentmemberid, idle, the event value and Produits.
    CounterState& state() { return *m_state; }
    const CounterShown& shown() const { return m_shown; }
    const Tickets& tickets() const { return m_tickets; }
    bool idle() const;

    void setchooser(Chooser chooser) { m_chooser = std::move(chooser); }
    // Where the tickets go; without one nothing is printed.
    void setreportoutput(ReportOutput* output) { m_reportoutput = output; }
    // The outbox: every sale and coupon use is noted there before it leaves and stays while the
    // platform has not confirmed it; a sale is kept there while the platform cannot be reached.
    // Without one, nothing is noted and no sale is offered to be kept.
    void setkeptsales(KeptSales* store);
    // Reads how many sales are kept and how many writes wait for confirmation (another counter
    // may share the file).
    void refreshkept();
    // Called with every member loaded and when its lookup left: settles the member writes of the
    // enrolment form that wait for that member's record; the texts to tell.
    using MemberRead = std::function<QStringList(const JsonValue& member, const QDateTime& asked)>;
    void setmemberread(MemberRead settle) { m_memberread = std::move(settle); }

    // The lookup of a search text ("Chercher", "Rechercher", "Actualiser"): a member found is
    // loaded and shown, with its coupons; a list is offered to the chooser.
    CounterOutcome lookup(const QString& text);
    // The same lookup with the search text shown.
    CounterOutcome refresh();
    // Checks the amount, sends the sale as an "addCA" event, and after a sale the platform
    // accepted resets and looks the member up again. A sale that did not land keeps every input
    // and says so; one that certainly did not leave (the platform could not be reached) may be
    // kept instead, after the pharmacist's Yes: the counter then moves on to the next customer.
    CounterOutcome sale(const SaleInput& input);
    // "Valider Vente" with the sale as the pharmacist sees it. While a member is shown, the lines
    // being typed are stored first (`storelines`, false when one cannot be: nothing more then). A
    // line stored now that changes the amount stops the sale: the new amount is shown and told,
    // and nothing is sent, so that no amount goes out that nobody saw. Otherwise sale().
    CounterOutcome validate(const SaleInput& input, const std::function<bool()>& storelines);
    // After the pharmacist's Yes, records the use of the coupon (the event, then the status);
    // then, also after No, the coupons are emptied. A coupon without an id does nothing. The
    // refresh that follows is the caller's next step, after the messages.
    CounterOutcome useCoupon(const Coupons::Coupon& coupon);
    // The coupon's ticket for the member shown; a value without a ticket prints nothing. True
    // when a ticket was printed.
    bool couponTicket(const Coupons::Coupon& coupon);
    // The points ticket of the member shown, with the points as shown.
    void pointsTicket();
    // "Client Suivant": after confirmation when an amount is typed, the counter is reset and the
    // search text emptied. False when the pharmacist kept the sale being typed.
    bool nextCustomer();
    // Before the counter closes: while a member is shown with an amount or product lines typed,
    // asks "Annuler la saisie en cours" as "Client Suivant" does. False when the pharmacist keeps
    // the sale being typed.
    bool mayclose();
    // "10 Points": the amount plus 10; an empty amount stays empty.
    CounterOutcome addTen();
    // "Total" := "Quantité" × "Prix Unitaire" of a product line.
    void producttotal(int row);

    // The texts the pharmacist types, as they change.
    void setsearchtext(const QString& text);
    void setamount(const QString& text);
    void setnumber(const QString& text);

    // Shows the current member record again after the enrolment form edited it; the member stays
    // shown and the search text becomes its card number.
    void refreshmember();
    // The member as shown, for the tickets.
    Tickets::Member shownmember() const;

signals:
    // What is shown changed.
    void changed();

private:
    // Back to the idle look: coupons, member texts, amount, sale number and product lines
    // emptied, the member record cleared. Neither idle, currentmemberid nor the search text
    // change.
    void resetcounter();
    // Empties every coupon; the number of rows stays.
    void clearcoupons();
    // The amount from the stored product lines: after every line stored or deleted.
    void amountfromlines();
    // Search text change: sale buttons off; a shown member is left (reset, idle).
    void searchChange();
    void entermember();
    // The lookup's steps; failures are raised and told by lookup().
    void runlookup(const QString& text, CounterOutcome& outcome);
    void chooseamong(const std::vector<QStringList>& rows, CounterOutcome& outcome);
    // asked: when the lookup that read the member left.
    void loadmember(const JsonValue& member, const QDateTime& asked, CounterOutcome& outcome);
    // The query that follows every member shown, unless the switch "nocoupon" is given: sends the
    // coupon query of the member shown and fills the coupons. Nothing while the search text is
    // empty. A failed post raises QueryFailure, a coupon lacking a key QuilbaError (after the
    // coupons before it are filled): the lookup tells the pharmacist.
    void querycoupons();
    // Sends a write by PUT and records it in the outcome.
    HttpReply put(const QString& text, CounterOutcome& outcome);
    // After the pharmacist's Yes, keeps the sale that could not leave (noted as `id` before it
    // was sent); true when it is kept.
    bool keep(qint64 id, CounterOutcome& outcome);
    // A write of the member shown, with the request that records it.
    KeptSale newwrite(KeptSale::Kind kind, const QString& request) const;
    // Notes a write before it leaves (its id); when the file will not take it, asks whether to send
    // it all the same. False: it is not to be sent.
    bool begin(const KeptSale& write, std::optional<qint64>& id);
    // The write noted as `id` is over (recorded, refused, not sent): it leaves the outbox.
    void drop(const std::optional<qint64>& id);
    // The member's writes that are not known yet, settled by the events just loaded.
    void settlepending(CounterOutcome& outcome);
    // A sale of the member shown is waiting for confirmation; none when the file cannot be read.
    std::optional<bool> salepending();
    // When an absence from the member's events becomes final for a write whose reply is `result`.
    QDateTime settleafter(bool processingover) const;
    // The sale not known yet whose inputs were on the counter is no longer this counter's to settle.
    void letgotyped();
    // Empties what was typed for a sale: amount, sale number, product lines.
    void clearsaleinputs();

    Context m_context;
    CounterState* m_state;
    CounterShown m_shown;
    Tickets m_tickets;
    Chooser m_chooser;
    MemberRead m_memberread;
    ReportOutput* m_reportoutput = nullptr;
    KeptSales* m_keptsales = nullptr;
    std::unique_ptr<Settlement> m_settlement;
    // The sale whose inputs are on the counter, sent and not known yet: this counter holds it
    // (its lease) and settles it at each refresh, so that nobody else sends or keeps it while the
    // pharmacist may validate it again.
    std::optional<qint64> m_typedsale;
    // The write the running flow settles and tells itself.
    std::optional<qint64> m_flowwrite;
    // What the last settling found, by write.
    struct SettledWrite
    {
        WriteResult::State state = WriteResult::State::NotYetKnown;
        bool statusconfirmed = true;
    };
    QHash<qint64, SettledWrite> m_settled;
    // The coupons of the member shown whose use waits for confirmation.
    QSet<QString> m_confirmingcoupons;
    // The outcome of the lookup running, which the coupon query reports to.
    CounterOutcome* m_recording = nullptr;
    bool m_keepmember = false;
};
