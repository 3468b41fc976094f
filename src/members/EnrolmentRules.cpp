#include "members/EnrolmentRules.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

QString EnrolmentRules::cardnumber(const QString& text)
{
    if (text.size() == 13 && text.startsWith(u"33"_s))
        return text.mid(5, 7);
    return text;
}

QStringList EnrolmentRules::civilites()
{
    return {u"M"_s, u"MME"_s, u"MELLE"_s, u"Company"_s};
}

bool EnrolmentRules::civilitevalid(const QString& text)
{
    return !text.isEmpty() && civilites().contains(text, Qt::CaseInsensitive);
}

QString EnrolmentRules::civiliteinvalid()
{
    return u"Civilité Invalide - Saisir à nouveau"_s;
}

QDate EnrolmentRules::parsedate(const QString& digits)
{
    if (digits.size() != 8)
        return {};
    for (const QChar c : digits) {
        if (!c.isDigit() || c.unicode() > 127)
            return {};
    }
    return QDate::fromString(digits, u"ddMMyyyy"_s);
}

QString EnrolmentRules::dateincorrecte()
{
    return u"Date de naissance incorrecte - Saisir une nouvelle date"_s;
}

std::optional<QString> EnrolmentRules::datenaissance(const QString& digits, const QDateTime& now)
{
    if (digits.trimmed().isEmpty())
        return u"Vous devez saisir une date de naissance"_s;
    const QDate date = parsedate(digits);
    if (!date.isValid())
        return dateincorrecte();
    if (date >= now.date())
        return u"la date de naissance est supérieure ou égale à date du jour - Saisir une nouvelle date"_s;
    if (QDateTime(date, QTime(0, 0)) < now.addMonths(-1320))
        return u"la date de naissance est suspecte - Saisir une nouvelle date"_s;
    return std::nullopt;
}

bool EnrolmentRules::phonecharacter(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'+';
}

QString EnrolmentRules::phonefiltered(const QString& text)
{
    QString kept;
    for (const QChar c : text) {
        if (phonecharacter(c))
            kept.append(c);
    }
    return kept;
}

bool EnrolmentRules::phonevalid(const QString& text)
{
    static const QRegularExpression international(u"^\\+(?:[0-9] ?){6,14}[0-9]$"_s);
    static const QRegularExpression national(u"^0[1-9][0-9]{8}$"_s);
    return international.match(text).hasMatch() || national.match(text).hasMatch();
}

QString EnrolmentRules::phoneinvalid()
{
    return u"Numéro Tel invalide - formats attendus : 0xxxxxxxxx ou +XXxxxxxxxx"_s;
}

std::optional<EnrolmentRules::Failure> EnrolmentRules::validate(const Required& values)
{
    const QString start = u"Vous devez renseigner "_s;
    if (values.cardnumber.isEmpty())
        return Failure{start + u"le numéro de la carte"_s, u"edcardnumber"_s};
    if (values.nom.isEmpty())
        return Failure{start + u"le nom du porteur de la carte"_s, u"ednom"_s};
    if (values.prenom.isEmpty())
        return Failure{start + u"le prénom du porteur de la carte"_s, u"edprenom"_s};
    if (values.civilite.isEmpty())
        return Failure{start + u"la civilité du porteur de la carte"_s, u"cbcivilite"_s};
    if (values.datenaissance.trimmed().isEmpty())
        return Failure{start + u"la date de naissance du porteur de la carte"_s, u"eddtn"_s};
    // A date that does not exist ("31/02/1990", or half typed) would reach the platform as such.
    if (!parsedate(values.datenaissance.trimmed()).isValid())
        return Failure{dateincorrecte(), u"eddtn"_s};
    if (values.email.isEmpty() && values.mobile.isEmpty())
        return Failure{start + u"le téléphone ou l'adresse mail du porteur de la carte"_s, u"edmail"_s};
    return std::nullopt;
}
