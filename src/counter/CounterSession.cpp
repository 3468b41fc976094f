#include "counter/CounterSession.h"

#include "api/CounterClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterRules.h"
#include "counter/CounterState.h"
#include "counter/Reconciliation.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "counter/Settlement.h"
#include "members/Lookup.h"
#include "members/QueryFailure.h"
#include "outbox/KeptSales.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "settings/Settings.h"

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

void CounterOutcome::append(const CounterOutcome& later)
{
    sent.append(later.sent);
    replies.insert(replies.end(), later.replies.begin(), later.replies.end());
    told.insert(told.end(), later.told.begin(), later.told.end());
    loaded = loaded || later.loaded;
}

QStringList CounterOutcome::texts() const
{
    QStringList texts;
    for (const Message& message : told)
        texts.append(message.text);
    return texts;
}

CounterSession::CounterSession(const Context& context, QObject* parent)
    : QObject(parent), m_context(context), m_state(new CounterState(this)), m_tickets(context.clock)
{
    const SaleLines& produits = m_state->Produits();
    connect(&produits, &SaleLines::linestored, this, &CounterSession::amountfromlines);
    connect(&produits, &SaleLines::linedeleted, this, &CounterSession::amountfromlines);
}

CounterSession::~CounterSession() = default;

bool CounterSession::idle() const
{
    return m_state->idle();
}

void CounterSession::setsearchtext(const QString& text)
{
    if (m_shown.search == text)
        return;
    m_shown.search = text;
    searchChange();
    emit changed();
}

void CounterSession::setamount(const QString& text)
{
    m_shown.amount = text;
}

void CounterSession::setnumber(const QString& text)
{
    m_shown.number = text;
}

void CounterSession::searchChange()
{
    if (m_keepmember)
        return;
    m_shown.sale = false;
    m_shown.addten = false;
    if (!m_state->idle()) {
        resetcounter();
        m_state->setidle(true);
    }
}

void CounterSession::clearcoupons()
{
    for (Coupons::Coupon& coupon : m_shown.coupons)
        coupon = Coupons::Coupon();
    emit changed();
}

void CounterSession::resetcounter()
{
    for (Coupons::Coupon& coupon : m_shown.coupons)
        coupon = Coupons::Coupon();
    for (QString* text : {&m_shown.points, &m_shown.name, &m_shown.address, &m_shown.mobile, &m_shown.mail,
                          &m_shown.landline, &m_shown.amount, &m_shown.lastsale, &m_shown.number})
        text->clear();
    m_shown.products = false;
    m_shown.coupongrid = false;
    m_shown.amountfield = true;
    m_shown.sale = false;
    m_shown.addten = false;
    m_state->member().init();
    m_state->Produits().clear();
    letgotyped();
    m_shown.pointsticket = false;
    m_shown.searchcaption = u"Rechercher"_s;
    m_shown.refreshpicture = false;
    emit changed();
}

void CounterSession::entermember()
{
    m_shown.products = true;
    m_shown.coupongrid = true;
    m_shown.amountfield = true;
    m_shown.sale = true;
    m_shown.pointsticket = true;
    m_shown.addten = true;
    m_shown.refreshpicture = true;
    m_shown.searchcaption = u"Actualiser"_s;
}

void CounterSession::refreshmember()
{
    const Member& member = m_state->member();
    m_shown.address = Lookup::addressline(member);
    m_shown.name = Lookup::nameline(member);
    m_shown.mail = member.Getemail();
    m_shown.mobile = member.Getmobile();
    m_shown.landline = member.Getfixe();
    m_keepmember = true;
    setsearchtext(member.Getcardnumber());
    m_keepmember = false;
    emit changed();
}

Tickets::Member CounterSession::shownmember() const
{
    const Member& member = m_state->member();
    return {member.Getprenom(), member.Getnom(), member.Getcardnumber(), m_shown.name};
}

CounterOutcome CounterSession::refresh()
{
    return lookup(m_shown.search);
}

