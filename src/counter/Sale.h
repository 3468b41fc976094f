#pragma once

#include "api/HttpClient.h"
#include "counter/SaleLine.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The sale rules of the counter: the amount checks, the amount from the stored lines, the "addCA"
// event that records a sale on the member and what its reply means. The counter window runs them.
namespace Sale {

struct Request
{
    QString memberid;
    QString idpharma;
    QString seller;
    QString number;
    QString amount;              // as typed, decimal comma
    std::vector<SaleLine> lines; // the stored lines, in order
};

// What the amount text allows.
enum class Check
{
    Invalid,   // empty, or reads as zero: "Montant invalide"
    Incorrect, // no number: incorrectmessage(), the amount becomes "0"
    Confirm,   // 100 or more: confirmmessage() asked first
    Ok,
};
// Empty or exactly "0"; checked before anything else.
bool isempty(const QString& amount);
Check checkamount(const QString& amount);

// The amount field's text after a line is stored or deleted: the sum of the stored lines' totals
// in the general format, "0" when none has a total.
QString amountfromlines(const std::vector<SaleLine>& stored);
// "10 Points": the amount plus 10 in the general format; empty stays empty; none when the text
// is no number.
std::optional<QString> addten(const QString& amount);

// The request text of the sale, without the line break. The member id goes bare when it is a
// JSON number and as a string otherwise; the seller code and sale number lose their double
// quotes; every value is escaped inside its JSON string.
QString requesttext(const Request& request);

QString invalidmessage();
QString incorrectmessage();
QString confirmmessage();
QString conversionmessage(const QString& text);
// Told when the sale did not reach the platform, or was refused; the inputs are kept.
QString notsentmessage();
QString refusedmessage(const QString& errormessage);
// Told when the sale left but the platform's answer did not confirm it.
QString unconfirmedmessage();
// Told when the sale left, its reply was lost and the platform's record does not show it yet: it
// is noted "à confirmer" and never sent again as it is.
QString confirmingmessage();
// Told when a sale is validated while an earlier one of the member waits for confirmation.
QString pendingmessage();
// Told when the access was refused (HTTP 401, 403, 407): the sale was not recorded.
QString deniedmessage(int status);
// Asked when the platform could not be reached: Yes keeps the sale, to be sent later.
QString keepquestion();
// Told on Enter in the amount field while no member is shown.
QString nomembermessage();
// Told when storing the line being typed changed the amount at "Valider Vente": the new amount is
// shown and nothing is sent until the pharmacist validates it.
QString amountchangedmessage(const QString& amount);
// Told when a number typed in a cell of the products grid cannot be read: the line (from 1), the
// column and why.
QString unreadablemessage(int row, const QString& field, const QString& why);
// Asked when the counter window is closed while a sale is being typed for the member shown.
QString cancelquestion();

} // namespace Sale
