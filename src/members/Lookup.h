#pragma once

#include "api/HttpClient.h"
#include "api/JsonValue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class CounterClient;
class Member;

// The member lookup's rules: what the search text asks for, the request line that says it, and
// what the reply means. The counter window runs them and shows the outcome.
namespace Lookup {

// What the search button does with the search text.
struct Plan
{
    enum class Action
    {
        Nothing,  // empty search text
        TooShort, // tell the user tooshortmessage(), send nothing
        Send,     // put `text` into the search field (a scanned bar code is cut), send `line`
    };
    Action action = Action::Nothing;
    QString text;
    QString line;
};

Plan plansearch(const QString& text, const QString& idpharma);

// A 13-character text beginning with "33" is a scanned card: its characters 6 to 12 (counted from
// 1) are the card number; the 13th is the bar code's check digit. Any other text is kept whole.
QString barcodecard(const QString& text);

// ""group":{"idExternal":"<idpharma>" },"
QString pharmacyfragment(const QString& idpharma);

// The FidelityMember query for a search text: by card number (numeric text), by id ("ID="), by
// surname and first name ("NAME*FIRST") or by surname. Values are escaped inside their strings.
QString requestline(const QString& text, const QString& idpharma);
// The FidelityMember query by card number, whatever the card holds.
QString cardline(const QString& card, const QString& idpharma);

// The reply to a lookup, named by the first member of its top object.
struct Reply
{
    enum class Kind
    {
        List,    // several members: `rows`, one per member, in the field order of listeMembre
        Member,  // one member: `member` is the FidelityMember object
        Refusal, // an ApiReturn: `message` for the user
        Other,   // another name: nothing to do
        Invalid, // not a JSON object: `message` for the user
    };
    Kind kind = Kind::Other;
    std::vector<QStringList> rows;
    // List: the list's elements; Member: the FidelityMember object.
    JsonValue list;
    JsonValue member;
    QString message;
    // Refusal: the envelope's "errorCode"; "3008" says no member was found.
    QString errorcode;
};

Reply readreply(const QByteArray& bytes);

// One row of listeMembre from an element of the list: id, card number, surname, first name,
// address line 1, postcode, town, points; each empty when not found.
QStringList listrow(const JsonValue& element);

// "Client inconnu" for the error code 3008, otherwise "Erreur :" + code + " " + errorMessage.
QString refusalmessage(const JsonValue& apireturn);

// Civility, first name and surname of the member, separated by blanks.
QString nameline(const Member& member);
// Address line 1, postcode and town, separated by blanks.
QString addressline(const Member& member);

// What the user is told when the lookup's form post fails: for a refusal by HTTP status, two
// boxes (status line and body; the status code and status line); otherwise, the proxy's own
// error page included, the failure's text.
QStringList failuremessages(const HttpReply& reply);

// Sends the line with postform and returns the reply that arrived; a failure is raised as
// QueryFailure.
HttpReply post(CounterClient& client, const QString& line);

QString tooshortmessage();
QString invalidreplymessage();

} // namespace Lookup
