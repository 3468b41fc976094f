#include "counter/Tickets.h"

#include "platform/Clock.h"
#include "platform/ReportOutput.h"

#include <QLocale>

namespace {

const QString entete = QStringLiteral("entete");

// Replaces every occurrence of each placeholder, exactly as written, one placeholder after the
// other in the order given.
QString replaced(QString text, std::initializer_list<std::pair<QString, QString>> values)
{
    for (const auto& [placeholder, value] : values)
        text.replace(placeholder, value, Qt::CaseSensitive);
    return text;
}

} // namespace

Tickets::Tickets(const Clock& clock) : m_clock(clock)
{
    for (Ticket ticket : {Ticket::Coupon750, Ticket::Coupon20, Ticket::Points}) {
        m_layouts.at(index(ticket)) = ReportLayout::fromresource(layoutname(ticket));
        m_headers.at(index(ticket)) = m_layouts.at(index(ticket)).text(entete);
    }
}

QString Tickets::layoutname(Ticket ticket)
{
    switch (ticket) {
    case Ticket::Coupon750:
        return QStringLiteral("Repcoupon750");
    case Ticket::Coupon20:
        return QStringLiteral("Repcoupon20");
    case Ticket::Points:
        break;
    }
    return QStringLiteral("reppoints");
}

std::optional<Tickets::Ticket> Tickets::couponticket(const QString& value)
{
    // The value is read with a decimal comma, whatever the grid received.
    QString text = value;
    text.replace(u'.', u',');
    bool ok = false;
    const double number = QLocale(QLocale::French, QLocale::France).toDouble(text, &ok);
    if (!ok)
        return std::nullopt;
    if (number == 20.0)
        return Ticket::Coupon20;
    if (number == 7.5)
        return Ticket::Coupon750;
    return std::nullopt;
}

QString Tickets::frenchdate(const QDate& date)
{
    return QLocale(QLocale::French, QLocale::France).toString(date, QStringLiteral("d MMMM yyyy"));
}

ReportLayout Tickets::fillcoupon(Ticket ticket, const Member& member, const Coupon& coupon,
                                 const QStringList& pharmacie) const
{
    ReportLayout filled = layout(ticket);
    filled.settext(QStringLiteral("cardnumber"), member.cardnumber);
    filled.settext(QStringLiteral("porteur"), member.bearer);
    filled.settext(QStringLiteral("trackcode"), coupon.trackcode);
    filled.settext(QStringLiteral("valid"),
                   QStringLiteral("Ce coupon est valable jusqu'au ") + coupon.enddate);
    filled.settext(entete,
                   replaced(header(ticket), {{QStringLiteral("{@m.firstname}"), member.firstname},
                                             {QStringLiteral("{@m.name}"), member.name},
                                             {QStringLiteral("{@m.group.salesDescr}"), pharmacie.value(0)}}));
    return filled;
}

ReportLayout Tickets::fillpoints(const Member& member, const QString& points) const
{
    ReportLayout filled = layout(Ticket::Points);
    filled.settext(QStringLiteral("cardnumber"), member.cardnumber);
    filled.settext(QStringLiteral("porteur"), member.bearer);
    filled.settext(entete, replaced(header(Ticket::Points),
                                    {{QStringLiteral("{@m.firstname}"), member.firstname},
                                     {QStringLiteral("{@m.name}"), member.name},
                                     {QStringLiteral("{@nbpoints}"), points},
                                     {QStringLiteral("{@datedujour}"), frenchdate(m_clock.now().date())}}));
    return filled;
}

bool Tickets::printcoupon(const Member& member, const Coupon& coupon, const QStringList& pharmacie,
                          ReportOutput& output) const
{
    const auto ticket = couponticket(coupon.value);
    if (!ticket)
        return false;
    return output.print(fillcoupon(*ticket, member, coupon, pharmacie));
}

bool Tickets::printpoints(const Member& member, const QString& points, ReportOutput& output) const
{
    return output.print(fillpoints(member, points));
}
