#pragma once

#include <QString>
#include <QUrl>

class Clock;
class QDateTime;

// Small text rules of the counter window and its coupons.

// A date text whose first ten characters read yyyy-mm-dd, as dd/mm/yyyy. It does not validate:
// positions beyond the end of the text give empty pieces.
QString frdate(const QString& date);
// The date and time as "yyyy-mm-dd hh:nn:ss" (24-hour clock).
QString nowtext(const QDateTime& now);
QString nowtext(const Clock& clock);
// The platform's operator login page on the web host of the API address.
QUrl operatorpage(const QString& apiurl);
