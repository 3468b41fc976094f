#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The field rules of the enrolment form: card bar codes, civility, birth date, phone numbers and
// the required fields checked before a save. Every rule returns the exact French message to show,
// or nothing when the value passes.
class EnrolmentRules final
{
public:
    // The values that "Valider" requires, as the form holds them.
    struct Required
    {
        QString cardnumber;
        QString nom;
        QString prenom;
        QString civilite;
        QString datenaissance; // the digits typed, without separators
        QString email;
        QString mobile;
    };
    // A failed required check: the message and the control that takes the focus.
    struct Failure
    {
        QString message;
        QString control;
    };

    // A 13-character card bar code beginning with "33" becomes its 7 characters from the 6th;
    // anything else is kept as typed.
    static QString cardnumber(const QString& text);

    // The civility list, in the order the drop-down offers it.
    static QStringList civilites();
    // True when the civility is one of the list's entries, letter case aside; empty is not.
    static bool civilitevalid(const QString& text);
    static QString civiliteinvalid();

    // The birth date check, `digits` being the typed digits (ddmmyyyy, possibly incomplete) and
    // `now` the current date and time. The messages come in order; the first failure stops.
    static std::optional<QString> datenaissance(const QString& digits, const QDateTime& now);
    // The date typed, or an invalid date when it is incomplete or does not exist.
    static QDate parsedate(const QString& digits);
    // The message for a date that is incomplete or does not exist.
    static QString dateincorrecte();

    // The characters a phone field takes from the keyboard.
    static bool phonecharacter(QChar c);
    // The text with every character a phone field refuses removed.
    static QString phonefiltered(const QString& text);
    // True when a non-empty phone number matches the international or the national form.
    static bool phonevalid(const QString& text);
    static QString phoneinvalid();

    // The six checks of "Valider", in order, with a birth date that is not a real date refused
    // after the fifth; the first failure stops.
    static std::optional<Failure> validate(const Required& values);
};
