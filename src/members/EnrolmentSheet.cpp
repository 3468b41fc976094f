#include "members/EnrolmentSheet.h"

#include "platform/ReportOutput.h"

using namespace Qt::StringLiterals;

EnrolmentSheet::EnrolmentSheet() : m_layout(ReportLayout::fromresource(u"frxReport2"_s)) {}

QString EnrolmentSheet::datenaissance(const QString& digits)
{
    return digits.mid(0, 2) + u'/' + digits.mid(2, 2) + u'/' + digits.mid(4, 4);
}

ReportLayout EnrolmentSheet::fill(const Fields& fields, const QStringList& pharmacie) const
{
    ReportLayout filled = m_layout;
    filled.settext(u"cardnumber"_s, fields.cardnumber);
    filled.settext(u"civilite"_s, fields.civilite);
    filled.settext(u"nom"_s, fields.nom);
    filled.settext(u"prenom"_s, fields.prenom);
    filled.settext(u"adresse"_s, fields.adresse);
    filled.settext(u"adresse2"_s, fields.adresse2);
    filled.settext(u"cp"_s, fields.cp);
    filled.settext(u"ville"_s, fields.ville);
    filled.settext(u"dtn"_s, datenaissance(fields.datenaissance));
    filled.settext(u"tel"_s, fields.mobile + u' ' + fields.tel);
    filled.settext(u"email"_s, fields.email);
    filled.setchecked(u"emailoptin"_s, fields.emailoptin);

    // The stamp is replaced placeholder by placeholder, in this order, on the stored text.
    QString cachet = m_layout.text(u"cachet"_s);
    const QStringList placeholders{u"{@m.group.salesDescr}"_s, u"{@m.group.adress1}"_s,
                                   u"{@m.group.adress2}"_s, u"{@m.group.zip}"_s, u"{@m.group.town}"_s};
    for (qsizetype i = 0; i < placeholders.size(); ++i)
        cachet.replace(placeholders.at(i), pharmacie.value(i));
    filled.settext(u"cachet"_s, cachet);
    return filled;
}

bool EnrolmentSheet::print(const Fields& fields, const QStringList& pharmacie, ReportOutput& output) const
{
    return output.print(fill(fields, pharmacie));
}
