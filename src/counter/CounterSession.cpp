#include "counter/CounterSession.h"

#include "api/CounterClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "api/ReplyBuffer.h"
#include "counter/CounterRules.h"
#include "counter/CounterState.h"
#include "counter/KeptSales.h"
#include "counter/Reconciliation.h"
#include "counter/Sale.h"
#include "data/MemoryTable.h"
#include "members/Lookup.h"
#include "members/QueryFailure.h"
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
    m_querycoupons = [this] { querycoupons(); };
    MemoryTable& produits = m_state->Produits();
    connect(&produits, &MemoryTable::posted, this, &CounterSession::amountfromlines);
    connect(&produits, &MemoryTable::deleted, this, &CounterSession::amountfromlines);
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
    const HttpReply reply = Lookup::post(m_context.client, plan.line);
    outcome.replies.push_back(reply);
    outcome.result = CounterOutcome::Result::Done;

    const Lookup::Reply read = Lookup::readreply(ReplyBuffer::normalised(reply.body));
    switch (read.kind) {
    case Lookup::Reply::Kind::List:
        chooseamong(read.rows, outcome);
        break;
    case Lookup::Reply::Kind::Member:
        loadmember(read.member, outcome);
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

void CounterSession::loadmember(const JsonValue& member, CounterOutcome& outcome)
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
    m_state->seteventlist(event ? std::optional<JsonValue>(*event) : std::nullopt);

    m_shown.sale = true;
    m_state->setidle(false);
    entermember();
    outcome.loaded = true;
    emit changed();
    if (!m_context.nocoupon && m_querycoupons)
        m_querycoupons();
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
        if (row < coupons.size())
            coupons[row] = Coupons::Coupon::fromcells(rows.at(row));
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

    const Sale::Request request{
        m_state->currentmemberid(),      m_context.settings.idpharma(), input.seller, input.number, amount,
        Sale::lines(m_state->Produits())};
    const QString text = Sale::requesttext(request) + u"\r\n"_s;
    // The member's events before the sale: a sale whose reply is lost is looked for among the
    // events that come after.
    const std::optional<QSet<QString>> before = Reconciliation::eventkeys(m_state->eventlist());
    m_context.buffer.appendline(text);
    m_shown.sale = false;
    emit changed();
    const HttpReply reply = put(text, outcome);
    m_shown.sale = true;
    if (const std::optional<QString> kept = Sale::notlanded(reply)) {
        const bool unconfirmed =
            reply.ok ? *kept == Sale::unconfirmedmessage() : reply.sent && !isaccessdenied(reply.status);
        // The platform could not be reached: nothing left, so the sale can wait for it.
        if (!reply.ok && !reply.sent && !isaccessdenied(reply.status) && m_keptsales &&
            keep(input, text, outcome))
            return outcome;
        if (!unconfirmed) {
            outcome.result = reply.ok ? CounterOutcome::Result::Refused : CounterOutcome::Result::NotSent;
            outcome.inform(*kept);
            emit changed();
            return outcome;
        }
        // The lookup that follows brings the member's events: they settle it.
        const CounterOutcome refreshed = refresh();
        outcome.append(refreshed);
        const std::optional<JsonValue> after =
            refreshed.loaded ? m_state->eventlist() : std::optional<JsonValue>();
        switch (Reconciliation::findsale(before, after, amount, input.seller, input.number)) {
        case Reconciliation::Found::Yes:
            outcome.inform(Reconciliation::saleconfirmedmessage());
            break;
        case Reconciliation::Found::No:
            outcome.result = CounterOutcome::Result::NotSent;
            outcome.inform(Reconciliation::salenotrecordedmessage());
            emit changed();
            return outcome;
        case Reconciliation::Found::Unknown:
            outcome.result = CounterOutcome::Result::Unconfirmed;
            outcome.inform(*kept);
            emit changed();
            return outcome;
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
    refreshkept();
}

void CounterSession::refreshkept()
{
    // A file that cannot be read leaves the count as it was; keeping a sale tells why.
    const std::optional<int> count = m_keptsales ? m_keptsales->count() : std::optional<int>(0);
    if (count && *count != m_shown.kept) {
        m_shown.kept = *count;
        emit changed();
    }
}

bool CounterSession::keep(const SaleInput& input, const QString& request, CounterOutcome& outcome)
{
    if (!m_context.dialogs.question(Sale::keepquestion()))
        return false;
    KeptSale sale;
    sale.memberid = m_state->currentmemberid();
    sale.membername = m_shown.name;
    sale.cardnumber = m_state->member().Getcardnumber();
    sale.amount = input.amount;
    sale.seller = input.seller;
    sale.number = input.number;
    sale.request = request.toUtf8();
    if (!m_keptsales->keep(sale)) {
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
    if (m_context.dialogs.question(Coupons::confirmmessage())) {
        const std::optional<QSet<QString>> before = Reconciliation::eventkeys(m_state->eventlist());
        // The coupon is marked only once its use is recorded as an event.
        HttpReply reply = put(Coupons::eventline(m_state->currentmemberid(), m_context.settings.idpharma(),
                                                 coupon.value, coupon.trackcode, coupon.id),
                              outcome);
        Coupons::UseOutcome use = Coupons::useoutcome(reply);
        if (use == Coupons::UseOutcome::Unconfirmed) {
            // The lookup that follows brings the member's events: a use found there is finished
            // by its status update and never sent again.
            const CounterOutcome refreshed = refresh();
            outcome.append(refreshed);
            const std::optional<JsonValue> after =
                refreshed.loaded ? m_state->eventlist() : std::optional<JsonValue>();
            switch (Reconciliation::findcouponuse(before, after, coupon.id)) {
            case Reconciliation::Found::Yes:
                use = Coupons::UseOutcome::Recorded;
                break;
            case Reconciliation::Found::No:
                use = Coupons::UseOutcome::NotRecorded;
                break;
            case Reconciliation::Found::Unknown:
                break;
            }
        }
        switch (use) {
        case Coupons::UseOutcome::Recorded:
            outcome.result = CounterOutcome::Result::Done;
            reply = put(Coupons::statusline(coupon.id, nowtext(m_context.clock)), outcome);
            // The use is recorded whatever becomes of the status: never "not recorded" then.
            if (Coupons::useoutcome(reply) != Coupons::UseOutcome::Recorded)
                outcome.inform(Reconciliation::statusnotconfirmedmessage());
            break;
        case Coupons::UseOutcome::NotRecorded:
            outcome.result =
                reply.ok || reply.sent ? CounterOutcome::Result::Refused : CounterOutcome::Result::NotSent;
            outcome.inform(Coupons::notrecordedmessage());
            break;
        case Coupons::UseOutcome::Unconfirmed:
            outcome.result = CounterOutcome::Result::Unconfirmed;
            outcome.inform(Coupons::unconfirmedmessage());
            break;
        }
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

bool CounterSession::nextCustomer()
{
    if (!m_shown.amount.isEmpty() && !m_context.dialogs.question(u"Annuler la saisie en cours"_s))
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
    MemoryTable& produits = m_state->Produits();
    if (row < 0 || row >= produits.rowCount())
        return;
    const double total =
        Sale::producttotal(produits.value(row, u"Quantité"_s), produits.value(row, u"Prix Unitaire"_s));
    if (produits.value(row, 3) != QVariant(total))
        produits.setData(produits.index(row, 3), total);
}

void CounterSession::amountfromlines()
{
    m_shown.amount = Sale::amountfromlines(m_state->Produits());
    emit changed();
}