CounterOutcome CounterSession::lookup(const QString& text)
{
    CounterOutcome outcome;
    CounterOutcome* const outer = m_recording;
    m_recording = &outcome;
    try {
        runlookup(text, outcome);
    } catch (const QueryFailure& failure) {
        outcome.replies.push_back(failure.reply());
        outcome.result =
            failure.reply().sent ? CounterOutcome::Result::Unconfirmed : CounterOutcome::Result::NotSent;
        const QStringList messages = Lookup::failuremessages(failure.reply());
        if (failure.reply().status != 0 && !failure.reply().proxyerror) {
            outcome.result = CounterOutcome::Result::Refused;
            for (const QString& message : messages)
                outcome.inform(message);
        } else {
            outcome.fail(messages.value(0));
        }
    } catch (const QuilbaError& error) {
        outcome.result = CounterOutcome::Result::Refused;
        outcome.fail(error.message());
    } catch (const std::exception& error) {
        outcome.result = CounterOutcome::Result::Refused;
        outcome.fail(QString::fromUtf8(error.what()));
    }
    m_recording = outer;
    emit changed();
    return outcome;
}

void CounterSession::runlookup(const QString& text, CounterOutcome& outcome)
{
    const Lookup::Plan plan = Lookup::plansearch(text, m_context.settings.idpharma());
    if (plan.action == Lookup::Plan::Action::Nothing)
        return;
    if (plan.action == Lookup::Plan::Action::TooShort) {
        outcome.inform(Lookup::tooshortmessage());
        return;
    }
    setsearchtext(plan.text);
    clearcoupons();
    m_context.buffer.appendline(plan.line);
    outcome.sent.append(plan.line);
    const QDateTime asked = m_context.clock.now();
    const HttpReply reply = Lookup::post(m_context.client, plan.line);
    outcome.replies.push_back(reply);
    outcome.result = CounterOutcome::Result::Done;

    const Lookup::Reply read = Lookup::readreply(ReplyBuffer::normalised(reply.body));
    switch (read.kind) {
    case Lookup::Reply::Kind::List:
        chooseamong(read.rows, outcome);
        break;
    case Lookup::Reply::Kind::Member:
        loadmember(read.member, asked, outcome);
        break;
    case Lookup::Reply::Kind::Refusal:
        outcome.result = CounterOutcome::Result::Refused;
        outcome.inform(read.message);
        break;
    case Lookup::Reply::Kind::Invalid:
        outcome.result = CounterOutcome::Result::Refused;
        outcome.fail(read.message);
        break;
    case Lookup::Reply::Kind::Other:
        break;
    }
}

void CounterSession::chooseamong(const std::vector<QStringList>& rows, CounterOutcome& outcome)
{
    emit changed();
    const std::optional<QString> id = m_chooser ? m_chooser(rows) : std::nullopt;
    setsearchtext(id ? u"ID="_s + *id : QString());
    // The member chosen is looked up again by its id, and loaded.
    if (!m_shown.search.isEmpty())
        runlookup(m_shown.search, outcome);
}

void CounterSession::loadmember(const JsonValue& member, const QDateTime& asked, CounterOutcome& outcome)
{
    // Each step keeps at once what it read: a load that stops keeps what it has shown so far.
    const QString previousid = m_state->currentmemberid();
    setsearchtext(gettext(member, u"cardnumber"_s));
    m_shown.points = gettext(member, u"nbPoint"_s);
    m_state->setcurrentmemberid(gettext(member, u"id"_s));
    m_state->member().fromjson(member);
    // Said once for the member, not again at each refresh after a sale or a coupon.
    const int leftout = m_state->member().childrenleftout();
    if (leftout > 0 && previousid != m_state->currentmemberid())
        outcome.inform(Member::childrenleftoutmessage(leftout));
    m_shown.name = Lookup::nameline(m_state->member());

    QString text;
    if (trygettext(member, u"dateUpdate"_s, text))
        m_shown.lastsale = frdate(text);
    if (trygettext(member, u"email"_s, text))
        m_shown.mail = text;
    if (trygettext(member, u"mobile"_s, text))
        m_shown.mobile = text;
    if (trygettext(member, u"tel"_s, text))
        m_shown.landline = text;
    const JsonValue* address = member.find("address");
    if (address && address->isObject() && address->find("line1"))
        m_shown.address = Lookup::addressline(m_state->member());
    const JsonValue* event = member.find("event");
    m_state->seteventlist(event ? std::optional<JsonValue>(*event) : std::nullopt, asked);
    settlepending(outcome);
    if (m_memberread) {
        for (const QString& text : m_memberread(member, asked))
            outcome.inform(text);
        refreshkept();
    }

    m_shown.sale = true;
    m_state->setidle(false);
    entermember();
    outcome.loaded = true;
    emit changed();
    if (!m_context.nocoupon)
        querycoupons();
}

