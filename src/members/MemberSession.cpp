#include "members/MemberSession.h"

#include "api/ApiReturn.h"
#include "api/Connection.h"
#include "api/CounterClient.h"
#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "members/Lookup.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "settings/Settings.h"

#include <QSet>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

using State = WriteResult::State;

// A birth date as the request sends it (yyyy-mm-dd), as the record holds it (ddmmyyyy).
QString recorddate(const QString& sent)
{
    return sent.isEmpty() ? QString() : sent.mid(8, 2) + sent.mid(5, 2) + sent.mid(0, 4);
}

QString textat(const JsonValue& object, const QString& key)
{
    QString text;
    trygettext(object, key, text);
    return text;
}

} // namespace

MemberSession::MemberSession(const Context& context) : m_context(context) {}

void MemberSession::start()
{
    m_open.clear();
}

MemberSession::Outcome MemberSession::save(Member& member, SaveMode mode)
{
    Outcome outcome;
    outcome.mode = mode;
    if (settleearlier(member, outcome) == Earlier::Stopped)
        return outcome;
    if (!savemember(member, outcome))
        return outcome;
    outcome.result = Outcome::Result::Saved;
    // The member is saved: a child that is not does not undo that.
    if (member.Getnbenfants() > 0)
        saveenfants(member, outcome);
    return outcome;
}

MemberSession::Earlier MemberSession::settleearlier(Member& member, Outcome& outcome)
{
    struct Candidate
    {
        Open open;
        bool listed = false; // read from the outbox now
    };
    QHash<QString, MemberWrites::Record> records;
    QSet<qint64> handled;
    std::optional<KeptSale> pending;
    std::optional<KeptSale> othercard;
    // An enrolment found recorded names the member: its other writes are read with its id.
    for (int pass = 0; pass < 2; ++pass) {
        const bool create = outcome.mode == SaveMode::Create;
        std::vector<Candidate> candidates;
        if (m_outbox) {
            // Also an enrolment of the same name under another card: it may be this customer.
            const auto rows =
                m_outbox->pendingMemberWrites(create ? QString() : member.Getid(), member.Getcardnumber(),
                                              create ? Lookup::nameline(member) : QString());
            if (!rows)
                outcome.messages.append(m_outbox->errorstring());
            for (const KeptSale& row : rows.value_or(std::vector<KeptSale>())) {
                if (handled.contains(row.id))
                    continue;
                int slot = 0;
                for (const Open& open : m_open) {
                    if (open.write.id == row.id)
                        slot = open.slot;
                }
                candidates.push_back({{row, slot}, true});
            }
        }
        if (pass == 0) {
            // What this form sent and did not know, also when the outbox no longer holds it.
            for (const Open& open : m_open) {
                const bool listed =
                    std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& c) {
                        return open.write.id != 0 && c.open.write.id == open.write.id;
                    });
                if (!listed)
                    candidates.push_back({open, false});
            }
            m_open.clear();
        }
        bool adopted = false;
        for (Candidate& candidate : candidates) {
            KeptSale& write = candidate.open.write;
            if (write.id != 0)
                handled.insert(write.id);
            const MemberWrites::Judged judged = settleone(write, candidate.listed, records, outcome);
            switch (judged.state) {
            case State::NotYetKnown:
                m_open.push_back(candidate.open);
                if (!pending)
                    pending = write;
                continue;
            case State::NotRecorded:
            case State::Refused:
                outcome.messages.append(MemberWrites::notrecordedmessage(write));
                continue;
            case State::Recorded:
                outcome.messages.append(MemberWrites::recordedmessage(write));
                break;
            }
            if (write.kind == KeptSale::Kind::MemberCreate && outcome.mode == SaveMode::Create) {
                // This form's enrolment, or one of this card: the member exists, this save updates
                // it. One of the same name under another card may be a namesake: the pharmacist
                // decides.
                if (!candidate.listed || write.cardnumber == member.Getcardnumber()) {
                    member.Setid(judged.id);
                    outcome.mode = SaveMode::Update;
                    adopted = true;
                } else if (!othercard) {
                    othercard = write;
                }
            } else if (write.kind == KeptSale::Kind::ChildCreate && write.memberid == member.Getid()) {
                // The child exists: the next send of its slot changes it instead of adding it again.
                const JsonValue sent = MemberWrites::sentobject(write);
                int slot = candidate.open.slot;
                for (int n = 1; slot == 0 && n <= member.Getnbenfants(); ++n) {
                    const MemberChild& child = member.enfant(n);
                    if (child.id.isEmpty() && child.prenom == textat(sent, u"firstname"_s) &&
                        child.sexe == textat(sent, u"sex"_s) &&
                        child.dtn == recorddate(textat(sent, u"birthday"_s)))
                        slot = n;
                }
                if (slot > 0 && member.enfant(slot).id.isEmpty())
                    member.setchildid(slot, judged.id);
            }
        }
        if (!adopted)
            break;
    }
    if (pending) {
        outcome.result = Outcome::Result::Unconfirmed;
        outcome.messages.append(MemberWrites::pendingmessage(*pending));
        return Earlier::Stopped;
    }
    if (othercard) {
        outcome.result = Outcome::Result::NotSent;
        return Earlier::Stopped;
    }
    return Earlier::Clear;
}

