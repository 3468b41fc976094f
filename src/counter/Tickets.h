#pragma once

#include "report/ReportLayout.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class Clock;
class ReportOutput;

// The counter's three tickets: the voucher of a 7.50-euro coupon, the voucher of a 20-euro
// coupon and the points statement. The stored layouts are loaded once and their header texts
// (the object "entete", with its placeholders) saved; every fill works on a copy of the layout
// and starts again from the saved header, so the placeholders are there at every print.
class Tickets final
{
public:
    enum class Ticket
    {
        Coupon750,
        Coupon20,
        Points
    };

    // The member as the counter window shows it.
    struct Member
    {
        QString firstname;
        QString name;
        QString cardnumber;
        // The text of `lblnom`: civility, first name and name.
        QString bearer;
    };

    // The current row of the coupon grid, as its cells read.
    struct Coupon
    {
        QString trackcode; // column 0
        QString enddate;   // column 4, dd/mm/yyyy
        QString value;     // column 5, as received ("7.5", "20")
    };

    explicit Tickets(const Clock& clock);

    static QString layoutname(Ticket ticket);
    // The coupon ticket of a coupon value: "." read as ",", then 20 gives the 20-euro ticket and
    // 7.5 the 7.50-euro one; any other value, or a text that is not a number, none.
    static std::optional<Ticket> couponticket(const QString& value);
    // "d mmmm yyyy" in French: "5 mars 2018".
    static QString frenchdate(const QDate& date);

    const ReportLayout& layout(Ticket ticket) const { return m_layouts.at(index(ticket)); }
    // The header text saved when the tickets were loaded.
    const QString& header(Ticket ticket) const { return m_headers.at(index(ticket)); }

    // A coupon ticket filled from the member, the coupon row and the pharmacy's texts (the five
    // of the settings; the first is its name).
    ReportLayout fillcoupon(Ticket ticket, const Member& member, const Coupon& coupon,
                            const QStringList& pharmacie) const;
    // The points ticket filled from the member, the points as shown and today's date.
    ReportLayout fillpoints(const Member& member, const QString& points) const;

    // Fills and prints the coupon ticket of the row's value; a value without a ticket prints
    // nothing. True when a ticket was printed.
    bool printcoupon(const Member& member, const Coupon& coupon, const QStringList& pharmacie,
                     ReportOutput& output) const;
    bool printpoints(const Member& member, const QString& points, ReportOutput& output) const;

private:
    static std::size_t index(Ticket ticket) { return static_cast<std::size_t>(ticket); }

    const Clock& m_clock;
    std::array<ReportLayout, 3> m_layouts;
    std::array<QString, 3> m_headers;
};