void CounterSession::querycoupons()
{
    if (m_shown.search.isEmpty())
        return;
    const QString line = Coupons::queryline(m_context.settings.idpharma(), m_state->currentmemberid(),
                                            nowtext(m_context.clock));
    if (m_recording)
        m_recording->sent.append(line);
    const HttpReply reply = Lookup::post(m_context.client, line);
    if (m_recording)
        m_recording->replies.push_back(reply);
    const Coupons::Fill fill = Coupons::readfill(ReplyBuffer::normalised(reply.body));
    for (const QByteArray& element : fill.lines)
        m_context.buffer.appendline(QString::fromUtf8(element));

    // A coupon whose use is among the member's events is used, even while its status says
    // otherwise (the status update after the use did not land): it is not offered again.
    const QSet<QString> used = Reconciliation::usedcoupons(m_state->eventlist());
    std::vector<QStringList> rows;
    for (const QStringList& row : fill.rows) {
        if (!used.contains(row.value(Coupons::Id)))
            rows.push_back(row);
    }
    const int count = fill.count - static_cast<int>(fill.rows.size() - rows.size());

    std::vector<Coupons::Coupon>& coupons = m_shown.coupons;
    const std::size_t filled = rows.size();
    if (fill.kind == Coupons::Fill::Kind::List && coupons.size() < filled)
        coupons.resize(filled);
    for (std::size_t row = 0; row < filled; ++row) {
        if (row < coupons.size()) {
            coupons[row] = Coupons::Coupon::fromcells(rows.at(row));
            if (m_confirmingcoupons.contains(coupons[row].id)) {
                coupons[row].confirming = true;
                coupons[row].use = Coupons::confirmingcaption();
            }
        }
    }
    if (fill.kind == Coupons::Fill::Kind::Single && rows.empty() && !fill.rows.empty() && !coupons.empty())
        coupons[0] = Coupons::Coupon();
    emit changed();
    if (!fill.error.isEmpty())
        throw QuilbaError(fill.error);
    if (fill.kind == Coupons::Fill::Kind::List)
        coupons.resize(static_cast<std::size_t>(std::max(1, count)));
    emit changed();
}

HttpReply CounterSession::put(const QString& text, CounterOutcome& outcome)
{
    outcome.sent.append(text);
    HttpReply reply = m_context.client.httpput(text);
    outcome.replies.push_back(reply);
    return reply;
}

QDateTime CounterSession::settleafter(bool processingover) const
{
    const QDateTime now = m_context.clock.now();
    const int limit = m_keptsales ? m_keptsales->processinglimitseconds() : KeptSales::processingLimit();
    return processingover ? now : now.addSecs(limit);
}

KeptSale CounterSession::newwrite(KeptSale::Kind kind, const QString& request) const
{
    KeptSale write;
    write.kind = kind;
    write.memberid = m_state->currentmemberid();
    write.membername = m_shown.name;
    write.cardnumber = m_state->member().Getcardnumber();
    write.request = request.toUtf8();
    // The member's events before it leaves: it is looked for among the events that come after.
    write.before = Reconciliation::eventkeys(m_state->eventlist());
    return write;
}

