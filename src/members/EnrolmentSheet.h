#pragma once

#include "report/ReportLayout.h"

#include <QString>
#include <QStringList>

class ReportOutput;

// The sign-up sheet printed from the enrolment form for the cardholder to check and sign: the
// stored layout "frxReport2" filled with what the form holds at that moment and the pharmacy's
// stamp. Each printing fills a copy of the stored layout, so the stamp always shows the current
// pharmacy settings.
class EnrolmentSheet final
{
public:
    // What the form holds when "Impression" is pressed.
    struct Fields
    {
        QString cardnumber;
        QString civilite;
        QString nom;
        QString prenom;
        QString adresse;
        QString adresse2;
        QString cp;
        QString ville;
        QString datenaissance; // the digits typed, ddmmyyyy
        QString mobile;
        QString tel;
        QString email;
        bool emailoptin = false;
    };

    // Loads the stored layout; throws QuilbaError when it is missing.
    EnrolmentSheet();

    // The birth date as dd/mm/yyyy from its digits; "//" when there are none.
    static QString datenaissance(const QString& digits);

    // The filled sheet; `pharmacie` is label, address line 1, address line 2, postcode, town.
    ReportLayout fill(const Fields& fields, const QStringList& pharmacie) const;
    bool print(const Fields& fields, const QStringList& pharmacie, ReportOutput& output) const;

    const ReportLayout& layout() const { return m_layout; }

private:
    ReportLayout m_layout;
};
