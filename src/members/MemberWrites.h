#pragma once

#include "api/HttpClient.h"
#include "api/JsonValue.h"
#include "api/WriteResult.h"
#include "outbox/KeptSales.h"

#include <QDateTime>
#include <QString>

// What the platform's record of a member says of a member write whose reply was lost: an
// enrolment, a member's changes, a new child, a child's changes. The record is read by a lookup:
// by card number for an enrolment, by the member's id otherwise.
//   enrolment       a member holding its card with the name and first name sent   recorded;
//   member changes  the member holding every value sent                           recorded;
//   new child       a child of the parent that was not there before it was sent,
//                   with the first name, sex and birth date sent                   recorded;
//   child changes   that child holding every value sent                           recorded;
//   not found, once the platform can no longer be processing the request           not recorded;
//   otherwise (too early, or the lookup could not say)                            not yet known.
namespace MemberWrites {

bool ismember(KeptSale::Kind kind);

// The platform's record of the member a write is about, as a lookup read it.
struct Record
{
    enum class Kind
    {
        Found,   // `member` is the member object (for an enrolment: the one holding its card)
        Absent,  // the platform holds no such member
        Unknown, // the lookup failed, or its reply says nothing of the member
    };
    Kind kind = Kind::Unknown;
    JsonValue member;
    // When the lookup that read it left. The platform may have answered it at any moment after:
    // only a record asked once it can no longer be processing the write proves the write absent.
    QDateTime asked;
};

// The lookup that reads the record of the write's member.
QString lookupline(const KeptSale& write, const QString& idpharma);
// That lookup's reply, read for the write; asked: when the lookup left.
Record readrecord(const KeptSale& write, const HttpReply& reply, const QDateTime& asked);
// A member object read by another lookup (the counter's), which left at `asked`.
Record found(const JsonValue& member, const QDateTime& asked);

struct Judged
{
    WriteResult::State state = WriteResult::State::NotYetKnown;
    // Recorded: the new member's id (an enrolment) or the new child's (a new child).
    QString id;
};
Judged judge(const KeptSale& write, const Record& record);

// The object the write sent: the value of its "FidelityMember" or "FidelityMemberChild".
JsonValue sentobject(const KeptSale& write);

// The texts told of a write whose reply was lost.
// Its record holds it.
QString recordedmessage(const KeptSale& write);
// Its record does not, and can no longer.
QString notrecordedmessage(const KeptSale& write);
// Just sent: the record could not tell yet.
QString confirmingmessage(const KeptSale& write);
// Sent before and still not known: nothing is sent before it is.
QString pendingmessage(const KeptSale& write);
// An enrolment refused because its card is taken, by a member with the same name and first name:
// the customer was enrolled before.
QString alreadyenrolledmessage(const QString& card);

} // namespace MemberWrites