bool CounterSession::begin(const KeptSale& write, std::optional<qint64>& id)
{
    id.reset();
    if (!m_keptsales)
        return true;
    id = m_keptsales->begin(write);
    if (id)
        return true;
    // Another counter is using this coupon: its use is not sent a second time.
    if (m_keptsales->busy())
        return false;
    // Without the file a lost reply cannot be settled later: the pharmacist decides.
    return m_context.dialogs.question(KeptSales::unnotedquestion(m_keptsales->errorstring()));
}

void CounterSession::drop(const std::optional<qint64>& id)
{
    // Its outcome is known: it leaves the file while the counter goes on.
    if (id && m_keptsales)
        m_keptsales->settleLater(*id);
}

void CounterSession::letgotyped()
{
    // Its inputs leave the counter: whoever reads the member's events next settles it.
    if (m_typedsale && m_keptsales)
        m_keptsales->await(*m_typedsale, QDateTime());
    m_typedsale.reset();
}

void CounterSession::clearsaleinputs()
{
    m_shown.amount.clear();
    m_shown.number.clear();
    m_state->Produits().clear();
    m_typedsale.reset();
}

std::optional<bool> CounterSession::salepending()
{
    if (!m_keptsales)
        return false;
    const std::optional<std::vector<KeptSale>> pending = m_keptsales->pendingFor(m_state->currentmemberid());
    if (!pending)
        return std::nullopt;
    return std::any_of(pending->begin(), pending->end(),
                       [](const KeptSale& write) { return write.kind == KeptSale::Kind::Sale; });
}

void CounterSession::settlepending(CounterOutcome& outcome)
{
    m_confirmingcoupons.clear();
    if (!m_keptsales)
        return;
    const std::optional<std::vector<KeptSale>> pending = m_keptsales->pendingFor(m_state->currentmemberid());
    if (!pending) {
        outcome.fail(m_keptsales->errorstring());
        return;
    }
    for (const KeptSale& write : *pending) {
        // The running flow holds its own write; another counter, or the background sender, may
        // be settling one now.
        const bool typed = m_typedsale == write.id;
        const KeptSales::Claimed claimed = m_flowwrite == write.id || typed
                                               ? KeptSales::Claimed{KeptSales::Status::Done, write}
                                           : write.held ? KeptSales::Claimed{KeptSales::Status::Held, write}
                                                        : m_keptsales->claimWrite(write.id);
        if (claimed.status != KeptSales::Status::Done) {
            if (write.kind == KeptSale::Kind::Coupon)
                m_confirmingcoupons.insert(write.couponId);
            continue;
        }
        const Settlement::Settled settled = m_settlement->settle(
            claimed.sale, m_state->eventlist(), m_state->eventsasked(),
            typed ? Settlement::IfNotRecorded::Drop : Settlement::IfNotRecorded::Keep, typed);
        m_settled.insert(write.id, {settled.state, settled.statusConfirmed});
        if (!settled.failure.isEmpty())
            outcome.fail(settled.failure);
        if (settled.state == WriteResult::State::NotYetKnown) {
            if (write.kind == KeptSale::Kind::Coupon)
                m_confirmingcoupons.insert(write.couponId);
            continue;
        }
        if (typed) {
            m_typedsale.reset();
            // Recorded: the sale on the counter is done, as after the platform's OK.
            if (settled.state == WriteResult::State::Recorded)
                clearsaleinputs();
        }
        // The running flow tells what became of its own write.
        if (m_flowwrite == write.id)
            continue;
        const bool recorded = settled.state == WriteResult::State::Recorded;
        if (write.kind == KeptSale::Kind::Coupon) {
            if (recorded && !settled.statusConfirmed)
                outcome.inform(Reconciliation::statusnotconfirmedmessage());
            else
                outcome.inform(recorded ? Settlement::couponRecordedMessage()
                                        : Settlement::couponNotRecordedMessage());
        } else if (typed) {
            outcome.inform(recorded ? Reconciliation::saleconfirmedmessage()
                                    : Reconciliation::salenotrecordedmessage());
        } else {
            outcome.inform(recorded ? Settlement::saleRecordedMessage(write)
                                    : Settlement::saleKeptMessage(write));
        }
    }
    refreshkept();
}

