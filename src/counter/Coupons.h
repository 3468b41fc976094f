#pragma once

#include "api/HttpClient.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The coupon rules of the counter: the query for a member's open coupons, how its reply fills the
// coupon grid, and the two requests that record a coupon use. The counter window runs them.
namespace Coupons {

// One coupon as the grid shows it; a row without a coupon has every text empty.
struct Coupon
{
    QString trackcode;
    QString label;   // "Coupon " + value + " €"
    QString print;   // "Imprimer"
    QString use;     // "Utiliser"
    QString enddate; // dd/mm/yyyy
    QString value;   // as received
    QString id;
    // Its use was sent and the platform has not confirmed it yet: shown, never used twice.
    bool confirming = false;

    // A coupon can be used or printed only when it has an id.
    bool isnone() const { return id.isEmpty(); }
    // From the seven cells of a row, in column order.
    static Coupon fromcells(const QStringList& cells);
    // The text of a column.
    QString cell(int column) const;
};

// The grid's columns.
enum Column
{
    TrackCode = 0, // hidden
    Label = 1,     // "Coupon " + value + " €"
    Print = 2,     // "Imprimer"
    Use = 3,       // "Utiliser"
    EndDate = 4,   // hidden, dd/mm/yyyy
    Value = 5,     // hidden, as received
    Id = 6,        // hidden
    ColumnCount = 7
};

// The query for the member's coupons of this pharmacy that are neither used (status 1) nor
// marked (status 2), started at or before `now` and ending after it. The member id is sent as a
// string; every value is escaped inside its JSON string.
QString queryline(const QString& idpharma, const QString& memberid, const QString& now);

// The "usedcoupon" event of a coupon use. The member id goes bare when it is a JSON number and
// as a string otherwise; the value is sent as received.
QString eventline(const QString& memberid, const QString& idpharma, const QString& value,
                  const QString& trackcode, const QString& couponid);
// The update that marks the coupon with status 2 at `now`.
QString statusline(const QString& couponid, const QString& now);

// "Coupon " + value + " €".
QString label(const QString& value);

// What a reply to the coupon query puts in the grid.
struct Fill
{
    enum class Kind
    {
        Nothing, // another first name; a reply that is not a JSON object, or whose "list" is not
                 // an array, also sets `error` (unreadablemessage())
        List,    // "list": `rows` from row 0; the grid gets `count` rows (at least 1) when complete
        Single,  // "Sent": `rows` holds row 0 only; the row count stays
    };
    Kind kind = Kind::Nothing;
    // The seven cells of each complete row, in order from row 0.
    std::vector<QStringList> rows;
    // The JSON text of each element read (list only), for the reply buffer.
    std::vector<QByteArray> lines;
    // Number of elements of the list.
    int count = 0;
    // "Valeur '<key>' introuvable" when an element lacks a key: the fill stopped there and that
    // element's row is not in `rows`. unreadablemessage() when the reply cannot be read.
    QString error;
};

Fill readfill(const QByteArray& reply);

// Told when the event or the status update did not reach the platform or was refused.
QString notrecordedmessage();
// Told when a use request left but its outcome is unknown.
QString unconfirmedmessage();
// Told when a use left, its reply was lost and the platform's record does not show it yet.
QString confirmingusemessage();
// Told when a coupon whose use waits for confirmation is used again.
QString confirmingmessage();
// The "Utiliser" cell of a coupon whose use waits for confirmation.
QString confirmingcaption();
// Told when the coupon query's reply cannot be read.
QString unreadablemessage();
// The confirmation asked before a use.
QString confirmmessage();
// The hint over a row: its value beside its end date, "Coupon 7.5 € valable jusqu'au 31/12/2026";
// over a row without a coupon, "Coupon valable jusqu'au ".
QString hint(const Coupon& coupon);

} // namespace Coupons