MemberWrites::Judged MemberSession::settleone(KeptSale& write, bool listed,
                                              QHash<QString, MemberWrites::Record>& records, Outcome& outcome)
{
    const QDateTime now = m_context.clock.now();
    bool held = false;
    if (write.id != 0 && m_outbox) {
        // Another counter, or the background sender, is settling it now.
        if (listed && write.held)
            return {};
        const KeptSales::Claimed claimed = m_outbox->claimWrite(write.id);
        switch (claimed.status) {
        case KeptSales::Status::Done:
            write = claimed.sale;
            held = true;
            break;
        case KeptSales::Status::None:
            // Settled by another counter or the sender: what its record says from now on is final,
            // read again if an earlier write of this save read it before.
            write.settleAfter = now;
            records.remove(MemberWrites::lookupline(write, m_context.settings.idpharma()));
            break;
        case KeptSales::Status::Held:
            return {};
        case KeptSales::Status::Lost:
        case KeptSales::Status::Failed:
            outcome.messages.append(m_outbox->errorstring());
            return {};
        }
    }
    const QString line = MemberWrites::lookupline(write, m_context.settings.idpharma());
    if (!records.contains(line))
        records.insert(line, readrecord(write));
    const MemberWrites::Judged judged = MemberWrites::judge(write, records.value(line));
    if (held)
        apply(write.id, judged.state, QDateTime(), outcome);
    return judged;
}

bool MemberSession::savemember(Member& member, Outcome& outcome)
{
    const Sent sent = send(memberwrite(member, outcome.mode), 0, outcome);
    switch (sent.judged.state) {
    case State::Recorded:
        if (outcome.mode == SaveMode::Create) {
            member.Setid(sent.judged.id);
            outcome.mode = SaveMode::Update;
        }
        return true;
    case State::Refused: {
        // "33": the card is taken. By this very customer, its enrolment recorded before: it is
        // updated instead.
        if (outcome.mode == SaveMode::Create && sent.result.errorCode == u"33"_s &&
            enrolledbefore(member, outcome))
            return savemember(member, outcome);
        outcome.result = Outcome::Result::Refused;
        ApiReturn envelope;
        envelope.code = sent.result.code;
        envelope.errorCode = sent.result.errorCode;
        envelope.errorMessage = sent.result.refusal;
        outcome.messages.append(envelopemessage(envelope));
        return false;
    }
    case State::NotRecorded:
        outcome.result = Outcome::Result::NotSent;
        return false;
    case State::NotYetKnown:
        outcome.result = Outcome::Result::Unconfirmed;
        return false;
    }
    return false;
}

bool MemberSession::enrolledbefore(Member& member, Outcome& outcome)
{
    const KeptSale write = memberwrite(member, SaveMode::Create);
    const MemberWrites::Judged judged = MemberWrites::judge(write, readrecord(write));
    if (judged.state != State::Recorded)
        return false;
    member.Setid(judged.id);
    outcome.mode = SaveMode::Update;
    outcome.messages.append(MemberWrites::alreadyenrolledmessage(write.cardnumber));
    return true;
}

void MemberSession::saveenfants(Member& member, Outcome& outcome)
{
    for (int n = 1; n <= member.Getnbenfants(); ++n) {
        const MemberChild& child = member.enfant(n);
        // A child marked for deletion is never sent: no request removes a child.
        if (!child.update || child.delete_)
            continue;
        const Sent sent = send(childwrite(member, n), n, outcome);
        if (sent.judged.state == State::Recorded) {
            if (child.id.isEmpty())
                member.setchildid(n, sent.judged.id);
            continue;
        }
        if (sent.judged.state == State::Refused)
            outcome.messages.append(u"Erreur : "_s + sent.result.refusal);
        outcome.childrenpending = true;
        break;
    }
}