CounterOutcome CounterSession::validate(const SaleInput& input, const std::function<bool()>& storelines)
{
    if (m_state->idle() || !storelines)
        return sale(input);
    CounterOutcome outcome;
    if (!storelines())
        return outcome;
    // The amount the stored lines give now is not the one the pharmacist validated.
    if (m_shown.amount != input.amount) {
        outcome.result = CounterOutcome::Result::Nothing;
        outcome.inform(Sale::amountchangedmessage(m_shown.amount));
        emit changed();
        return outcome;
    }
    return sale(input);
}

CounterOutcome CounterSession::sale(const SaleInput& input)
{
    CounterOutcome outcome;
    // Only to the member shown: currentmemberid still names the member shown before.
    if (m_state->idle()) {
        outcome.inform(Sale::nomembermessage());
        return outcome;
    }
    m_shown.number = input.number;
    m_shown.amount = input.amount;
    const QString amount = input.amount;
    if (Sale::isempty(amount)) {
        outcome.inform(Sale::invalidmessage());
        return outcome;
    }
    m_context.client.client().setconnecttimeout(1000);
    switch (Sale::checkamount(amount)) {
    case Sale::Check::Invalid:
        outcome.inform(Sale::invalidmessage());
        return outcome;
    case Sale::Check::Incorrect:
        outcome.inform(Sale::incorrectmessage());
        m_shown.amount = u"0"_s;
        emit changed();
        return outcome;
    case Sale::Check::Confirm:
        if (!m_context.dialogs.warning(Sale::confirmmessage()))
            return outcome;
        break;
    case Sale::Check::Ok:
        break;
    }

    // A sale of this member that the platform has not confirmed yet is never followed by another
    // one before its outcome is known: it may be this very sale, validated again. The member's
    // record, read again, may settle it now.
    std::optional<bool> pending = salepending();
    if (pending && *pending) {
        // Settled now or not, the pharmacist first sees what became of it.
        outcome.append(refresh());
        pending = salepending();
        if (pending && *pending) {
            outcome.result = CounterOutcome::Result::Unconfirmed;
            outcome.inform(Sale::pendingmessage());
        }
        emit changed();
        return outcome;
    }

    const Sale::Request request{
        m_state->currentmemberid(),  m_context.settings.idpharma(), input.seller, input.number, amount,
        m_state->Produits().stored()};
    const QString text = Sale::requesttext(request) + u"\r\n"_s;
    KeptSale write = newwrite(KeptSale::Kind::Sale, text);
    write.amount = amount;
    write.seller = input.seller;
    write.number = input.number;
    // Noted before it leaves: whatever becomes of the reply, the sale is never sent twice.
    std::optional<qint64> id;
    if (!begin(write, id)) {
        outcome.result = CounterOutcome::Result::NotSent;
        outcome.inform(Sale::notsentmessage());
        emit changed();
        return outcome;
    }
    m_context.buffer.appendline(text);
    m_shown.sale = false;
    emit changed();
    const HttpReply reply = put(text, outcome);
    m_shown.sale = true;
    const WriteResult result = WriteResult::read(reply);
    switch (result.state) {
    case WriteResult::State::Recorded:
        drop(id);
        break;
    case WriteResult::State::Refused:
        drop(id);
        outcome.result = CounterOutcome::Result::Refused;
        outcome.inform(Sale::refusedmessage(result.refusal));
        emit changed();
        return outcome;
    case WriteResult::State::NotRecorded:
        // The platform could not be reached: nothing left, so the sale can wait for it.
        if (result.neverLeft() && id && keep(*id, outcome))
            return outcome;
        drop(id);
        outcome.result = CounterOutcome::Result::NotSent;
        outcome.inform(result.denied ? Sale::deniedmessage(result.status) : Sale::notsentmessage());
        emit changed();
        return outcome;
    case WriteResult::State::NotYetKnown: {
        // It may be recorded, or being recorded: the member's events settle it, now or later.
        write.settleAfter = settleafter(result.processingOver);
        WriteResult::State settled = WriteResult::State::NotYetKnown;
        if (id) {
            // Held through the refresh, which settles it: nobody else takes it meanwhile.
            m_keptsales->expect(*id, write.settleAfter);
            m_typedsale = id;
            m_flowwrite = id;
            m_settled.remove(*id);
            outcome.append(refresh());
            m_flowwrite.reset();
            settled = m_settled.value(*id).state;
        } else {
            const CounterOutcome refreshed = refresh();
            outcome.append(refreshed);
            settled =
                Settlement::judge(write, refreshed.loaded ? m_state->eventlist() : std::optional<JsonValue>(),
                                  m_state->eventsasked());
        }
        switch (settled) {
        case WriteResult::State::Recorded:
            outcome.result = CounterOutcome::Result::Done;
            outcome.inform(Reconciliation::saleconfirmedmessage());
            if (id) {
                // The refresh that settled it showed the new points.
                emit changed();
                return outcome;
            }
            break;
        case WriteResult::State::NotRecorded:
        case WriteResult::State::Refused:
            outcome.result = CounterOutcome::Result::NotSent;
            outcome.inform(Reconciliation::salenotrecordedmessage());
            emit changed();
            return outcome;
        case WriteResult::State::NotYetKnown:
            outcome.result = CounterOutcome::Result::Unconfirmed;
            outcome.inform(id ? Sale::confirmingmessage() : Sale::unconfirmedmessage());
            emit changed();
            return outcome;
        }
        break;
    }
    }
    outcome.result = CounterOutcome::Result::Done;
    resetcounter();
    const CounterOutcome refreshed = refresh();
    outcome.append(refreshed);
    return outcome;
}

