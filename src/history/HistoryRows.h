#pragma once

#include "api/JsonValue.h"

#include <QString>
#include <vector>

class MemoryTable;

// One line of the member's history, in the fields of the table historique.
struct HistoryRow
{
    QString uDate;       // the event's date as the platform sent it; sort key
    QString Date;        // dd/mm/yyyy hh:nn
    QString Type;        // what happened
    QString Commentaire; // seller code and sale number, or what became of a coupon
    QString Valeur;      // the amount or the points; empty for coupons
};

// The rules that turn the event value of a member reply into history lines.
namespace HistoryRows {

// The date "yyyy-mm-dd hh:nn:ss" shown as "dd/mm/yyyy hh:nn", taken by character positions: a
// shorter text gives shorter pieces.
QString showndate(const QString& date);

// True when the event value is the empty string, the platform's way of saying "no events".
bool isempty(const JsonValue& eventlist);

// The lines of the events under "list", in array order; events of another type than "addCA",
// "addPoint" and "COUPON" give none. Raises QuilbaError when an event lacks "type" or "fvalue",
// and when the value is not an object whose "list" is an array.
std::vector<HistoryRow> rows(const JsonValue& eventlist);

// Empties the table and fills it with the lines of the event value. All lines are built before
// the table is touched: on an error the table is left empty, never half filled.
void fill(MemoryTable& historique, const JsonValue& eventlist);

} // namespace HistoryRows