MemberSession::Sent MemberSession::send(KeptSale write, int slot, Outcome& outcome)
{
    Sent sent;
    std::optional<qint64> id;
    if (m_outbox) {
        id = m_outbox->begin(write);
        // Without the outbox a lost reply is settled from memory only: the pharmacist decides.
        if (!id && !m_context.dialogs.question(KeptSales::unnotedquestion(m_outbox->errorstring()))) {
            sent.result.state = State::NotRecorded;
            sent.judged.state = State::NotRecorded;
            return sent;
        }
    }
    write.id = id.value_or(0);
    const Connection::Sent put = m_context.connexion.put(QString::fromUtf8(write.request));
    outcome.messages.append(put.messages);
    sent.result = put.result;
    sent.judged = {put.result.state, put.result.id};
    if (put.result.state != State::NotYetKnown) {
        if (id)
            apply(*id, put.result.state, QDateTime(), outcome);
        return sent;
    }
    // It may be recorded, or being recorded: the member's record tells, now or later.
    write.settleAfter = settleafter(put.result.processingOver);
    sent.judged = MemberWrites::judge(write, readrecord(write));
    if (id)
        apply(*id, sent.judged.state, write.settleAfter, outcome);
    switch (sent.judged.state) {
    case State::Recorded:
        outcome.messages.append(MemberWrites::recordedmessage(write));
        break;
    case State::NotYetKnown:
        outcome.messages.append(MemberWrites::confirmingmessage(write));
        m_open.push_back({write, slot});
        break;
    case State::NotRecorded:
    case State::Refused:
        // The platform's own failure was told: the record proves it did nothing.
        break;
    }
    return sent;
}

void MemberSession::apply(qint64 id, WriteResult::State state, const QDateTime& settleAfter, Outcome& outcome)
{
    // Its outcome known, it leaves the file while the save goes on.
    if (state != State::NotYetKnown) {
        m_outbox->settleLater(id);
        return;
    }
    if (m_outbox->await(id, settleAfter) == KeptSales::Status::Failed)
        outcome.messages.append(m_outbox->errorstring());
}

QDateTime MemberSession::settleafter(bool processingover) const
{
    const QDateTime now = m_context.clock.now();
    const int limit = m_outbox ? m_outbox->processinglimitseconds() : KeptSales::processingLimit();
    return processingover ? now : now.addSecs(limit);
}

MemberWrites::Record MemberSession::readrecord(const KeptSale& write)
{
    const QDateTime asked = m_context.clock.now();
    return MemberWrites::readrecord(
        write, m_context.client.postform(MemberWrites::lookupline(write, m_context.settings.idpharma())),
        asked);
}

KeptSale MemberSession::memberwrite(const Member& member, SaveMode mode) const
{
    KeptSale write;
    write.kind = mode == SaveMode::Create ? KeptSale::Kind::MemberCreate : KeptSale::Kind::MemberUpdate;
    write.memberid = mode == SaveMode::Create ? QString() : member.Getid();
    write.membername = Lookup::nameline(member);
    write.cardnumber = member.Getcardnumber();
    write.request = (u"json_data={"_s + member.tostrjson(mode) + u'}').toUtf8();
    return write;
}

KeptSale MemberSession::childwrite(const Member& member, int slot) const
{
    KeptSale write;
    const bool create = member.enfant(slot).id.isEmpty();
    write.kind = create ? KeptSale::Kind::ChildCreate : KeptSale::Kind::ChildUpdate;
    write.memberid = member.Getid();
    write.membername = Lookup::nameline(member);
    write.cardnumber = member.Getcardnumber();
    write.request = (u"json_data={"_s + member.tostrjsonenfant(slot) + u'}').toUtf8();
    if (create) {
        const QStringList ids = member.childids();
        write.before = QSet<QString>(ids.begin(), ids.end());
    }
    return write;
}

QStringList MemberSession::settleread(const JsonValue& member, const QDateTime& asked)
{
    QStringList told;
    if (!m_outbox)
        return told;
    const auto rows = m_outbox->pendingMemberWrites(textat(member, u"id"_s), textat(member, u"cardnumber"_s));
    // A file that cannot be read is told by the counter's own settling.
    if (!rows)
        return told;
    for (const KeptSale& row : *rows) {
        if (row.held)
            continue;
        const KeptSales::Claimed claimed = m_outbox->claimWrite(row.id);
        if (claimed.status != KeptSales::Status::Done)
            continue;
        const MemberWrites::Judged judged =
            MemberWrites::judge(claimed.sale, MemberWrites::found(member, asked));
        const KeptSales::Status status = judged.state == State::NotYetKnown
                                             ? m_outbox->await(row.id, QDateTime())
                                             : m_outbox->settle(row.id);
        if (status == KeptSales::Status::Failed)
            told.append(m_outbox->errorstring());
        if (judged.state == State::Recorded)
            told.append(MemberWrites::recordedmessage(claimed.sale));
        else if (judged.state != State::NotYetKnown)
            told.append(MemberWrites::notrecordedmessage(claimed.sale));
    }
    return told;
}