void CounterSession::setkeptsales(KeptSales* store)
{
    m_keptsales = store;
    m_settlement.reset();
    if (store) {
        m_settlement = std::make_unique<Settlement>(*store, m_context.clock, [this](const QString& text) {
            if (m_recording)
                return put(text, *m_recording);
            return m_context.client.httpput(text);
        });
    }
    refreshkept();
}

void CounterSession::refreshkept()
{
    if (!m_keptsales)
        return;
    const std::optional<KeptSales::Counts> counts = m_keptsales->counts();
    // A file that cannot be read leaves the counts as they were, and says why.
    const QString failure = counts ? QString() : m_keptsales->errorstring();
    const QString confirming = counts ? KeptSales::confirmCaption(*counts) : m_shown.confirming;
    const int kept = counts ? counts->kept : m_shown.kept;
    if (kept != m_shown.kept || confirming != m_shown.confirming || failure != m_shown.outboxFailure) {
        m_shown.kept = kept;
        m_shown.confirming = confirming;
        m_shown.outboxFailure = failure;
        emit changed();
    }
}

bool CounterSession::keep(qint64 id, CounterOutcome& outcome)
{
    if (!m_context.dialogs.question(Sale::keepquestion()))
        return false;
    if (m_keptsales->keepSale(id, QString()) != KeptSales::Status::Done) {
        outcome.fail(m_keptsales->errorstring());
        return false;
    }
    // The next customer: the sale is no longer the counter's.
    outcome.result = CounterOutcome::Result::Kept;
    resetcounter();
    setsearchtext(QString());
    refreshkept();
    emit changed();
    return true;
}

CounterOutcome CounterSession::useCoupon(const Coupons::Coupon& coupon)
{
    CounterOutcome outcome;
    if (coupon.isnone())
        return outcome;
    // Its use was sent and is not known yet: never used a second time.
    if (coupon.confirming) {
        outcome.inform(Coupons::confirmingmessage());
        return outcome;
    }
    if (m_context.dialogs.question(Coupons::confirmmessage())) {
        const QString text = Coupons::eventline(m_state->currentmemberid(), m_context.settings.idpharma(),
                                                coupon.value, coupon.trackcode, coupon.id);
        KeptSale write = newwrite(KeptSale::Kind::Coupon, text);
        write.amount = coupon.value;
        write.couponId = coupon.id;
        std::optional<qint64> id;
        if (!begin(write, id)) {
            outcome.result = CounterOutcome::Result::NotSent;
            outcome.inform(m_keptsales && m_keptsales->busy() ? KeptSales::couponBusyMessage()
                                                              : Coupons::notrecordedmessage());
            return outcome;
        }
        // The coupon is marked only once its use is recorded as an event.
        HttpReply reply = put(text, outcome);
        const WriteResult result = WriteResult::read(reply);
        WriteResult::State use = result.state;
        bool statusconfirmed = true;
        bool statussent = false;
        if (use == WriteResult::State::NotYetKnown) {
            // The lookup that follows brings the member's events: a use found there is finished
            // by its status update and never sent again.
            write.settleAfter = settleafter(result.processingOver);
            if (id) {
                m_keptsales->expect(*id, write.settleAfter);
                m_flowwrite = id;
                m_settled.remove(*id);
                outcome.append(refresh());
                m_flowwrite.reset();
                if (!m_settled.contains(*id))
                    m_keptsales->await(*id, write.settleAfter);
                use = m_settled.value(*id).state;
                statusconfirmed = m_settled.value(*id).statusconfirmed;
                statussent = use == WriteResult::State::Recorded;
            } else {
                const CounterOutcome refreshed = refresh();
                outcome.append(refreshed);
                use = Settlement::judge(write,
                                        refreshed.loaded ? m_state->eventlist() : std::optional<JsonValue>(),
                                        m_state->eventsasked());
            }
        } else if (use != WriteResult::State::Recorded) {
            drop(id);
        }
        switch (use) {
        case WriteResult::State::Recorded:
            outcome.result = CounterOutcome::Result::Done;
            if (!statussent) {
                reply = put(Coupons::statusline(coupon.id, nowtext(m_context.clock)), outcome);
                statusconfirmed = WriteResult::read(reply).recorded();
                drop(id);
            }
            // The use is recorded whatever becomes of the status: never "not recorded" then.
            if (!statusconfirmed)
                outcome.inform(Reconciliation::statusnotconfirmedmessage());
            break;
        case WriteResult::State::NotRecorded:
        case WriteResult::State::Refused:
            outcome.result =
                result.neverLeft() ? CounterOutcome::Result::NotSent : CounterOutcome::Result::Refused;
            outcome.inform(Coupons::notrecordedmessage());
            break;
        case WriteResult::State::NotYetKnown:
            outcome.result = CounterOutcome::Result::Unconfirmed;
            outcome.inform(id ? Coupons::confirmingusemessage() : Coupons::unconfirmedmessage());
            break;
        }
        refreshkept();
    }
    clearcoupons();
    return outcome;
}

bool CounterSession::couponTicket(const Coupons::Coupon& coupon)
{
    if (coupon.isnone() || !m_reportoutput)
        return false;
    return m_tickets.printcoupon(shownmember(), {coupon.trackcode, coupon.enddate, coupon.value},
                                 m_context.settings.getpharmacie(), *m_reportoutput);
}

void CounterSession::pointsTicket()
{
    if (m_reportoutput)
        m_tickets.printpoints(shownmember(), m_shown.points, *m_reportoutput);
}

bool CounterSession::mayclose()
{
    if (m_state->idle())
        return true;
    if (m_shown.amount.isEmpty() && !m_state->Produits().anytyped())
        return true;
    return m_context.dialogs.question(Sale::cancelquestion());
}

bool CounterSession::nextCustomer()
{
    if (!m_shown.amount.isEmpty() && !m_context.dialogs.question(Sale::cancelquestion()))
        return false;
    resetcounter();
    setsearchtext(QString());
    emit changed();
    return true;
}

CounterOutcome CounterSession::addTen()
{
    CounterOutcome outcome;
    if (const std::optional<QString> raised = Sale::addten(m_shown.amount)) {
        m_shown.amount = *raised;
        emit changed();
    } else {
        outcome.fail(Sale::conversionmessage(m_shown.amount));
    }
    return outcome;
}

void CounterSession::producttotal(int row)
{
    m_state->Produits().producttotal(row);
}

void CounterSession::amountfromlines()
{
    m_shown.amount = Sale::amountfromlines(m_state->Produits().stored());
    emit changed();
}
